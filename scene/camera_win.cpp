// The camera's one GL call: the look-at transform multiplied onto the current
// (model-view) matrix. Everything else about the camera is in camera.cpp.
#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/camera.h"

void Camera::update() {
  // Positions come from the wrapped angles; the step is added only after
  // the look-at, so the next frame's wrap sees the advanced value.
  computePositions();
  gluLookAt(eye.position.x, eye.position.y, eye.position.z, target.position.x, target.position.y, target.position.z,
            0.0, 1.0, 0.0);
  advanceAngles();
}
