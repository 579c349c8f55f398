// The saver window and its message loop, shared by the full-screen and the
// preview modes, and (on the older family) the password module that is kept
// loaded around the loop.
#include <windows.h>

#include "host/host_win.h"
#include "res/resource_ids.h"

static const char saverClassName[] = "WindowsScreenSaverClass";
static const char fullScreenTitle[] = "Screen Saver";
static const char previewTitle[] = "Preview";

static WNDCLASSA saverWindowClass() {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = SaverWindowProc;
  windowClass.hInstance = hostState.instance;
  windowClass.hIcon = LoadIconA(hostState.instance, MAKEINTRESOURCEA(IDI_TAVRIN));
  windowClass.hCursor = nullptr;  // the saver hides the pointer itself
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = saverClassName;
  return windowClass;
}

static RECT screenClipBox() {
  RECT box = {};
  HDC screen = GetDC(nullptr);
  GetClipBox(screen, &box);
  ReleaseDC(nullptr, screen);
  return box;
}

static HWND createSaverWindow(HWND parent, const RECT& area) {
  if (parent) {
    return CreateWindowExA(0, saverClassName, previewTitle, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, area.right,
                           area.bottom, parent, nullptr, hostState.instance, nullptr);
  }
  return CreateWindowExA(WS_EX_TOPMOST, saverClassName, fullScreenTitle,
                         WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, area.left, area.top,
                         area.right - area.left, area.bottom - area.top, nullptr, nullptr, hostState.instance, nullptr);
}

int RunSaver(HWND parent) {
  const WNDCLASSA windowClass = saverWindowClass();
  RECT area = {};
  if (parent) {
    // The preview keeps the size its parent had now; it is not resized later.
    GetClientRect(parent, &area);
    hostState.previewing = TRUE;
  } else {
    area = screenClipBox();
    HWND running = FindWindowA(saverClassName, fullScreenTitle);
    if (running && IsWindow(running)) {
      SetForegroundWindow(running);
      return 0;
    }
    LoadPasswordModule();
  }
  hostState.autoPlayMessage = hostState.legacyPlatform ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;

  // The scene starts inside CreateWindowExA (WM_CREATE), with previewing set.
  if (RegisterClassA(&windowClass)) hostState.mainWindow = createSaverWindow(parent, area);
  if (!hostState.mainWindow) {
    UnloadPasswordModule();
    return -1;
  }
  if (!parent) SetForegroundWindow(hostState.mainWindow);

  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  UnloadPasswordModule();
  return static_cast<int>(message.wParam);
}

void LoadPasswordModule() {
  if (!hostState.legacyPlatform) return;
  if (hostState.passwordModule) UnloadPasswordModule();
  HKEY desktop = nullptr;
  if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) != ERROR_SUCCESS) return;
  DWORD usePassword = 0;
  DWORD size = sizeof usePassword;
  if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr, reinterpret_cast<BYTE*>(&usePassword),
                       &size) == ERROR_SUCCESS &&
      usePassword != 0) {
    hostState.passwordModule = LoadLibraryA("PASSWORD.CPL");
    if (hostState.passwordModule) {
      hostState.verifyPwd = reinterpret_cast<VerifyPasswordProc>(
          reinterpret_cast<void*>(GetProcAddress(hostState.passwordModule, "VerifyScreenSavePwd")));
      if (hostState.verifyPwd) {
        SetSaverRunning(TRUE);
      } else {
        UnloadPasswordModule();
      }
    }
  }
  RegCloseKey(desktop);
}

void UnloadPasswordModule() {
  if (!hostState.legacyPlatform || !hostState.passwordModule) return;
  FreeLibrary(hostState.passwordModule);
  hostState.passwordModule = nullptr;
  if (hostState.verifyPwd) {
    hostState.verifyPwd = nullptr;
    SetSaverRunning(FALSE);
  }
}

void SetSaverRunning(BOOL running) {
  if (!hostState.legacyPlatform) return;
  UINT previous = 0;  // not used, but the call writes it
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, static_cast<UINT>(running), &previous, 0);
}
