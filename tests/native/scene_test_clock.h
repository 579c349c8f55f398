// Fixes the scene generators' seed for one test: replaces the clock they are
// seeded from and puts the real one back afterwards.
#pragma once

#include <cstdint>

#include "scene/scene_random.h"

class FixedSceneClock {
 public:
  explicit FixedSceneClock(std::int64_t seconds) : saved_(sceneClockSeconds) {
    fixedSeconds() = seconds;
    sceneClockSeconds = [] { return fixedSeconds(); };
  }
  ~FixedSceneClock() { sceneClockSeconds = saved_; }
  FixedSceneClock(const FixedSceneClock&) = delete;
  FixedSceneClock& operator=(const FixedSceneClock&) = delete;

 private:
  static std::int64_t& fixedSeconds() {
    static std::int64_t seconds = 0;
    return seconds;
  }
  SceneClockSeconds saved_;
};
