// The Windows side of the tests, the benchmarks and the screenshot tool: the real saver (or the probe saver) as a
// process, its settings in the registry, windows, the screen, and the probe's frames.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Rectangles compared and printed whole (RECT is a global type: these are found beside it).
inline bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << r.left << "," << r.top << " to " << r.right << "," << r.bottom;
}

namespace harness {

std::string siblingPath(const char* fileName);  // beside the test program: the build tree's top directory
inline std::string saverPath() { return siblingPath("tavrin.scr"); }
// Polls `condition` every 10 ms, keeping this thread's windows answering, until it holds or `timeoutMs` pass.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
std::vector<std::string> fileLines(const std::string& path);  // none when the file is missing
std::vector<std::string> linesStartingWith(const std::string& path, const char* prefix);  // of the file, in order

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
inline HWND waitForSaverWindow(DWORD processId, DWORD timeoutMs = 10000) {  // the full-screen saver's
  return waitForWindow("WindowsScreenSaverClass", "Screen Saver", processId, timeoutMs);
}
HWND visibleWindowOf(DWORD processId);  // a visible top-level one, if any
DWORD windowProcess(HWND window);
// A window of this program, shown as `show` says (SW_SHOW activates it).
HWND createTestWindow(WNDPROC procedure, DWORD style, int width, int height, int show);
std::string windowText(HWND window);

// The settings key HKCU\Software\Orvane\Tavrin.
extern const char* const settingsKey;
void deleteSettingsKey();
bool writeValue(const char* key, const char* name, DWORD type, const void* data, DWORD size);  // any key of HKCU
void writeSetting(const char* name, DWORD value);
DWORD storedSetting(const char* name);  // kNotStored when the value is missing or not a REG_DWORD
constexpr DWORD kNotStored = 0xBAADF00D;
// Every value of the settings table at its default but for `changes`.
void writeDefaultSettings(std::initializer_list<std::pair<const char*, DWORD>> changes = {});

// The screen as 24-bit pixels, read through GDI.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;  // 3 bytes a pixel, rows top-down, no padding
  uint8_t blue(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3]; }
  uint8_t green(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3 + 1]; }
  uint8_t red(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3 + 2]; }
  bool saveBmp(const std::string& path) const;  // for a person to look at when a test fails
};
Screenshot captureScreen(const RECT& box);
// Runs tavrin_probe.scr (beside this program) with `arguments` until it has written frame `number` from its back
// buffer (see probe_saver_win.cpp), ends it, and reads the frame and the local time it showed.
bool probeFrame(const std::string& arguments, int number, Screenshot& out, SYSTEMTIME& time);

}  // namespace harness
