#include <windows.h>

#include <cstdio>

#include "tests/support/win_test_support.h"

namespace tavrin_test {

const char* const settingsKey = "Software\\Orvane\\Tavrin";

void deleteSettingsKey() {
  RegDeleteKeyA(HKEY_CURRENT_USER, settingsKey);
}

void writeSettingRaw(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void writeSetting(const char* name, DWORD value) {
  writeSettingRaw(name, REG_DWORD, &value, sizeof value);
}

bool readSetting(const char* name, DWORD* value, DWORD* type) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD number = 0;
  DWORD size = sizeof number;
  DWORD valueType = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &valueType, reinterpret_cast<BYTE*>(&number), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return false;
  if (value) *value = number;
  if (type) *type = valueType;
  return true;
}

void writeDefaultSettings() {
  deleteSettingsKey();
  const struct {
    const char* name;
    DWORD value;
  } defaults[] = {{"Show Earth", 1},       {"Show Stars", 1},    {"Smooth Stars", 1},       {"Stars Amount", 10000},
                  {"Random Camera", 1},    {"Show Info", 1},     {"Show Time", 1},          {"Show FPS", 1},
                  {"Animation Speed", 30}, {"Camera Speed", 30}, {"Texture Filtartion", 2}, {"Texture Quality", 2}};
  for (const auto& v : defaults) writeSetting(v.name, v.value);
}

Screenshot captureScreen(const RECT* area) {
  Screenshot shot;
  RECT box;
  if (area) {
    box = *area;
  } else {
    box = {0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    OffsetRect(&box, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN));
  }
  shot.width = box.right - box.left;
  shot.height = box.bottom - box.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, box.left, box.top, SRCCOPY);
  GdiFlush();
  const size_t stride = (static_cast<size_t>(shot.width) * 3 + 3) & ~static_cast<size_t>(3);
  shot.bgr.resize(static_cast<size_t>(shot.width) * shot.height * 3);
  for (int y = 0; y < shot.height; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(bits) + stride * y;
    std::copy(row, row + static_cast<size_t>(shot.width) * 3,
              shot.bgr.begin() + static_cast<size_t>(y) * shot.width * 3);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

bool Screenshot::saveBmp(const std::string& path) const {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + stride * static_cast<uint32_t>(height);
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up
  header.biPlanes = 1;
  header.biBitCount = 24;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&header, sizeof header, 1, out);
  const uint8_t padding[3] = {};
  for (int y = height - 1; y >= 0; --y) {
    std::fwrite(&bgr[static_cast<size_t>(y) * width * 3], 1, static_cast<size_t>(width) * 3, out);
    std::fwrite(padding, 1, stride - static_cast<uint32_t>(width) * 3, out);
  }
  return std::fclose(out) == 0;
}

}  // namespace tavrin_test
