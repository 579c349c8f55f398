// The frames-per-second meter shown in the overlay.
//
// Plain arithmetic over a performance counter that is read through two
// function pointers, so it runs (and is tested) without a clock of its own.
// The rate is recomputed at most about five times a second: once the counter
// has moved more than 200 ms since the last update, over all frames since.
#pragma once

#include <cstdint>

struct PerformanceCounter {
  int64_t (*frequency)();  // ticks per second; 0 when the system has no counter
  int64_t (*now)();
};

struct FrameMeter {
  float counterFrequency = 0.0f;  // 0: the meter has not started
  // The counter value of the last update, kept whole: a float stamp would lose
  // the low bits of a counter that has run for days (near 10^12 a float steps
  // by 65,536 ticks) and the shown rate would drift by several percent.
  int64_t lastUpdateStamp = 0;
  int32_t framesSinceUpdate = 0;
  float framesPerSecond = 0.0f;

  // Counts one frame and returns the current rate. Called once per frame.
  float measure(const PerformanceCounter& counter);
};
