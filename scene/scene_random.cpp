// Linear congruential generator of the Windows C runtime's rand(); see
// scene_random.h for why the scene carries its own copy.
#include "scene/scene_random.h"

#include <ctime>

namespace {

std::int64_t calendarSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace

SceneClockSeconds sceneClockSeconds = calendarSeconds;

SceneRandom SceneRandom::fromClock() { return SceneRandom(static_cast<std::uint32_t>(sceneClockSeconds())); }

int SceneRandom::next() {
  // state = state * 214013 + 2531011 (mod 2^32); the draw is bits 16..30.
  // The low bits of such a generator cycle with short periods, hence the shift.
  state_ = state_ * 214013u + 2531011u;
  return static_cast<int>((state_ >> 16) & 0x7FFFu);
}
