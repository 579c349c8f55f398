// A scene that answers only its start and its frame ticks and passes every other message on to the host, WM_CLOSE and
// WM_DESTROY included, as the screen-saver library lets any scene do. Linked in place of the real scene, so that the
// host's own window procedure is the one under test: into passing_scene.scr (the saver's entry and host with this
// scene) and into the older family's in-process test, which reads what it saw while a password check ran.
#include <atomic>

#include "host/host_win.h"

std::atomic<int> framesDuringCheck, closesDuringCheck;

LRESULT ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return SetTimer(window, 1, 10, nullptr);
    case WM_TIMER: framesDuringCheck += hostState.checkingPassword; return 0;
    case WM_CLOSE: closesDuringCheck += hostState.checkingPassword; break;
    default: break;
  }
  return DefScreenSaverProc(window, message, wParam, lParam);
}
