#include "scene/frame_meter.h"

float FrameMeter::measure(const PerformanceCounter& counter) {
  ++framesSinceUpdate;  // the frame that starts the meter counts too
  if (counterFrequency == 0.0f) {
    counterFrequency = static_cast<float>(counter.frequency());
    lastUpdateStamp = counter.now();
    return framesPerSecond;
  }
  const int64_t now = counter.now();
  const float elapsed = static_cast<float>(now - lastUpdateStamp) / counterFrequency * 1000.0f;
  if (elapsed > 200.0f) {
    framesPerSecond = 1000.0f / (elapsed / static_cast<float>(framesSinceUpdate));
    framesSinceUpdate = 0;
    lastUpdateStamp = now;
  }
  return framesPerSecond;
}
