// The closing policy driven directly: DefScreenSaverProc on a plain window of
// this test, so every message and state can be tried without a saver process.
#include <gtest/gtest.h>
#include <windows.h>

#include "host/host.h"
#include "tests/support/win_test_support.h"

namespace {

TEST(ClosePolicy, InputActivationAndPowerEventsPostACloseUnlessPreviewingClosingOrChecking) {
  HWND window = tavrin_test::createTestWindow(DefWindowProcA, WS_POPUP, 10, 10, SW_HIDE);
  ASSERT_NE(window, nullptr);
  GetCursorPos(&hostState.lastCursor);
  const struct {
    UINT message;
    WPARAM wParam;
    bool closes;
  } cases[] = {
      // clang-format off
      {WM_KEYDOWN, 'A', true}, {WM_SYSKEYDOWN, VK_MENU, true}, {WM_KEYUP, 'A', false},
      {WM_LBUTTONDOWN, MK_LBUTTON, true}, {WM_RBUTTONDOWN, MK_RBUTTON, true}, {WM_MBUTTONDOWN, MK_MBUTTON, true},
      {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), false}, {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), false},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), false}, {WM_MOUSEHWHEEL, MAKEWPARAM(0, WHEEL_DELTA), false},
      {WM_ACTIVATEAPP, FALSE, true}, {WM_ACTIVATEAPP, TRUE, false},
      {WM_POWER, PWR_CRITICALRESUME, true}, {WM_POWER, PWR_SUSPENDREQUEST, false},
      {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, true}, {WM_POWERBROADCAST, 0x1234, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    for (BOOL* state :
         {static_cast<BOOL*>(nullptr), &hostState.previewing, &hostState.closing, &hostState.checkingPassword}) {
      if (state) *state = TRUE;
      DefScreenSaverProc(window, c.message, c.wParam, 0);
      MSG close;
      EXPECT_EQ(PeekMessageA(&close, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE, c.closes && !state)
          << std::hex << c.message << " " << c.wParam << (state ? " in a state that closes nothing" : "");
      if (state) *state = FALSE;
    }
  }
  DestroyWindow(window);
}

}  // namespace
