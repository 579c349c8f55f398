// Stand-ins for the older family's password services, built as PASSWORD.CPL, MPR.DLL and BARE.DLL (neither function),
// and PLANTED.DLL, what a stranger could drop beside a downloaded saver: it ends the process that loads it with 77.
// "VerifyScreenSavePwd" answers as HKCU\Software\Orvane\TavrinTests "Verdict" says: 0 (or none) refuses, 1 accepts, 2
// asks in a modal box (OK accepts). Each appends to the log TAVRIN_PROBE_LOG names: "attach", "detach", "exit" (ended
// loaded), "verify <window>", "change <4 args>".
#include <windows.h>

#include "tools/harness/probe_log.h"

static char logPath[MAX_PATH];

#ifdef TAVRIN_PASSWORD_MODULE
extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  appendLine(logPath, "verify %llu", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  const char* const answers = "Software\\Orvane\\TavrinTests";
  DWORD verdict = 0, size = sizeof verdict;
  RegGetValueA(HKEY_CURRENT_USER, answers, "Verdict", RRF_RT_DWORD, nullptr, &verdict, &size);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));  // a real password dialog shows the pointer
  return verdict == 2 ? MessageBoxA(window, "Password:", "Tavrin test password", MB_OKCANCEL) == IDOK : verdict == 1;
}
#endif

#ifdef TAVRIN_MPR_MODULE
extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1, DWORD reserved2) {
  appendLine(logPath, "change %.64s %llu %lu %lu", provider ? provider : "(null)",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)), reserved1, reserved2);
  return 0;
}
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH && GetEnvironmentVariableA("TAVRIN_PROBE_LOG", logPath, MAX_PATH) >= MAX_PATH)
    logPath[0] = '\0';
  if (reason == DLL_PROCESS_ATTACH) appendLine(logPath, "attach");
#ifdef TAVRIN_PLANTED_MODULE
  if (reason == DLL_PROCESS_ATTACH) ExitProcess(77);
#endif
  if (reason == DLL_PROCESS_DETACH) appendLine(logPath, reserved ? "exit" : "detach");
  return TRUE;
}
