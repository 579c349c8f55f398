// The scene: everything its start fills and every frame reads, in one object
// that the scene's functions are given. ScreenSaverProc (saver_proc_win.cpp)
// holds the one Scene of the process.
//
// The start, in order: rendering context, settings (with the preview's
// overrides), pictures, client size, set-up, projection. The stop releases
// what the start obtained, in reverse, and only what is held.
#pragma once

#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdint>

#include "assets/texture_loader_win.h"
#include "scene/bitmap_font.h"
#include "scene/camera.h"
#include "scene/frame_meter.h"
#include "scene/overlay.h"
#include "scene/scene_options.h"
#include "scene/star_layer.h"

struct Scene {
  HWND saverWindow = nullptr;  // owns every scene message box
  bool showLogo = false;       // the preview: the logo instead of the banner and clock
  bool startFailed = false;    // the process then ends with -1: a caller can tell it never drew
  SceneOptions options;        // the settings as read, the preview's overrides applied
  ScenePictures pictures;      // decoded once, kept for the run
  // Client size read once at the start; the overlay is laid out from it.
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  // The overlay's whole factor for the display's DPI, read with the size: the
  // layout multiplies its offsets by it, the font its glyphs.
  int32_t overlayScale = 1;

  HDC deviceContext = nullptr;
  HGLRC renderingContext = nullptr;
  GLUquadric* lunarQuadric = nullptr;
  GLUquadric* earthQuadric = nullptr;
  // Texture objects and filters made by setUpScene; they go with the context.
  GLuint lunarTexture = 0;
  GLuint earthTexture = 0;
  GLuint sunGlowTexture = 0;
  GLuint fontTexture = 0;
  GLenum textureMinFilter = GL_LINEAR_MIPMAP_LINEAR;
  GLenum textureMagFilter = GL_LINEAR;

  BitmapFont font;
  Camera camera;
  StarLayer smallStars;
  StarLayer mediumStars;
  StarLayer largeStars;

  // From frame to frame.
  SphereAngles angles;  // lunar 30, Earth 60 degrees at the start
  IntroBanner banner;
  FrameMeter frameMeter;
};

// A modal error box owned by the saver window.
void showSceneError(const Scene& scene, const char* text);

// Start and stop (saver_proc_win.cpp). A failed start has shown its message.
bool startScene(Scene& scene, HWND window, bool previewing);
void stopScene(Scene& scene);
float measureFrameRate(Scene& scene);

// Rendering context and projection (gl_context_win.cpp).
bool createRenderingContext(Scene& scene);
void setUpProjection(Scene& scene, int32_t width, int32_t height);
void releaseRenderingContext(Scene& scene);

// Set-up (scene_setup_win.cpp) and one frame (frame_win.cpp).
void setUpScene(Scene& scene);
void renderFrame(Scene& scene);
