// Drawing a star layer: one glDrawArrays of GL_POINTS from the layer's
// client-side array. Leaves the current colour at the layer's colour and the
// point size at 1; with smoothing, GL_BLEND and GL_POINT_SMOOTH end disabled
// whatever they were before (they are not saved).
#include <windows.h>

#include <GL/gl.h>

#include "scene/star_layer.h"

void StarLayer::draw() const {
  if (vertices_ == nullptr) {
    return;  // never generated, or its allocation failed: no GL call at all
  }
  if (smooth_) {
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  glColor4fv(color_);
  glPointSize(pointSize_);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, vertices_);
  glDrawArrays(GL_POINTS, 0, count_);
  glPointSize(1.0f);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (smooth_) {
    glDisable(GL_BLEND);
    glDisable(GL_POINT_SMOOTH);
  }
}
