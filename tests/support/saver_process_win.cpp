#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tests/support/win_test_support.h"

namespace tavrin_test {

std::string siblingPath(const char* fileName) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (slash) slash[1] = '\0';
  return std::string(path) + fileName;
}

std::string saverPath() {
  return siblingPath("tavrin.scr");
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return condition();
    // Keep this thread's own windows answering while it waits.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

ChildProcess::~ChildProcess() {
  kill();
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
}

bool ChildProcess::start(const std::string& arguments, const std::string& program) {
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  return startRaw(program, commandLine);
}

bool ChildProcess::startRaw(const std::string& program, const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
    std::fprintf(stderr, "CreateProcess %s failed: %lu\n", program.c_str(), GetLastError());
    return false;
  }
  return true;
}

bool ChildProcess::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!info_.hProcess) return false;
  bool ended = false;
  waitUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
  ended = WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0;
  if (ended && exitCode) GetExitCodeProcess(info_.hProcess, exitCode);
  return ended;
}

bool ChildProcess::running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void ChildProcess::kill() {
  if (running()) {
    TerminateProcess(info_.hProcess, 999);
    WaitForSingleObject(info_.hProcess, 5000);
  }
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
        found = nullptr;
        for (HWND w = FindWindowExA(nullptr, nullptr, className, title); w;
             w = FindWindowExA(nullptr, w, className, title)) {
          if (processId == 0 || windowProcess(w) == processId) {
            found = w;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

HWND waitForSaverWindow(DWORD processId, DWORD timeoutMs) {
  return waitForWindow("WindowsScreenSaverClass", "Screen Saver", processId, timeoutMs);
}

HWND waitForMessageBox(DWORD processId, DWORD timeoutMs) {
  HWND box = waitForWindow("#32770", nullptr, processId, timeoutMs);
  // Let the box finish laying out its text before anyone reads it.
  if (box) waitUntil([&] { return IsWindowVisible(box) != FALSE; }, 2000);
  return box;
}

std::string windowText(HWND window) {
  char text[1024] = {};
  // WM_GETTEXT, not GetWindowText: the window may belong to another process.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

std::string messageBoxText(HWND box) {
  // The message of a message box is the static control with id 0xFFFF.
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? windowText(text) : std::string();
}

bool dismissMessageBox(HWND box) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return waitUntil([&] { return !IsWindow(box); }, 5000);
}

}  // namespace tavrin_test
