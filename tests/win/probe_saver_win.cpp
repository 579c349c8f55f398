// tavrin_probe.scr: the real saver with test probes that a test switches on
// through the environment variable TAVRIN_PROBE (read by this entry only):
//   count - counts the frame ticks the saver window takes from its queue and
//           publishes the number as the window property "TavrinFrames";
//   fault - writes through a null pointer in the saver's message loop on the
//           first frame tick, to prove the fault guard.
// Independently, when TAVRIN_PROBE_LOG names a file, the probe appends a line
// to it for every SystemParametersInfoA call the saver makes ("spi <action>
// <uiParam>") and for every registry value it reads ("query <name>"): a
// record of what the older family's password scheme asked of the system.
// The log also gets, at the first frame, the settings the scene runs with
// ("settings" and the twelve numbers and two rates in their read order).
//
// The fault is raised in the loop itself, not in a window procedure or hook:
// Wine calls those through its kernel-callback dispatcher, which swallows
// their exceptions (64-bit Windows does the same for sent messages), so only
// a fault outside a callback shows what the guard does. The loop is reached by
// pointing this program's own import of GetMessageA at a wrapper.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "config/settings.h"
#include "host/host.h"

static char probeMode[16];
static LONG_PTR framesSeen;

using GetMessageProc = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT);
static GetMessageProc realGetMessage;

static bool isFrameTick(const MSG& message) {
  return message.message == WM_TIMER && message.hwnd && message.hwnd == hostState.mainWindow;
}

static BOOL WINAPI probeGetMessage(LPMSG message, HWND window, UINT first, UINT last) {
  const BOOL result = realGetMessage(message, window, first, last);
  if (result > 0 && isFrameTick(*message) && std::strcmp(probeMode, "fault") == 0) {
    *static_cast<volatile int*>(nullptr) = 1;
  }
  return result;
}

static void appendProbeLog(const char* line);
static char probeLog[MAX_PATH];

static void logSettings() {
  const Settings& s = settings;
  char line[256];
  std::snprintf(line, sizeof line, "settings %d %d %d %u %d %d %d %d %u %u %d %d %.9g %.9g", s.showEarth, s.showStars,
                s.smoothStars, s.starsAmount, s.randomCamera, s.showInfo, s.showTime, s.showFps, s.animationSpeed,
                s.cameraSpeed, s.textureFiltration, s.textureQuality, s.animationRate, s.cameraRate);
  appendProbeLog(line);
}

static LRESULT CALLBACK countingHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && isFrameTick(*message)) {
    if (framesSeen == 0 && probeLog[0]) logSettings();
    ++framesSeen;
    SetPropA(message->hwnd, "TavrinFrames", reinterpret_cast<HANDLE>(framesSeen));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Points this module's imports of `function` (from `library`) at
// `replacement`; returns the function the imports held.
static void* redirectImport(const char* library, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  FARPROC target = GetProcAddress(GetModuleHandleA(library), function);
  for (; descriptor->Name; ++descriptor) {
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; slot->u1.Function; ++slot) {
      if (reinterpret_cast<FARPROC>(slot->u1.Function) != target) continue;
      DWORD oldProtection = 0;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &oldProtection);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, oldProtection, &oldProtection);
    }
  }
  return reinterpret_cast<void*>(target);
}

static void redirectGetMessage() {
  realGetMessage = reinterpret_cast<GetMessageProc>(
      redirectImport("user32.dll", "GetMessageA", reinterpret_cast<void*>(&probeGetMessage)));
}

static void appendProbeLog(const char* line) {
  HANDLE file = CreateFileA(probeLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  WriteFile(file, "\n", 1, &written, nullptr);
  CloseHandle(file);
}

using SystemParametersProc = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
using QueryValueProc = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
static SystemParametersProc realSystemParameters;
static QueryValueProc realQueryValue;

static BOOL WINAPI recordingSystemParameters(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
  char line[48];
  std::snprintf(line, sizeof line, "spi %u %u", action, uiParam);
  appendProbeLog(line);
  return realSystemParameters(action, uiParam, pvParam, winIni);
}

static LONG WINAPI recordingQueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                       LPDWORD size) {
  char line[MAX_PATH];
  std::snprintf(line, sizeof line, "query %.200s", name ? name : "");
  appendProbeLog(line);
  return realQueryValue(key, name, reserved, type, data, size);
}

static void recordSystemCalls() {
  realSystemParameters = reinterpret_cast<SystemParametersProc>(
      redirectImport("user32.dll", "SystemParametersInfoA", reinterpret_cast<void*>(&recordingSystemParameters)));
  realQueryValue = reinterpret_cast<QueryValueProc>(
      redirectImport("advapi32.dll", "RegQueryValueExA", reinterpret_cast<void*>(&recordingQueryValue)));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  GetEnvironmentVariableA("TAVRIN_PROBE", probeMode, sizeof probeMode);
  if (std::strcmp(probeMode, "fault") == 0) redirectGetMessage();
  const DWORD logLength = GetEnvironmentVariableA("TAVRIN_PROBE_LOG", probeLog, sizeof probeLog);
  if (logLength > 0 && logLength < sizeof probeLog) recordSystemCalls();
  SetWindowsHookExA(WH_GETMESSAGE, countingHook, nullptr, GetCurrentThreadId());
  SaverEntry();
}
