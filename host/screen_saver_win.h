// The screen-saver contract between the host and the scene, as the system's
// screen-saver library has it: the host's window procedure hands every message
// to the scene's ScreenSaverProc, which hands whatever it does not answer
// itself to the host's DefScreenSaverProc, unchanged.
//
// The scene answers WM_CREATE with 0 when it could not start (it has then
// ended the message loop itself) and with its frame timer's id otherwise. It
// ends on WM_CLOSE and WM_DESTROY without asking: whether a close goes ahead
// is the host's to decide before it passes one on.
#pragma once

#include <windows.h>

LRESULT ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);     // the scene's
LRESULT DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);  // the host's
