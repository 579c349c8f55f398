#include "host/close_policy.h"

#include <cstdlib>

namespace {

CloseAnswer answerCloseRequest(const CloseState& state) {
  if (state.starting) return CloseAnswer::Defer;
  if (state.closing) return CloseAnswer::Nothing;  // already ending
  if (state.previewing || !state.legacyPlatform) return CloseAnswer::Close;
  if (state.checkingPassword) return CloseAnswer::Refuse;  // a nested close while the dialog is up
  if (!state.passwordInForce) return CloseAnswer::Close;
  // A check that ended less than 200 ms ago: the same key burst must not
  // reopen a refused dialog. Unsigned: right across the tick count's wrap.
  const bool tooSoon = state.lastPasswordCheck != noPasswordCheck && state.now - state.lastPasswordCheck < 200u;
  return tooSoon ? CloseAnswer::Refuse : CloseAnswer::Ask;
}

}  // namespace

CloseAnswer closeAnswer(SaverEvent event, const CloseState& state, uint32_t travel) {
  switch (event) {
    case SaverEvent::CloseRequest: return answerCloseRequest(state);
    case SaverEvent::AutoPlay: return CloseAnswer::Request;  // in every state, as the system expects
    case SaverEvent::MouseMove:
      if (travel <= moveThreshold) return CloseAnswer::Nothing;
      break;
    default: break;
  }
  // Input during a password check is the dialog's; the preview ends with its parent.
  if (state.previewing || state.closing || state.checkingPassword) return CloseAnswer::Nothing;
  return CloseAnswer::Request;
}

uint32_t cursorTravel(int32_t referenceX, int32_t referenceY, int32_t x, int32_t y) {
  const int64_t travel = std::llabs(int64_t{x} - referenceX) + std::llabs(int64_t{y} - referenceY);
  return travel > int64_t{UINT32_MAX} ? UINT32_MAX : uint32_t(travel);
}
