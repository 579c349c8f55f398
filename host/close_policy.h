// The arithmetic of the closing policy, apart from the messages that feed it.
#pragma once

#include <cstdint>

// Mouse travel from the reference point, |dx| + |dy|, beyond the tolerated
// threshold. Travel adds up: the reference moves only when a close is asked.
bool cursorTravelExceeds(int32_t referenceX, int32_t referenceY, int32_t x, int32_t y, uint32_t threshold);

// Tick count that means "no password check yet".
constexpr uint32_t noPasswordCheck = 0xFFFFFFFFu;

// A password check ended less than 200 ms ago: a new close request is refused
// without asking, so a refused dialog is not reopened by the same key burst.
// Unsigned difference: correct across the wrap of the 32-bit tick count.
bool passwordCheckTooRecent(uint32_t now, uint32_t lastCheck);
