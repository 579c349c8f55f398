// The scene's generator and the camera's curves, wraps and start angles.
#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

#include "scene/camera.h"
#include "scene/scene_random.h"
#include "scene_test_clock.h"

using namespace camera_constants;

namespace {

// A seed whose first two draws are `first` and `second`: the state after the
// first step must carry `first` in bits 16..30, so only its other 17 bits are
// searched, and the seed is recovered by undoing one step.
std::uint32_t seedForDraws(int first, int second) {
  std::uint32_t inverse = 214013u;  // Newton's iteration for 1/214013 mod 2^32
  for (int i = 0; i < 5; ++i) {
    inverse *= 2u - 214013u * inverse;
  }
  for (std::uint32_t free = 0; free < (1u << 17); ++free) {
    const std::uint32_t state = (static_cast<std::uint32_t>(first) << 16) | (free & 0xFFFFu) | ((free >> 16) << 31);
    if ((((state * 214013u + 2531011u) >> 16) & 0x7FFFu) == static_cast<std::uint32_t>(second)) {
      return (state - 2531011u) * inverse;
    }
  }
  ADD_FAILURE() << "no seed draws " << first << ", " << second;
  return 0;
}

}  // namespace

TEST(SceneRandom, FollowsTheWindowsRuntimeSequenceAndSeedsFromTheClock) {
  SceneRandom one(1);
  for (int expected : {41, 18467, 6334, 26500, 19169}) {
    EXPECT_EQ(one.next(), expected);
  }
  // The clock is truncated to 32 bits, as srand(time(0)) does.
  FixedSceneClock clock((std::int64_t{1} << 32) + 1);
  SceneRandom fromClock = SceneRandom::fromClock();
  EXPECT_EQ(fromClock.next(), 41);

  SceneRandom ends(seedForDraws(0, SceneRandom::maxDraw));
  EXPECT_EQ(ends.nextUnit(), 0.0);
  EXPECT_EQ(ends.nextUnit(), 1.0);
}

TEST(CameraFrames, SetUpConfigurationStartsOnTheRosetteSeam) {
  Camera camera;
  configureSceneCamera(camera, 30 * 10.0f);  // cameraSpeed 30
  const double s = camera.eye.step;
  EXPECT_NEAR(s, 0.0003, 1e-12);

  camera.computePositions();
  EXPECT_NEAR(camera.eye.position.x, 4.39999892, 1e-7);
  EXPECT_NEAR(camera.eye.position.y, 0.00216, 1e-7);
  EXPECT_NEAR(camera.eye.position.z, 0.000239, 1e-6);
  EXPECT_DOUBLE_EQ(camera.target.position.x, 2.8);
  EXPECT_DOUBLE_EQ(camera.target.position.y, 0.0);
  EXPECT_DOUBLE_EQ(camera.target.position.z, 0.0);

  camera.advanceAngles();
  camera.computePositions();
  EXPECT_EQ(camera.eye.angle, s);
  EXPECT_EQ(camera.target.angle, s);
}

TEST(CameraWrap, EachModeAtTheEdgesOfItsRange) {
  const double s = 0.25;
  struct Case {
    PathMode mode;
    PathRole role;
    double angle;
    double wrapped;
  };
  const Case cases[] = {
      {PathMode::Viviani, PathRole::Target, twoPi, s - twoPi},
      {PathMode::Viviani, PathRole::Target, -twoPi, s + twoPi},
      {PathMode::Viviani, PathRole::Target, std::nextafter(twoPi, 0.0), std::nextafter(twoPi, 0.0)},
      {PathMode::Viviani, PathRole::Target, std::nextafter(-twoPi, 0.0), std::nextafter(-twoPi, 0.0)},
      {PathMode::Viviani, PathRole::Eye, twoPi, s - twoPi},
      {PathMode::Viviani, PathRole::Eye, -twoPi, -twoPi},  // the eye has no lower wrap
      {PathMode::Viviani, PathRole::Eye, -100.0, -100.0},
      {PathMode::SphereWave, PathRole::Eye, fourPi, s},
      {PathMode::SphereWave, PathRole::Target, std::nextafter(fourPi, 0.0), std::nextafter(fourPi, 0.0)},
      {PathMode::SphereWave, PathRole::Eye, 0.0, s + fourPi},
      {PathMode::SphereWave, PathRole::Target, -1.0, s + fourPi},
      {PathMode::SphereWave, PathRole::Target, 1e-300, 1e-300},
      {PathMode::Rosette, PathRole::Eye, twoPi, s},
      {PathMode::Rosette, PathRole::Target, 0.0, s + twoPi},
      {PathMode::Rosette, PathRole::Eye, std::nextafter(twoPi, 0.0), std::nextafter(twoPi, 0.0)},
      {PathMode::Plain, PathRole::Target, 100.0, 100.0},
      {PathMode::Plain, PathRole::Eye, -100.0, -100.0},
      {static_cast<PathMode>(7), PathRole::Target, 100.0, 100.0},
  };
  for (const Case& c : cases) {
    CameraPath path;
    path.mode = c.mode;
    path.step = s;
    path.angle = c.angle;
    wrapPathAngle(path, c.role);
    EXPECT_EQ(path.angle, c.wrapped) << "mode " << int(c.mode) << " role " << int(c.role) << " angle " << c.angle;
  }
}

TEST(CameraWrap, StepOfZeroOrLessNeverWraps) {
  for (double step : {0.0, -0.5}) {
    for (int mode = 0; mode <= 3; ++mode) {
      for (double angle : {-100.0, 0.0, 100.0}) {
        Camera camera;
        camera.target = {static_cast<PathMode>(mode), 1.0, step, angle, {}};
        camera.eye = camera.target;
        for (int frame = 0; frame < 4; ++frame) {
          camera.computePositions();
          camera.advanceAngles();
        }
        EXPECT_EQ(camera.target.angle, angle + 4 * step) << mode;
        EXPECT_EQ(camera.eye.angle, angle + 4 * step) << mode;
      }
    }
  }
}

TEST(CameraWrap, VivianiTargetStartingAtMinusTwoPi) {
  Camera camera;
  configureSceneCamera(camera, 300.0f);
  camera.target.angle = pathStartAngle(PathMode::Viviani, 0);
  ASSERT_EQ(camera.target.angle, -twoPi);
  const double s = camera.target.step;
  camera.computePositions();
  EXPECT_EQ(camera.target.angle, s + twoPi);
  camera.advanceAngles();
  camera.computePositions();
  EXPECT_EQ(camera.target.angle, s - twoPi);
}

TEST(CameraCurves, PointsOfEachMode) {
  const CameraPoint wave = pathPosition(PathMode::SphereWave, PathRole::Eye, 0.0, 1.0);
  EXPECT_NEAR(wave.x, 0.38942, 1e-5);
  EXPECT_NEAR(wave.y, 0.0, 1e-12);
  EXPECT_NEAR(wave.z, 0.92106, 1e-5);

  const CameraPoint rosette = pathPosition(PathMode::Rosette, PathRole::Eye, halfPi, 1.0);
  EXPECT_NEAR(rosette.x, 0.0, 1e-12);
  EXPECT_NEAR(rosette.y, -4.0, 1e-12);
  EXPECT_NEAR(rosette.z, 2.82843, 1e-5);
  const CameraPoint smaller = pathPosition(PathMode::Rosette, PathRole::Target, halfPi, 0.5);
  EXPECT_NEAR(smaller.z, rosette.z * 0.5, 1e-12);

  const CameraPoint viviani = pathPosition(PathMode::Viviani, PathRole::Target, -halfPi * 2, 1.0);
  EXPECT_NEAR(viviani.x, 0.0, 1e-12);
  EXPECT_NEAR(viviani.z, -2.0, 1e-12);

  const CameraPoint circle = pathPosition(PathMode::Plain, PathRole::Target, halfPi, 2.0);
  EXPECT_NEAR(circle.x, 0.0, 1e-12);
  EXPECT_EQ(circle.y, 0.0);
  EXPECT_NEAR(circle.z, 2.0, 1e-12);
}

TEST(CameraCurves, PlainEyeStaysAtTheOriginWhileItsAngleGrows) {
  Camera camera;
  camera.eye.radius = 3.0;
  camera.eye.step = 0.5;
  for (int frame = 0; frame < 20; ++frame) {
    camera.computePositions();
    camera.advanceAngles();
    EXPECT_EQ(camera.eye.position.x, 0.0);
    EXPECT_EQ(camera.eye.position.y, 0.0);
    EXPECT_EQ(camera.eye.position.z, 0.0);
  }
  EXPECT_EQ(camera.eye.angle, 10.0);
  EXPECT_NE(camera.target.position.x, 0.0);  // a Plain target does move on its circle
}

TEST(CameraRandomize, TargetDrawsFirstAndEachModeSpansItsRange) {
  struct Case {
    PathMode target, eye;
    int firstDraw, secondDraw;
    double targetAngle, eyeAngle;
  };
  const Case cases[] = {
      {PathMode::Viviani, PathMode::Rosette, 0, SceneRandom::maxDraw, -twoPi, twoPi},
      {PathMode::SphereWave, PathMode::Viviani, SceneRandom::maxDraw, 0, fourPi, -twoPi},
      {PathMode::Rosette, PathMode::SphereWave, 0, SceneRandom::maxDraw, 0.0, fourPi},
      {PathMode::Plain, PathMode::Plain, SceneRandom::maxDraw, 0, twoPi, 0.0},
  };
  for (const Case& c : cases) {
    FixedSceneClock clock(seedForDraws(c.firstDraw, c.secondDraw));
    Camera camera;
    camera.target.mode = c.target;
    camera.eye.mode = c.eye;
    camera.eye.angle = 5.0;
    camera.randomize();
    EXPECT_EQ(camera.target.angle, c.targetAngle) << int(c.target);
    EXPECT_EQ(camera.eye.angle, c.eyeAngle) << int(c.eye);
  }

  // In between: draw n maps to n / 32767 of the range, target from the first draw.
  FixedSceneClock clock(1);  // draws 41, 18467
  Camera camera;
  camera.target.mode = PathMode::SphereWave;
  camera.eye.mode = PathMode::Viviani;
  camera.randomize();
  EXPECT_DOUBLE_EQ(camera.target.angle, 41 / 32767.0 * fourPi);
  EXPECT_DOUBLE_EQ(camera.eye.angle, 18467 / 32767.0 * fourPi - twoPi);
}
