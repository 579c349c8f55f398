// The closing policy, driven directly: DefScreenSaverProc and SaverWindowProc
// on a plain window of this test, so every message and flag combination can
// be tried without a saver process.
#include <gtest/gtest.h>
#include <windows.h>

#include "host/host.h"

namespace {

class ClosePolicy : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TavrinPolicyTest";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "TavrinPolicyTest", "policy", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    hostState.previewing = FALSE;
    hostState.closing = FALSE;
    hostState.checkingPassword = FALSE;
    hostState.legacyPlatform = FALSE;
    hostState.autoPlayMessage = 0;
    hostState.verifyPwd = nullptr;
    GetCursorPos(&hostState.lastCursor);
    drainCloses();
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
  }
  void drainCloses() {
    MSG message;
    while (PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    }
  }
  // Whether handling `message` posted a close request, which is then taken.
  bool postsClose(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DefScreenSaverProc(window, message, wParam, lParam);
    MSG posted;
    const bool found = PeekMessageA(&posted, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
    drainCloses();
    return found;
  }
  HWND window = nullptr;
};

TEST_F(ClosePolicy, InputActivationAndPowerEventsPostAClose) {
  EXPECT_TRUE(postsClose(WM_KEYDOWN, 'A'));
  EXPECT_TRUE(postsClose(WM_SYSKEYDOWN, VK_MENU));
  EXPECT_TRUE(postsClose(WM_LBUTTONDOWN));
  EXPECT_TRUE(postsClose(WM_RBUTTONDOWN));
  EXPECT_TRUE(postsClose(WM_MBUTTONDOWN));
  EXPECT_TRUE(postsClose(WM_ACTIVATEAPP, FALSE));
  EXPECT_FALSE(postsClose(WM_ACTIVATEAPP, TRUE));
  EXPECT_TRUE(postsClose(WM_POWER, 3));  // PWR_CRITICALRESUME
  EXPECT_FALSE(postsClose(WM_POWER, 1));
  EXPECT_TRUE(postsClose(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC));
  EXPECT_TRUE(postsClose(WM_POWERBROADCAST, 0x1234));
  EXPECT_FALSE(postsClose(WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1)));
  EXPECT_FALSE(postsClose(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)));
  EXPECT_FALSE(postsClose(WM_KEYUP, 'A'));
}

TEST_F(ClosePolicy, NothingClosesInThePreviewWhileClosingOrDuringACheck) {
  for (int state = 0; state < 3; ++state) {
    hostState.previewing = state == 0;
    hostState.closing = state == 1;
    hostState.checkingPassword = state == 2;
    EXPECT_FALSE(postsClose(WM_KEYDOWN, 'A')) << state;
    EXPECT_FALSE(postsClose(WM_LBUTTONDOWN)) << state;
    EXPECT_FALSE(postsClose(WM_ACTIVATEAPP, FALSE)) << state;
    EXPECT_FALSE(postsClose(WM_POWERBROADCAST, 0)) << state;
  }
}

TEST_F(ClosePolicy, MouseTravelIsReadFromThePointerNotTheMessage) {
  POINT start = hostState.lastCursor;
  // The message's own coordinates claim a long way; the pointer has not moved.
  EXPECT_FALSE(postsClose(WM_MOUSEMOVE, 0, MAKELPARAM(start.x + 300, start.y + 300)));
  SetCursorPos(start.x + 2, start.y + 2);
  EXPECT_FALSE(postsClose(WM_MOUSEMOVE));
  EXPECT_EQ(hostState.lastCursor.x, start.x) << "no close, no new reference";
  SetCursorPos(start.x + 3, start.y + 2);
  EXPECT_TRUE(postsClose(WM_MOUSEMOVE));
  EXPECT_EQ(hostState.lastCursor.x, start.x + 3) << "a close takes the reference anew";
  EXPECT_FALSE(postsClose(WM_MOUSEMOVE));
  SetCursorPos(start.x, start.y);
}

TEST_F(ClosePolicy, TheCursorRequestIsAnsweredWithoutTheDefault) {
  EXPECT_EQ(
      DefScreenSaverProc(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
      TRUE);
}

TEST_F(ClosePolicy, OnTheNewerFamilyCloseAndPasswordRequestGoToTheDefault) {
  EXPECT_EQ(DefScreenSaverProc(window, WM_APP, 0, 0), 0);
  EXPECT_EQ(hostState.closing, FALSE) << "no password scheme on the newer family";
  DefScreenSaverProc(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window)) << "the default handling of WM_CLOSE destroys the window";
}

TEST_F(ClosePolicy, ConfirmCloseWithoutAPasswordAcceptsOnce) {
  EXPECT_TRUE(ConfirmClose(window));
  EXPECT_TRUE(hostState.closing);
  EXPECT_FALSE(ConfirmClose(window)) << "already closing";
}

TEST_F(ClosePolicy, WhileClosingTicksAreDroppedAndInputGoesToTheDefault) {
  hostState.closing = TRUE;
  EXPECT_EQ(SaverWindowProc(window, WM_TIMER, 1, 0), 0);
  EXPECT_FALSE(postsClose(WM_KEYDOWN));
  // The title never changes.
  EXPECT_EQ(SaverWindowProc(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x")), 0);
}

}  // namespace
