#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "tests/support/win_test_support.h"

namespace tavrin_test {

std::string siblingPath(const char* fileName) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (char* slash = std::strrchr(path, '\\')) slash[1] = '\0';
  return std::string(path) + fileName;
}

std::string saverPath() {
  return siblingPath("tavrin.scr");
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); !condition(); Sleep(10)) {
    if (GetTickCount() - start >= timeoutMs) return condition();
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&message)) {
      TranslateMessage(&message);
    }
  }
  return true;
}

std::vector<std::string> fileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line); lines.push_back(line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
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
  std::vector<char> line(commandLine.c_str(), commandLine.c_str() + commandLine.size() + 1);
  if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
    return true;
  }
  std::fprintf(stderr, "CreateProcess %s failed: %lu\n", program.c_str(), GetLastError());
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
  waitUntil(
      [&] {
        found = FindWindowExA(nullptr, nullptr, className, title);
        while (found && processId && windowProcess(found) != processId) {
          found = FindWindowExA(nullptr, found, className, title);
        }
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

HWND waitForSaverWindow(DWORD processId, DWORD timeoutMs) {
  return waitForWindow("WindowsScreenSaverClass", "Screen Saver", processId, timeoutMs);
}

HWND visibleWindowOf(DWORD processId) {
  HWND window = GetTopWindow(nullptr);
  while (window && !(windowProcess(window) == processId && IsWindowVisible(window))) {
    window = GetWindow(window, GW_HWNDNEXT);
  }
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

std::string messageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);  // the message is the static control 0xFFFF
  return text ? windowText(text) : std::string();
}

bool dismissMessageBox(HWND box) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return waitUntil([&] { return !IsWindow(box); }, 5000);
}

}  // namespace tavrin_test
