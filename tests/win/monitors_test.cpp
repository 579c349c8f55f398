// The full-screen window on several screens: tools/several-screens-test.sh runs it on an X display of two
// screens (Wine then reports two monitors) and on one wide screen.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/win_test_support.h"

using namespace tavrin_test;

TEST(SeveralMonitors, TheSaverCoversTheWholeVirtualScreenAndDrawsAcrossIt) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT virtualScreen = {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                              top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  std::printf("monitors: %d, virtual screen %ld,%ld-%ld,%ld\n", GetSystemMetrics(SM_CMONITORS), virtualScreen.left,
              virtualScreen.top, virtualScreen.right, virtualScreen.bottom);
  writeDefaultSettings();
  writeSetting("Texture Quality", 0);
  ChildProcess saver;
  ASSERT_TRUE(saver.start("/s"));
  HWND window = waitForSaverWindow(saver.id(), 20000);
  ASSERT_NE(window, nullptr);
  RECT clip = {}, rect = {};
  HDC screen = GetDC(nullptr);
  GetClipBox(screen, &clip);
  ReleaseDC(nullptr, screen);
  GetWindowRect(window, &rect);
  EXPECT_TRUE(EqualRect(&rect, &clip)) << rect.left << "," << rect.top << "-" << rect.right << "," << rect.bottom;
  EXPECT_TRUE(EqualRect(&clip, &virtualScreen));

  // Stars and the moon on both halves of the desktop.
  Sleep(3000);
  const Screenshot shot = captureScreen(&clip);
  shot.saveBmp(siblingPath("several-screens.bmp"));
  int bright[2] = {};
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x)
      bright[x >= shot.width / 2] += shot.red(x, y) + shot.green(x, y) + shot.blue(x, y) > 150;
  }
  EXPECT_GT(bright[0], 50) << "left half dark";
  EXPECT_GT(bright[1], 50) << "right half dark";
  EXPECT_EQ(saver.endWithKey(window), 0);
}
