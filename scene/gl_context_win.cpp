// The OpenGL rendering context on the saver window, the viewport and the
// projection, and their release.
//
// The pixel format request is fixed and whatever format the system proposes
// is taken without comparing: a device that offers only a 16- or 24-bit depth
// buffer must still show the saver.
#include "scene/scene_win.h"

static PIXELFORMATDESCRIPTOR sceneFormat() {
  PIXELFORMATDESCRIPTOR format = {};
  format.nSize = sizeof format;
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.iPixelType = PFD_TYPE_RGBA;
  format.cColorBits = 32;
  format.cDepthBits = 32;
  format.iLayerType = PFD_MAIN_PLANE;
  return format;
}

bool createRenderingContext(Scene& scene) {
  const PIXELFORMATDESCRIPTOR format = sceneFormat();
  scene.deviceContext = GetDC(scene.saverWindow);
  if (!scene.deviceContext) {
    showSceneError(scene, "Failed to get a window Device Ccontext!");
    return false;
  }
  const int index = ChoosePixelFormat(scene.deviceContext, &format);
  if (index == 0) {
    showSceneError(scene, "Failed to find a suitable Pixel Format!");
    return false;
  }
  if (!SetPixelFormat(scene.deviceContext, index, &format)) {
    showSceneError(scene, "Failed to set the Pixel Format!");
    return false;
  }
  scene.renderingContext = wglCreateContext(scene.deviceContext);
  if (!scene.renderingContext) {
    showSceneError(scene, "Failed to create Render Device Context!");
    return false;
  }
  if (!wglMakeCurrent(scene.deviceContext, scene.renderingContext)) {
    showSceneError(scene, "Failed to set current Render Device Context!");
    return false;
  }
  return true;
}

void setUpProjection(Scene& scene, int32_t width, int32_t height) {
  if (height == 0) height = 1;  // a zero-high client area would divide by zero
  glViewport(0, 0, width, height);
  scene.font.setViewSize(width, height);
  scene.font.setGlyphScale(scene.overlayScale);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const float nearPlane = 0.1f;  // kept single precision: the depth range has always been this
  gluPerspective(45.0, static_cast<double>(static_cast<float>(width) / static_cast<float>(height)), nearPlane, 32.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // The base of every frame: frames and texts push and pop around it.
  glTranslatef(0.0f, 0.0f, -5.0f);
}

// Only what is held is released, so a start that stopped halfway and a
// second call (WM_CLOSE, then WM_DESTROY) are both safe. Textures and display
// lists go with the context: the font forgets its lists then, so that nothing
// calls GL for them later.
void releaseRenderingContext(Scene& scene) {
  if (scene.lunarQuadric) {
    gluDeleteQuadric(scene.lunarQuadric);
    scene.lunarQuadric = nullptr;
  }
  if (scene.earthQuadric) {
    gluDeleteQuadric(scene.earthQuadric);
    scene.earthQuadric = nullptr;
  }
  if (scene.deviceContext) wglMakeCurrent(scene.deviceContext, nullptr);
  if (scene.renderingContext) {
    wglDeleteContext(scene.renderingContext);
    scene.renderingContext = nullptr;
    scene.font.forgetLists();
  }
  if (scene.deviceContext) {
    ReleaseDC(scene.saverWindow, scene.deviceContext);
    scene.deviceContext = nullptr;
  }
}
