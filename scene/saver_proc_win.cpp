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
