#include "scene/scene.h"

void renderFrame() {
  measureFrameRate();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void setFontViewSize(int32_t, int32_t) {}
