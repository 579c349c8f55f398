// Pseudo-random numbers for the scene: the camera's start angles and the star
// positions. Both draw integers 0..32767 and divide by 32767, reseeding from
// the calendar time in whole seconds each time they start.
//
// The generator is our own so that the figures do not depend on the C
// library's RAND_MAX: it is the classic linear congruential generator of the
// Windows C runtime's rand(), so a given seed yields the same sequence in the
// MinGW build, the native build and the tests.
//
// Not here: any global generator state. Every user seeds its own generator
// from the clock; as every use reseeds anyway, this draws exactly what one
// shared, reseeded generator would.
#pragma once

#include <cstdint>

// The clock the generators are seeded from: calendar time in whole seconds.
// Tests replace it to fix the seed; it defaults to std::time.
using SceneClockSeconds = std::int64_t (*)();
extern SceneClockSeconds sceneClockSeconds;

class SceneRandom {
 public:
  static constexpr int maxDraw = 32767;

  explicit SceneRandom(std::uint32_t seed) : state_(seed) {}

  // Seeded with sceneClockSeconds(), truncated to 32 bits like srand(time(0)).
  static SceneRandom fromClock();

  // The next integer in 0..maxDraw.
  int next();

  // The next draw divided by maxDraw: 0.0 and 1.0 are both reachable exactly.
  double nextUnit() { return next() / static_cast<double>(maxDraw); }

 private:
  std::uint32_t state_;
};
