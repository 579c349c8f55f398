// PASSWORD.CPL for the tests: a password module whose "VerifyScreenSavePwd"
// answers as the test asks, under HKCU\Software\Orvane\TavrinTests\Password:
//   Verdict  (DWORD) - the answer when nothing is asked; nonzero accepts
//   Ask      (DWORD) - nonzero: ask in a modal message box titled
//                      "Tavrin test password"; OK accepts, Cancel refuses
//   PointerX, PointerY (DWORD) - where to put the pointer while asking, as a
//                      user moving the mouse in the dialog would
// Every call is written to PASSWORD.log as "verify <window>".
#include <windows.h>

#include <cstdio>

#include "tests/win/legacy_module_log.h"

static HMODULE self;

static bool readNumber(HKEY key, const char* name, DWORD* value) {
  DWORD size = sizeof *value;
  DWORD type = 0;
  return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
         type == REG_DWORD;
}

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  char line[64];
  std::snprintf(line, sizeof line, "verify %llu", legacy_module::handleNumber(window));
  legacy_module::appendLine(self, line);

  DWORD verdict = 0, ask = 0, x = 0, y = 0;
  HKEY key = nullptr;
  bool movePointer = false;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvane\\TavrinTests\\Password", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    readNumber(key, "Verdict", &verdict);
    readNumber(key, "Ask", &ask);
    movePointer = readNumber(key, "PointerX", &x) && readNumber(key, "PointerY", &y);
    RegCloseKey(key);
  }
  // A real password dialog shows the pointer while it asks.
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  if (movePointer) SetCursorPos(static_cast<int>(x), static_cast<int>(y));
  if (ask) return MessageBoxA(window, "Password:", "Tavrin test password", MB_OKCANCEL) == IDOK;
  return verdict != 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  self = instance;
  legacy_module::recordAttachment(instance, reason, reserved);
  return TRUE;
}
