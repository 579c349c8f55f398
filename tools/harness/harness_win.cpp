#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "config/settings.h"
#include "tools/harness/harness_win.h"

namespace harness {

std::string siblingPath(const char* fileName) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (char* slash = std::strrchr(path, '\\')) slash[1] = '\0';
  return std::string(path) + fileName;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); !condition(); Sleep(10)) {
    if (GetTickCount() - start >= timeoutMs) return condition();
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&m)) TranslateMessage(&m);
  }
  return true;
}

std::vector<std::string> fileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line); lines.push_back(line)) line.erase(line.find_last_not_of('\r') + 1);
  return lines;
}

std::vector<std::string> linesStartingWith(const std::string& path, const char* prefix) {
  std::vector<std::string> lines;
  for (std::string& line : fileLines(path))
    if (line.rfind(prefix, 0) == 0) lines.push_back(std::move(line));
  return lines;
}

ChildProcess::~ChildProcess() {
  kill();
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
}

bool ChildProcess::start(const std::string& arguments, const std::string& program,
                         const std::vector<std::pair<const char*, std::string>>& environment) {
  for (const auto& [name, value] : environment) SetEnvironmentVariableA(name, value.c_str());
  const bool started = startRaw(program, "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments));
  for (const auto& variable : environment) SetEnvironmentVariableA(variable.first, nullptr);
  return started;
}

bool ChildProcess::startRaw(const std::string& program, const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  // Wine now and then refuses a start with ERROR_INTERNAL_ERROR (about one in twenty starts of a second saver
  // beside a running one); a second try a moment later goes through.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::vector<char> line(commandLine.c_str(), commandLine.c_str() + commandLine.size() + 1);
    if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
      return true;
    }
    const DWORD error = GetLastError();
    std::fprintf(stderr, "CreateProcess %s failed: %lu\n", program.c_str(), error);
    if (error != ERROR_INTERNAL_ERROR) return false;
    Sleep(200);
  }
  return false;
}

bool ChildProcess::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
  const bool ended = info_.hProcess && waitUntil([&] { return !running(); }, timeoutMs);
  if (ended && exitCode) GetExitCodeProcess(info_.hProcess, exitCode);
  return ended;
}

int ChildProcess::exitCode(DWORD timeoutMs) {
  DWORD code = 0;
  return waitForExit(timeoutMs, &code) ? static_cast<int>(code) : 1000;
}

int ChildProcess::endWithKey(HWND window) {
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  return exitCode();
}

void ChildProcess::kill() {
  if (running()) TerminateProcess(info_.hProcess, 999);
  if (info_.hProcess) WaitForSingleObject(info_.hProcess, 5000);
}

DWORD windowProcess(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

HWND waitForWindow(const char* className, const char* title, DWORD processId, DWORD timeoutMs) {
  HWND found = nullptr;
  const auto find = [&] {
    found = FindWindowExA(nullptr, nullptr, className, title);
    while (found && processId && windowProcess(found) != processId)
      found = FindWindowExA(nullptr, found, className, title);
    return found != nullptr;
  };
  waitUntil(find, timeoutMs);
  return found;
}

HWND visibleWindowOf(DWORD processId) {
  HWND window = GetTopWindow(nullptr);
  while (window && !(windowProcess(window) == processId && IsWindowVisible(window)))
    window = GetWindow(window, GW_HWNDNEXT);
  return window;
}

HWND createTestWindow(WNDPROC procedure, DWORD style, int width, int height, int show) {
  const std::string name = "TavrinTest" + std::to_string(reinterpret_cast<uintptr_t>(procedure));
  const WNDCLASSA windowClass = {0,       procedure, 0,       0,       GetModuleHandleA(nullptr),
                                 nullptr, nullptr,   nullptr, nullptr, name.c_str()};
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(show == SW_SHOW ? 0 : WS_EX_NOACTIVATE, name.c_str(), "Tavrin test", style, 600, 400,
                                width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
  ShowWindow(window, show);
  return window;
}

std::string windowText(HWND window) {
  char text[1024] = {};
  // WM_GETTEXT, not GetWindowText: the window may belong to another process.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

const char* const settingsKey = "Software\\Orvane\\Tavrin";

void deleteSettingsKey() { RegDeleteKeyA(HKEY_CURRENT_USER, settingsKey); }

void writeSetting(const char* name, DWORD value) { writeValue(settingsKey, name, REG_DWORD, &value, sizeof value); }

bool writeValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

DWORD storedSetting(const char* name) {
  DWORD number = 0, size = sizeof number;
  const LONG result = RegGetValueA(HKEY_CURRENT_USER, settingsKey, name, RRF_RT_REG_DWORD, nullptr, &number, &size);
  return result == ERROR_SUCCESS ? number : kNotStored;
}

void writeDefaultSettings(std::initializer_list<std::pair<const char*, DWORD>> changes) {
  deleteSettingsKey();
  for (const SettingRow& row : settingRows) writeSetting(row.name, row.defaultValue);
  for (const auto& [name, value] : changes) writeSetting(name, value);
}

Screenshot captureScreen(const RECT& box) {
  Screenshot shot{box.right - box.left, box.bottom - box.top, {}};
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
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
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  const BITMAPFILEHEADER file = {0x4D42, offset + stride * static_cast<uint32_t>(height), 0, 0, offset};  // "BM"
  const BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};           // bottom-up
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

bool probeFrame(const std::string& arguments, int number, Screenshot& out, SYSTEMTIME& time) {
  const std::string path = siblingPath("probe-frame.bin");
  DeleteFileA(path.c_str());
  ChildProcess probe;
  const bool written = probe.start(arguments, siblingPath("tavrin_probe.scr"),
                                   {{"TAVRIN_FRAME_DUMP", path}, {"TAVRIN_FRAME_DUMP_AT", std::to_string(number)}}) &&
                       waitUntil([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 90000);
  probe.kill();
  // Width and height, the local time of the frame, then bottom-up rows of 3 bytes a pixel.
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(&out.width), sizeof(int)).read(reinterpret_cast<char*>(&out.height), sizeof(int));
  in.read(reinterpret_cast<char*>(&time), sizeof time);
  if (!written || !in || out.width <= 0 || out.height <= 0 || out.width * out.height >= 1 << 24) return false;
  const std::size_t row = std::size_t(out.width) * 3;
  out.bgr.resize(row * out.height);
  for (int y = out.height - 1; y >= 0; --y) in.read(reinterpret_cast<char*>(&out.bgr[y * row]), std::streamsize(row));
  return bool(in);
}

}  // namespace harness
