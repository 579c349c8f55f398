// Helpers for the tests that run under Wine: starting the real saver as a
// process and watching it from outside, the settings in the registry, message
// boxes, and reading back what is on the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavrin_test {

// A file beside the running test program (the build tree's top directory).
std::string siblingPath(const char* fileName);
std::string saverPath();

// Polls `condition` every 10 ms until it holds or `timeoutMs` have passed.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// A Windows program started by a test; killed by the destructor if still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts `program` with the command line "\"program\" arguments".
  bool start(const std::string& arguments, const std::string& program = saverPath());
  // Starts with a command line given whole (program name included).
  bool startRaw(const std::string& program, const std::string& commandLine);
  // Waits for the end; true with the exit code when it ended in time.
  bool waitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  bool running() const;
  void kill();
  DWORD id() const { return info_.dwProcessId; }
  DWORD threadId() const { return info_.dwThreadId; }
  HANDLE handle() const { return info_.hProcess; }

 private:
  PROCESS_INFORMATION info_ = {};
};

// A top-level window of `processId` with this class and title, waiting up to `timeoutMs`.
HWND waitForWindow(const char* className, const char* title, DWORD processId, DWORD timeoutMs);
// The saver's full-screen window of that process.
HWND waitForSaverWindow(DWORD processId, DWORD timeoutMs = 10000);
DWORD windowProcess(HWND window);

// Message boxes ("#32770" dialogs) of a process.
HWND waitForMessageBox(DWORD processId, DWORD timeoutMs);
std::string windowText(HWND window);
std::string messageBoxText(HWND box);
// Presses the box's default button and waits until the box is gone.
bool dismissMessageBox(HWND box);

// Settings key HKCU\Software\Orvane\Tavrin.
extern const char* const settingsKey;
void deleteSettingsKey();
void writeSetting(const char* name, DWORD value);
void writeSettingRaw(const char* name, DWORD type, const void* data, DWORD size);
// False when the value is missing; `type` receives its registry type.
bool readSetting(const char* name, DWORD* value, DWORD* type = nullptr);
// The twelve values a saver with these numbers reads; everything else default.
void writeDefaultSettings();

// Writes to `copy` a copy of the saver (or `original`) whose DATAPACK
// resource `packId` holds `bytes`, or is missing when `bytes` is null.
bool copySaverWithPack(const std::string& copy, int packId, const std::vector<uint8_t>* bytes,
                       const std::string& original = saverPath());

// The screen as 24-bit pixels, top-down rows, read through GDI.
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;  // 3 bytes a pixel, rows top-down, no padding
  uint8_t blue(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3]; }
  uint8_t green(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3 + 1]; }
  uint8_t red(int x, int y) const { return bgr[(static_cast<size_t>(y) * width + x) * 3 + 2]; }
  // Writes a 24-bit BMP (for a person to look at when a test fails).
  bool saveBmp(const std::string& path) const;
};
Screenshot captureScreen(const RECT* area = nullptr);

}  // namespace tavrin_test
