#include "host/close_policy.h"

bool cursorTravelExceeds(int32_t referenceX, int32_t referenceY, int32_t x, int32_t y, uint32_t threshold) {
  // 64-bit so that no pair of screen coordinates can overflow the sum.
  const int64_t dx = static_cast<int64_t>(x) - referenceX;
  const int64_t dy = static_cast<int64_t>(y) - referenceY;
  const uint64_t travel = static_cast<uint64_t>(dx < 0 ? -dx : dx) + static_cast<uint64_t>(dy < 0 ? -dy : dy);
  return travel > threshold;
}

bool passwordCheckTooRecent(uint32_t now, uint32_t lastCheck) {
  return lastCheck != noPasswordCheck && now - lastCheck < 200u;
}
