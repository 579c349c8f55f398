// A module with none of the password services' functions: copied as
// PASSWORD.CPL or MPR.DLL it shows what the saver does when the module is
// there but the function is not. It only records being loaded and freed, in
// <name it was loaded as>.log.
#include <windows.h>

#include "tests/win/legacy_module_log.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  legacy_module::recordAttachment(instance, reason, reserved);
  return TRUE;
}
