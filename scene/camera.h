// The camera: an eye path (where the viewer stands) and a target path (the
// point looked at), each a closed parametric curve whose parameter grows by a
// fixed step every frame. Speed is counted per frame, not per second.
//
// This file and camera.cpp hold the curves, the wrap rules and the start-angle
// draw, all plain double arithmetic. camera_win.cpp holds the one GL call
// (gluLookAt) in Camera::update.
//
// Not here: no smoothing, no course change after start, no resources.
#pragma once

#include <cstdint>

// The curve a path follows. Stored as 8 bits; any value above Rosette acts as
// Plain, like Plain itself.
enum class PathMode : std::uint8_t {
  Plain = 0,       // target: flat circle in the x-z plane; eye: fixed at the origin
  Viviani = 1,     // Viviani's curve
  SphereWave = 2,  // curve on a sphere with an oscillating polar angle
  Rosette = 3,     // closed trigonometric space curve
};

// Which of the camera's two paths a curve belongs to: Plain and the Viviani
// wrap behave differently for the eye.
enum class PathRole : std::uint8_t { Target, Eye };

struct CameraPoint {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct CameraPath {
  PathMode mode = PathMode::Plain;
  double radius = 1.0;   // scale applied to every coordinate
  double step = 0.001;   // radians added to angle after every frame
  double angle = 0.0;    // current curve parameter, radians
  CameraPoint position;  // the point computed in the last update
};

namespace camera_constants {
constexpr double halfPi = 1.5707963267948966;
constexpr double twoPi = 6.283185307179586;
constexpr double fourPi = 12.566370614359172;
constexpr double sphereWaveK = 1.1707963267948966;  // halfPi - 0.4
}  // namespace camera_constants

// Brings path.angle back into its mode's range, one step past the lower end.
// Does nothing when path.step <= 0.
void wrapPathAngle(CameraPath& path, PathRole role);

// The point of the curve at `angle`, scaled by `radius`.
CameraPoint pathPosition(PathMode mode, PathRole role, double angle, double radius);

// A start angle from one draw n in 0..32767, spread over the mode's range.
double pathStartAngle(PathMode mode, int draw);

class Camera {
 public:
  CameraPath target;
  CameraPath eye;

  // One frame: computePositions, gluLookAt(eye, target, up (0, 1, 0)),
  // advanceAngles. Needs a current GL context with the model-view matrix
  // selected. Defined in camera_win.cpp.
  void update();

  // Wraps each path's angle, then computes its position: target, then eye.
  void computePositions();

  // Adds each path's step to its angle, target first, whatever the mode.
  void advanceAngles();

  // Random start angles for both paths from one clock-seeded generator:
  // the target draws first; a Plain eye is set to 0 without a draw.
  void randomize();
};

// The scene's camera configuration for a given cameraRate (cameraSpeed x 10):
// a Viviani target of radius 1.4 and a Rosette eye of radius 0.2, both
// stepping cameraRate x 0.000001 radians per frame. Angles are left as they are.
void configureSceneCamera(Camera& camera, float cameraRate);
