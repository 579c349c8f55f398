// The scene: its window procedure's helpers, the rendering context, and the
// globals that the start fills and every frame reads.
#pragma once

#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdint>

#include "config/settings.h"
#include "scene/bitmap_font.h"
#include "scene/camera.h"
#include "scene/star_layer.h"

// The saver window (stored at WM_CREATE); it owns every scene message box.
extern HWND saverWindow;
// Client size read once at the start; the overlay is laid out from it.
extern int32_t screenWidth;
extern int32_t screenHeight;
// The settings as loaded, preview overrides applied.
extern Settings settings;
// True in the preview: the logo is drawn instead of the banner and clock.
extern bool showLogo;

extern HDC deviceContext;
extern HGLRC renderingContext;
extern GLUquadric* lunarQuadric;
extern GLUquadric* earthQuadric;

// The scene's drawables, constructed in this order before the host's entry
// runs (scene_setup_win.cpp) and configured once by setUpScene.
extern BitmapFont font;
extern Camera camera;
extern StarLayer smallStars;
extern StarLayer mediumStars;
extern StarLayer largeStars;

// Texture objects and filters made by setUpScene; they go with the context.
extern GLuint lunarTexture;
extern GLuint earthTexture;
extern GLuint sunGlowTexture;
extern GLuint fontTexture;
extern GLenum textureMinFilter;
extern GLenum textureMagFilter;

// A modal error box owned by the saver window.
void showSceneError(const char* text);

// Start and stop (saver_proc_win.cpp).
bool startScene(BOOL previewing);
void stopScene();
void applyPreviewOverrides();
float measureFrameRate();

// Rendering context and projection (gl_context_win.cpp).
bool createRenderingContext();
void setUpProjection(int32_t width, int32_t height);
void releaseRenderingContext();

// Scene set-up and frame composition.
void setUpScene();
void renderFrame();
