// The process entry of tavrin.scr. Everything else lives in the host library
// so that the tests under Wine can link it.
#include <windows.h>

#include "host/host_win.h"
#include "host/system_modules_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  bindSystemModules();
  SaverEntry();
}
