// MPR.DLL for the tests: "PwdChangePasswordA" writes its four arguments to
// MPR.log as "change <provider> <owner> <reserved1> <reserved2>" and
// reports success. The saver loads it in place of the system's module when
// the test starts it with WINEDLLOVERRIDES="mpr=n" and this file beside it.
#include <windows.h>

#include <cstdio>

#include "tests/win/legacy_module_log.h"

static HMODULE self;

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1, DWORD reserved2) {
  char line[160];
  std::snprintf(line, sizeof line, "change %.64s %llu %lu %lu", provider ? provider : "(null)",
                legacy_module::handleNumber(owner), static_cast<unsigned long>(reserved1),
                static_cast<unsigned long>(reserved2));
  legacy_module::appendLine(self, line);
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  self = instance;
  legacy_module::recordAttachment(instance, reason, reserved);
  return TRUE;
}
