// When the saver ends, and keeping its window inert while it runs.
//
// SaverWindowProc sees every message first: it handles the few that belong to
// the host (input method, cursor, refused system commands, the preview's help
// forwarding), decides every close before the scene sees it, and hands the
// rest to the scene. DefScreenSaverProc is what the scene calls for whatever
// it does not answer: it turns input into a posted close request. Both only
// translate messages into events; closeAnswer (close_policy.cpp) decides.
#include <windows.h>

#include "host/close_policy.h"
#include "host/host_win.h"

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

static void hideCursorUnlessPreviewing() {
  if (!hostState.previewing) SetCursor(nullptr);
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

static CloseState closeState() {
  return {hostState.previewing != FALSE,
          hostState.closing != FALSE,
          hostState.checkingPassword != FALSE,
          hostState.starting != FALSE,
          hostState.legacyPlatform != FALSE,
          hostState.verifyPwd != nullptr,
          GetTickCount(),
          hostState.lastPasswordCheck};
}

// Window switching and a second screen saver, in whatever form they come: the
// system keeps the low four bits of a command for itself.
static bool refusedCommand(WPARAM wParam) {
  const WPARAM command = wParam & 0xFFF0;
  return command == SC_NEXTWINDOW || command == SC_PREVWINDOW || command == SC_SCREENSAVE;
}

// Windows broadcasts these while the machine stays awake: a laptop on battery
// gets a status change every few per cent of charge, and ending the saver on
// each would show the desktop to whoever passes. Sleep and wake, and whatever
// else may come, still end it.
static bool endsSaver(WPARAM powerEvent) {
  switch (powerEvent) {
    case PBT_APMPOWERSTATUSCHANGE:
    case PBT_APMBATTERYLOW:
    case PBT_APMOEMEVENT:
    case PBT_POWERSETTINGCHANGE: return false;
    default: return true;
  }
}

// The scene starts inside WM_CREATE; a close asked meanwhile is posted again
// once the start is over, and one that could not start ends with no close.
static LRESULT startScene(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  hostState.starting = TRUE;
  const LRESULT started = ScreenSaverProc(window, message, wParam, lParam);
  hostState.starting = FALSE;
  if (started == 0) {
    hostState.closing = TRUE;  // the scene has ended the loop itself
  } else if (hostState.closeDeferred) {
    postClose(window);
  }
  return started;
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      detachInputMethod(window);
      GetCursorPos(&hostState.lastCursor);
      hideCursorUnlessPreviewing();
      return startScene(window, message, wParam, lParam);
    case WM_CLOSE:
      if (!ConfirmClose(window)) return 0;  // the window stays
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
      if (!hostState.previewing && refusedCommand(wParam)) return 0;
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

// The close event a message stands for, if any. The pointer's travel is
// measured from its real position: a window shown under a resting pointer
// gets a move without travel.
static bool eventOf(UINT message, WPARAM wParam, SaverEvent& event, uint32_t& travel, POINT& pointer) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: event = SaverEvent::Key; return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: event = SaverEvent::Button; return true;
    case WM_MOUSEMOVE:
      GetCursorPos(&pointer);
      travel = cursorTravel(hostState.lastCursor.x, hostState.lastCursor.y, pointer.x, pointer.y);
      event = SaverEvent::MouseMove;
      return true;
    case WM_ACTIVATEAPP: event = SaverEvent::ActivationLost; return !wParam;
    case WM_POWER: event = SaverEvent::PowerEvent; return wParam == PWR_CRITICALRESUME;
    case WM_POWERBROADCAST: event = SaverEvent::PowerEvent; return endsSaver(wParam);
    default:
      event = SaverEvent::AutoPlay;
      return hostState.autoPlayMessage != 0 && message == hostState.autoPlayMessage;
  }
}

// What the scene calls for every message it does not answer itself.
LRESULT DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool inert = hostState.previewing || hostState.closing;
  // SaverWindowProc decides each close as it arrives: one it accepted comes
  // back here from a scene that passes WM_CLOSE on, and finishes (the default
  // handling destroys the window). Asking again would answer "already closing"
  // and keep the window for ever.
  if (message == WM_CLOSE && !inert && !ConfirmClose(window)) return 0;
  if (message == WM_APP && !inert && hostState.legacyPlatform) {
    // The password check, sent by ConfirmClose to this window.
    return hostState.verifyPwd ? hostState.verifyPwd(window) : 1;
  }
  if (!inert && !hostState.checkingPassword) {
    if (message == WM_SETCURSOR) {
      SetCursor(nullptr);
      return TRUE;
    }
    if (message == WM_SHOWWINDOW && wParam) SetCursor(nullptr);
  }
  SaverEvent event;
  uint32_t travel = 0;
  POINT pointer = {};
  if (eventOf(message, wParam, event, travel, pointer)) {
    if (closeAnswer(event, closeState(), travel) == CloseAnswer::Request) {
      postClose(window);
      if (event == SaverEvent::MouseMove) hostState.lastCursor = pointer;
    }
    // A disc was inserted: AutoPlay is cancelled while a password is in force.
    if (event == SaverEvent::AutoPlay) return hostState.verifyPwd ? TRUE : FALSE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The password module asks; the timers queued meanwhile would draw over the
// dialog's start. Returns whether the check let the saver end.
static BOOL askPassword(HWND window) {
  hostState.checkingPassword = TRUE;
  MSG pending;
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  hostState.closing = static_cast<BOOL>(SendMessageA(window, WM_APP, 0, 0));
  hostState.checkingPassword = FALSE;
  if (!hostState.closing) SetCursor(nullptr);
  hostState.lastPasswordCheck = GetTickCount();  // after the dialog has closed
  return hostState.closing;
}

BOOL ConfirmClose(HWND window) {
  switch (closeAnswer(SaverEvent::CloseRequest, closeState())) {
    case CloseAnswer::Defer: hostState.closeDeferred = TRUE; return FALSE;
    case CloseAnswer::Close: hostState.closing = TRUE; return TRUE;
    case CloseAnswer::Ask:
      if (askPassword(window)) return TRUE;
      break;
    default: break;  // refused, or already closing
  }
  GetCursorPos(&hostState.lastCursor);  // the mouse must travel anew before the next request
  return FALSE;
}
