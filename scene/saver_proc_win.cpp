// The scene's window procedure: starts the scene when the saver window is
// created, draws and presents one frame per timer tick, and stops the scene
// on close or destroy. Everything else goes to the host's default handling.
//
// Whether a close goes ahead is the host's decision, made before the close is
// passed on here: the scene ends when it is told to.
#include "config/settings_store_win.h"
#include "host/screen_saver_win.h"
#include "scene/scene_win.h"

namespace {

constexpr UINT_PTR frameTimer = 1;
constexpr UINT framePeriodMs = 10;

Scene scene;  // the one scene of the process

int64_t counterFrequency() {
  LARGE_INTEGER frequency;
  return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

int64_t counterNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// The scene's end: what the start obtained is released, and the message loop
// ends, with -1 when the scene never started.
void endScene(HWND window) {
  stopScene(scene);
  KillTimer(window, frameTimer);
  PostQuitMessage(scene.startFailed ? -1 : 0);
}

// The DPI of the monitor under the window's top-left corner, where the frame
// rate, the banner and the logo begin (on monitors of mixed scales the clock
// takes the same factor). Windows 8.1 and later give each monitor's own to a
// program aware of them; before, a DPI-aware program has the system's one.
uint32_t displayDpi(HWND window, HDC deviceContext) {
  using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  constexpr int effectiveDpi = 0;  // MDT_EFFECTIVE_DPI: what the user's scale setting asks for
  POINT corner = {0, 0};
  ClientToScreen(window, &corner);
  UINT dpiX = 0, dpiY = 0;
  // Like every DLL of the process, found in the system folder only.
  if (HMODULE shcore = LoadLibraryA("shcore.dll")) {
    const auto dpiForMonitor =
        reinterpret_cast<DpiForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    if (!dpiForMonitor ||
        dpiForMonitor(MonitorFromPoint(corner, MONITOR_DEFAULTTONEAREST), effectiveDpi, &dpiX, &dpiY) != S_OK) {
      dpiX = 0;
    }
    FreeLibrary(shcore);
  }
  return dpiX ? dpiX : static_cast<uint32_t>(GetDeviceCaps(deviceContext, LOGPIXELSX));
}

}  // namespace

void showSceneError(const Scene& owner, const char* text) {
  MessageBoxA(owner.saverWindow, text, "Error", MB_OK | MB_ICONERROR);
}

float measureFrameRate(Scene& started) {
  static const PerformanceCounter counter{counterFrequency, counterNow};
  return started.frameMeter.measure(counter);
}

bool startScene(Scene& started, HWND window, bool previewing) {
  started.saverWindow = window;
  started.showLogo = previewing;
  if (!createRenderingContext(started)) return false;
  if (!LoadSettings(started.options.settings, window)) return false;
  if (previewing) applyPreviewOverrides(started.options);
  if (!loadTextures(started.pictures, started.options.settings.textureQuality, window)) {
    showSceneError(started, "Failed to load textures!");
    return false;
  }
  RECT client = {};
  GetClientRect(window, &client);
  started.screenWidth = client.right;
  started.screenHeight = client.bottom;
  started.overlayScale = overlayScaleForDpi(displayDpi(window, started.deviceContext));
  setUpScene(started);
  setUpProjection(started, client.right, client.bottom);
  return true;
}

void stopScene(Scene& started) { releaseRenderingContext(started); }

LRESULT ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      // The host makes the preview a child of the control panel's window, the
      // full-screen saver a pop-up.
      const bool previewing = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
      const bool started = startScene(scene, window, previewing);
      if (started && !SetTimer(window, frameTimer, framePeriodMs, nullptr)) {
        showSceneError(scene, "Failed to set a frame timer!");
      } else if (started) {
        return frameTimer;
      }
      // Ended at once: no frame is drawn, and the host knows from the answer.
      scene.startFailed = true;
      endScene(window);
      return 0;
    }
    case WM_TIMER:
      glFlush();
      renderFrame(scene);
      SwapBuffers(scene.deviceContext);
      return 0;
    case WM_CLOSE:
    case WM_DESTROY: endScene(window); return 0;
    default: return DefScreenSaverProc(window, message, wParam, lParam);
  }
}
