// Helpers for the tests under Wine: the real saver as a process watched from
// outside, its settings in the registry, windows, message boxes, the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tavrin_test {

std::string siblingPath(const char* fileName);  // beside the test program: the build tree's top directory
std::string saverPath();
// Polls `condition` every 10 ms, keeping this thread's windows answering, until it holds or `timeoutMs` pass.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
std::vector<std::string> fileLines(const std::string& path);  // none when the file is missing

// A Windows program started by a test; killed by the destructor if still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();
  // The command line "\"program\" arguments", with these variables added to the environment.
  bool start(const std::string& arguments, const std::string& program = saverPath(),
             const std::vector<std::pair<const char*, std::string>>& environment = {});
  bool startRaw(const std::string& program, const std::string& commandLine);  // the command line given whole
  bool waitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);  // true, with the code, when it ended in time
  int exitCode(DWORD timeoutMs = 15000);                         // 1000 when it did not end in time
  int endWithKey(HWND window);  // posts a key press (which ends a running saver), then exitCode()
  bool running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  void kill();
  DWORD id() const { return info_.dwProcessId; }
  DWORD threadId() const { return info_.dwThreadId; }
  HANDLE handle() const { return info_.hProcess; }

 private:
  PROCESS_INFORMATION info_ = {};
};

// A top-level window of `processId` (0: any) with this class and title, waiting up to `timeoutMs`.
HWND waitForWindow(const char* className, const char* title, DWORD processId, DWORD timeoutMs);
HWND waitForSaverWindow(DWORD processId, DWORD timeoutMs = 10000);  // the full-screen saver's
HWND visibleWindowOf(DWORD processId);                              // a visible top-level one, if any
DWORD windowProcess(HWND window);
// A window of this program, shown as `show` says (SW_SHOW activates it).
HWND createTestWindow(WNDPROC procedure, DWORD style, int width, int height, int show);
std::string windowText(HWND window);
// Message boxes ("#32770" dialogs): the text, and pressing the default button until the box goes.
std::string messageBoxText(HWND box);
bool dismissMessageBox(HWND box);

// The settings key HKCU\Software\Orvane\Tavrin.
extern const char* const settingsKey;
void deleteSettingsKey();
bool writeValue(const char* key, const char* name, DWORD type, const void* data, DWORD size);  // any key of HKCU
void writeSettingRaw(const char* name, DWORD type, const void* data, DWORD size);
void writeSetting(const char* name, DWORD value);
// False when the value is missing; `type` receives its registry type.
bool readSetting(const char* name, DWORD* value, DWORD* type = nullptr);
void writeDefaultSettings();  // the twelve values of a saver with these numbers; everything else default

// Writes to `copy` a copy of the saver (or `original`) whose DATAPACK
// resource `packId` holds `bytes`, or is missing when `bytes` is null.
bool copySaverWithPack(const std::string& copy, int packId, const std::vector<uint8_t>* bytes,
                       const std::string& original = saverPath());

// The screen as 24-bit pixels, read through GDI.
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;  // 3 bytes a pixel, rows top-down, no padding
  uint8_t blue(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3]; }
  uint8_t green(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3 + 1]; }
  uint8_t red(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3 + 2]; }
  bool saveBmp(const std::string& path) const;  // for a person to look at when a test fails
};
Screenshot captureScreen(const RECT* area = nullptr);  // the virtual screen when `area` is null

}  // namespace tavrin_test
