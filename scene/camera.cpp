// Camera curves, wrap rules and start angles. All arithmetic is in double
// precision; the GL side (camera_win.cpp) only hands the two points to
// gluLookAt.
#include "scene/camera.h"

#include <cmath>

#include "scene/scene_random.h"

using namespace camera_constants;

namespace {

CameraPoint planePosition(PathRole role, double a, double r) {
  if (role == PathRole::Eye) {
    return {};  // a Plain eye stays at the origin while its angle keeps growing
  }
  return {r * std::cos(a), 0.0, r * std::sin(a)};
}

CameraPoint vivianiPosition(double a, double r) {
  return {r * (1.0 + std::cos(a)), r * std::sin(a), 2.0 * r * std::sin(a / 2.0)};
}

CameraPoint sphereWavePosition(double a, double r) {
  // Polar angle swings about the equator by +-k; the azimuth runs half as
  // fast as the parameter with a small wobble, so 0..4pi closes the curve.
  const double theta = halfPi - sphereWaveK * std::cos(a);
  const double phi = a / 2.0 + 0.4 * std::sin(2.0 * a);
  return {r * std::sin(theta) * std::cos(phi), r * std::sin(theta) * std::sin(phi), r * std::cos(theta)};
}

CameraPoint rosettePosition(double a, double r) {
  return {r * (10.0 * (std::cos(a) + std::cos(3.0 * a)) + std::cos(2.0 * a) + std::cos(4.0 * a)),
          r * (6.0 * std::sin(a) + 10.0 * std::sin(3.0 * a)),
          r * (4.0 * (std::sin(3.0 * a) * std::sin(2.5 * a) + std::sin(4.0 * a)) - 2.0 * std::sin(6.0 * a))};
}

void placePath(CameraPath& path, PathRole role) {
  wrapPathAngle(path, role);
  path.position = pathPosition(path.mode, role, path.angle, path.radius);
}

}  // namespace

void wrapPathAngle(CameraPath& path, PathRole role) {
  if (!(path.step > 0.0)) {
    return;  // a path that stands still or runs backwards is never wrapped
  }
  double& a = path.angle;
  const double s = path.step;
  switch (path.mode) {
    case PathMode::Viviani:
      // Range -2pi..2pi. Only the target also wraps at the lower end.
      if (a >= twoPi) {
        a = s - twoPi;
      } else if (role == PathRole::Target && a <= -twoPi) {
        a = s + twoPi;
      }
      break;
    case PathMode::SphereWave:
      // Range 0..4pi; an angle of exactly 0 counts as the lower end.
      if (a >= fourPi) {
        a = s;
      } else if (a <= 0.0) {
        a = s + fourPi;
      }
      break;
    case PathMode::Rosette:
      if (a >= twoPi) {
        a = s;
      } else if (a <= 0.0) {
        a = s + twoPi;
      }
      break;
    default: break;  // Plain and unknown modes never wrap
  }
}

CameraPoint pathPosition(PathMode mode, PathRole role, double angle, double radius) {
  switch (mode) {
    case PathMode::Viviani: return vivianiPosition(angle, radius);
    case PathMode::SphereWave: return sphereWavePosition(angle, radius);
    case PathMode::Rosette: return rosettePosition(angle, radius);
    default: return planePosition(role, angle, radius);
  }
}

double pathStartAngle(PathMode mode, int draw) {
  const double unit = draw / static_cast<double>(SceneRandom::maxDraw);
  switch (mode) {
    case PathMode::Viviani: return unit * fourPi - twoPi;
    case PathMode::SphereWave: return unit * fourPi;
    default: return unit * twoPi;  // Rosette, Plain and unknown modes
  }
}

void Camera::computePositions() {
  placePath(target, PathRole::Target);
  placePath(eye, PathRole::Eye);
}

void Camera::advanceAngles() {
  target.angle += target.step;
  eye.angle += eye.step;
}

void Camera::randomize() {
  SceneRandom random = SceneRandom::fromClock();
  target.angle = pathStartAngle(target.mode, random.next());
  switch (eye.mode) {
    case PathMode::Viviani:
    case PathMode::SphereWave:
    case PathMode::Rosette: eye.angle = pathStartAngle(eye.mode, random.next()); break;
    default:
      eye.angle = 0.0;  // the eye stays at the origin: no draw spent on it
      break;
  }
}

void configureSceneCamera(Camera& camera, float cameraRate) {
  const double step = static_cast<double>(cameraRate) * 0.000001;
  camera.target.mode = PathMode::Viviani;
  camera.target.radius = 1.4;
  camera.target.step = step;
  camera.eye.mode = PathMode::Rosette;
  camera.eye.radius = 0.2;
  camera.eye.step = step;
}
