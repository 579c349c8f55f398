#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tests/support/win_test_support.h"

namespace tavrin_test {

const char* const settingsKey = "Software\\Orvane\\Tavrin";

void deleteSettingsKey() {
  RegDeleteKeyA(HKEY_CURRENT_USER, settingsKey);
}

void writeSetting(const char* name, DWORD value) {
  writeSettingRaw(name, REG_DWORD, &value, sizeof value);
}

void writeSettingRaw(const char* name, DWORD type, const void* data, DWORD size) {
  writeValue(settingsKey, name, type, data, size);
}

bool writeValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

bool readSetting(const char* name, DWORD* value, DWORD* type) {
  HKEY key = nullptr;
  DWORD number = 0, size = sizeof number, valueType = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
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
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT box =
      area ? *area
           : RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  Screenshot shot;
  shot.width = box.right - box.left;
  shot.height = box.bottom - box.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, shot.width, -shot.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};  // top-down
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, box.left, box.top, SRCCOPY);
  GdiFlush();
  const size_t row = static_cast<size_t>(shot.width) * 3, stride = (row + 3) & ~static_cast<size_t>(3);
  shot.bgr.resize(row * shot.height);
  for (int y = 0; bits && y < shot.height; ++y) {
    std::memcpy(&shot.bgr[row * y], static_cast<const uint8_t*>(bits) + stride * y, row);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

bool Screenshot::saveBmp(const std::string& path) const {
  const uint32_t row = static_cast<uint32_t>(width) * 3, stride = (row + 3) & ~3u;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + stride * static_cast<uint32_t>(height);
  const BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&header, sizeof header, 1, out);
  const uint8_t padding[3] = {};
  for (int y = height - 1; y >= 0; --y) {
    std::fwrite(&bgr[row * y], 1, row, out);
    std::fwrite(padding, 1, stride - row, out);
  }
  return std::fclose(out) == 0;
}

}  // namespace tavrin_test
