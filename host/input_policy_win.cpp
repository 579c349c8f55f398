// When the saver ends, and keeping its window inert while it runs.
//
// SaverWindowProc sees every message first and handles the few that belong
// to the host (input method, cursor, refused system commands, the preview's
// help forwarding); DefScreenSaverProc is what the scene calls for everything
// it does not answer, and turns input into a posted WM_CLOSE. The arithmetic
// (mouse travel, the 200 ms rule) is in close_policy.cpp.
#include <windows.h>

#include "host/close_policy.h"
#include "host/host.h"

static void postClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

static void detachInputMethod(HWND window) {
  // Only an input-method library that is already loaded is used: loading one
  // just to switch it off would cost more than it saves.
  hostState.imeModule = GetModuleHandleA("IMM32.DLL");
  if (!hostState.imeModule) return;
  hostState.associateContext = reinterpret_cast<AssociateContextProc>(
      reinterpret_cast<void*>(GetProcAddress(hostState.imeModule, "ImmAssociateContext")));
  if (hostState.associateContext) hostState.savedImeContext = hostState.associateContext(window, nullptr);
}

static void restoreInputMethod(HWND window) {
  if (hostState.imeModule && hostState.associateContext && hostState.savedImeContext) {
    hostState.associateContext(window, hostState.savedImeContext);
  }
}

// WM_HELP points to a HELPINFO record: the system refuses to post it, and only a
// sent message carries the record across to the parent's process. The send is
// bounded so that a hung control panel cannot hang the preview.
static void forwardToParent(HWND parent, UINT message, LPARAM lParam) {
  const WPARAM parentHandle = reinterpret_cast<WPARAM>(parent);
  if (message == WM_HELP) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(parent, message, parentHandle, lParam, SMTO_ABORTIFHUNG, 2000, &ignored);
  } else {
    PostMessageA(parent, message, parentHandle, lParam);
  }
}

static void hideCursorUnlessPreviewing() {
  if (!hostState.previewing) SetCursor(nullptr);
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      detachInputMethod(window);
      GetCursorPos(&hostState.lastCursor);
      hideCursorUnlessPreviewing();
      break;
    case WM_DESTROY:
      restoreInputMethod(window);
      PostQuitMessage(0);
      break;
    case WM_SETTEXT: return 0;  // the title is how a second start finds this window: it never changes
    case WM_PAINT:
      if (hostState.closing) return DefWindowProcA(window, message, wParam, lParam);
      hideCursorUnlessPreviewing();
      break;
    case WM_HELP:
    case WM_CONTEXTMENU:
      if (hostState.previewing) {
        // The control panel owns the preview's help and context menu.
        HWND parent = GetParent(window);
        if (parent && IsWindow(parent)) forwardToParent(parent, message, lParam);
        return 1;
      }
      break;
    case WM_TIMER:
      if (hostState.closing) return 0;
      Sleep(0);  // a frame per tick must not starve the rest of the desktop
      break;
    case WM_SYSCOMMAND:
      if (!hostState.previewing && (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE)) {
        return 0;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (hostState.closing) return DefWindowProcA(window, message, wParam, lParam);
      break;
    default: break;
  }
  return ScreenSaverProc(window, message, wParam, lParam);
}

// What the scene calls for every message it does not answer itself.
LRESULT DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hostState.previewing && !hostState.closing) {
    if (message == WM_CLOSE) {
      if (!PasswordAllowsClose(window)) return 0;  // refused: the window stays
    } else if (message == WM_APP) {
      // The password check, sent by ConfirmClose to this window.
      if (hostState.legacyPlatform) return hostState.verifyPwd ? hostState.verifyPwd(window) : 1;
    } else if (!hostState.checkingPassword) {
      // Input during a check posts no close: the password dialog has it.
      switch (message) {
        case WM_SHOWWINDOW:
          if (wParam) SetCursor(nullptr);
          break;
        case WM_ACTIVATEAPP:
          if (!wParam) postClose(window);
          break;
        case WM_SETCURSOR: SetCursor(nullptr); return TRUE;
        case WM_POWER:
          if (wParam == PWR_CRITICALRESUME) postClose(window);
          break;
        case WM_POWERBROADCAST:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: postClose(window); break;
        case WM_MOUSEMOVE: {
          // The pointer's real position, not the message's: a window shown
          // under a resting pointer gets a move without travel.
          POINT p;
          GetCursorPos(&p);
          if (cursorTravelExceeds(hostState.lastCursor.x, hostState.lastCursor.y, p.x, p.y, hostState.moveThreshold)) {
            postClose(window);
            hostState.lastCursor = p;
          }
          break;
        }
        default: break;
      }
    }
  }
  if (hostState.autoPlayMessage != 0 && message == hostState.autoPlayMessage) {
    // A disc was inserted: end the saver, and keep AutoPlay from running past
    // a password that is in force.
    postClose(window);
    return hostState.verifyPwd ? TRUE : FALSE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

BOOL PasswordAllowsClose(HWND window) {
  if (!hostState.legacyPlatform || ConfirmClose(window)) return TRUE;
  GetCursorPos(&hostState.lastCursor);
  return FALSE;
}

BOOL ConfirmClose(HWND window) {
  if (hostState.checkingPassword || hostState.closing) return FALSE;
  if (!hostState.verifyPwd) {
    hostState.closing = TRUE;
    return TRUE;
  }
  if (passwordCheckTooRecent(GetTickCount(), hostState.lastPasswordCheck)) return FALSE;

  hostState.checkingPassword = TRUE;
  // Frames queued while the close was decided would draw over the dialog's start.
  MSG pending;
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  hostState.closing = static_cast<BOOL>(SendMessageA(window, WM_APP, 0, 0));
  hostState.checkingPassword = FALSE;
  if (!hostState.closing) SetCursor(nullptr);
  hostState.lastPasswordCheck = GetTickCount();  // after the dialog has closed
  return hostState.closing;
}
