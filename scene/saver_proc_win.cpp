// The scene's window procedure: starts the scene when the saver window is
// created, draws and presents one frame per timer tick, and stops the scene
// on close or destroy. Everything else goes to the host's default handling.
#include "scene/scene.h"

#include "assets/texture_loader.h"
#include "config/settings.h"
#include "config/settings_store_win.h"
#include "host/host.h"
#include "scene/frame_meter.h"
#include "scene/star_layer.h"

HWND saverWindow = nullptr;
Settings settings = initialSettings();
int32_t screenWidth = 0;
int32_t screenHeight = 0;
bool showLogo = false;

static constexpr UINT_PTR frameTimer = 1;
static constexpr UINT framePeriodMs = 10;

// A start that failed ends the process with -1 rather than 0, so that a
// caller can tell a saver that never drew from one that ended normally.
static bool startFailed = false;

// The start runs inside WM_CREATE, and its message boxes run modal loops that
// dispatch this window's messages. Closing the first box moves the activation
// away, which asks for a close; handled there, it would release the context
// in the middle of the start and end the next box before anyone saw it. So a
// close that arrives during the start waits for the start to finish.
static bool starting = false;
static bool closeDeferred = false;

void showSceneError(const char* text) { MessageBoxA(saverWindow, text, "Error", MB_OK | MB_ICONERROR); }

static int64_t counterFrequency() {
  LARGE_INTEGER frequency;
  return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

static int64_t counterNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

static FrameMeter frameMeter;

float measureFrameRate() {
  static const PerformanceCounter counter{counterFrequency, counterNow};
  return frameMeter.measure(counter);
}

// The preview is a thumbnail: no text, fewer and finer stars, the smallest
// pictures. In memory only; the registry is not touched.
void applyPreviewOverrides() {
  settings.showInfo = false;
  settings.starsAmount = 3000;
  starPointSizeMax = starPointSizeMin;
  settings.textureQuality = 0;
}

bool startScene(BOOL previewing) {
  showLogo = previewing != FALSE;
  if (!createRenderingContext()) return false;
  if (!LoadSettings(settings, saverWindow)) return false;
  if (previewing) applyPreviewOverrides();
  if (!loadTextures(settings.textureQuality, saverWindow)) {
    showSceneError("Failed to load textures!");
    return false;
  }
  RECT client = {};
  GetClientRect(saverWindow, &client);
  screenWidth = client.right;
  screenHeight = client.bottom;
  setUpScene();
  setUpProjection(client.right, client.bottom);
  return true;
}

void stopScene() { releaseRenderingContext(); }

static void closeScene(HWND window) {
  stopScene();
  KillTimer(window, frameTimer);
  PostQuitMessage(startFailed ? -1 : 0);
}

LRESULT ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      saverWindow = window;
      starting = true;
      startFailed = !startScene(hostState.previewing);
      starting = false;
      if (startFailed) {
        SendMessageA(window, WM_CLOSE, 0, 0);
      } else if (closeDeferred) {
        PostMessageA(window, WM_CLOSE, 0, 0);
      }
      // Armed even after a failed start: the quit message already posted ends
      // the loop before any tick is handled, so no frame is drawn.
      if (!SetTimer(window, frameTimer, framePeriodMs, nullptr)) {
        showSceneError("Failed to set a frame timer!");
        startFailed = true;
        SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
      }
      return frameTimer;
    case WM_TIMER:
      glFlush();
      renderFrame();
      SwapBuffers(deviceContext);
      return 0;
    case WM_CLOSE:
      if (starting) {
        closeDeferred = true;
        return 0;
      }
      // The scene answers the close itself, so this is where a password in
      // force (older Windows family) must be given; otherwise any key would
      // end a password-protected saver. A start that failed goes regardless.
      if (!startFailed && !PasswordAllowsClose(window)) return 0;
      closeScene(window);
      return 0;
    case WM_DESTROY: closeScene(window); return 0;
    default: return DefScreenSaverProc(window, message, wParam, lParam);
  }
}
