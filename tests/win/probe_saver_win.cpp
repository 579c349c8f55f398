// tavrin_probe.scr: the real saver with probes, switched on through its environment:
//   TAVRIN_PROBE=fault  writes through a null pointer in the message loop at the first frame tick;
//   TAVRIN_PROBE_LOG=<file>  appends "spi <action> <uiParam>" for every SystemParametersInfoA call,
//     "query <name>" for every registry value read, and at the first frame the settings in use.
// Always: the saver window's property "TavrinFrames" counts the frame ticks taken from the queue.
// The fault is raised in the loop (through this program's import of GetMessageA): Wine's callback dispatcher
// swallows faults in window procedures and hooks, so only a fault outside a callback shows the guard.
#include <windows.h>

#include <cstring>

#include "host/host.h"
#include "tests/support/import_hook.h"
#include "tests/win/probe_log.h"

static char logPath[MAX_PATH];
static LONG_PTR framesSeen;
static BOOL(WINAPI* realGetMessage)(LPMSG, HWND, UINT, UINT);
static BOOL(WINAPI* realSystemParameters)(UINT, UINT, PVOID, UINT);
static LONG(WINAPI* realQueryValue)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);

static bool isFrameTick(const MSG& message) {
  return message.message == WM_TIMER && message.hwnd && message.hwnd == hostState.mainWindow;
}

static BOOL WINAPI faultingGetMessage(LPMSG message, HWND window, UINT first, UINT last) {
  const BOOL result = realGetMessage(message, window, first, last);
  if (result > 0 && isFrameTick(*message)) *static_cast<volatile int*>(nullptr) = 1;
  return result;
}

static BOOL WINAPI loggedSystemParameters(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
  appendLine(logPath, "spi %u %u", action, uiParam);
  return realSystemParameters(action, uiParam, pvParam, winIni);
}

static LONG WINAPI loggedQueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  appendLine(logPath, "query %.200s", name ? name : "");
  return realQueryValue(key, name, reserved, type, data, size);
}

static LRESULT CALLBACK countingHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && isFrameTick(*message)) {
    if (framesSeen++ == 0) appendLine(logPath, "%s", settingsLine(settings).c_str());
    SetPropA(message->hwnd, "TavrinFrames", reinterpret_cast<HANDLE>(framesSeen));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

template <typename Function>
static void redirect(const char* module, const char* name, Function replacement, Function* original) {
  tavrin_test::redirectImport(module, name, reinterpret_cast<void*>(replacement), reinterpret_cast<void**>(original));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char mode[16] = {};
  GetEnvironmentVariableA("TAVRIN_PROBE", mode, sizeof mode);
  if (std::strcmp(mode, "fault") == 0) redirect("user32.dll", "GetMessageA", &faultingGetMessage, &realGetMessage);
  if (GetEnvironmentVariableA("TAVRIN_PROBE_LOG", logPath, sizeof logPath) >= sizeof logPath) logPath[0] = '\0';
  if (logPath[0]) {
    redirect("user32.dll", "SystemParametersInfoA", &loggedSystemParameters, &realSystemParameters);
    redirect("advapi32.dll", "RegQueryValueExA", &loggedQueryValue, &realQueryValue);
  }
  SetWindowsHookExA(WH_GETMESSAGE, countingHook, nullptr, GetCurrentThreadId());
  SaverEntry();
}
