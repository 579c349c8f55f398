// The full-screen window on several screens: tools/several-screens-test.sh runs this on two X screens and on one wide.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/win_test_support.h"

using namespace tavrin_test;

TEST(SeveralMonitors, TheSaverCoversTheWholeVirtualScreenAndDrawsAcrossIt) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT virtualScreen = {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                              top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  writeDefaultSettings({{"Texture Quality", 0}});
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
  EXPECT_TRUE(EqualRect(&clip, &virtualScreen)) << GetSystemMetrics(SM_CMONITORS) << " monitors";

  // Stars and the moon on both halves of the desktop.
  Sleep(3000);
  const Screenshot shot = captureScreen(clip);
  shot.saveBmp(siblingPath("several-screens.bmp"));
  int bright[2] = {};
  for (size_t i = 0; i < shot.bgr.size(); i += 3)
    bright[i / 3 % shot.width >= size_t(shot.width / 2)] += shot.bgr[i] + shot.bgr[i + 1] + shot.bgr[i + 2] > 150;
  EXPECT_TRUE(bright[0] > 50 && bright[1] > 50) << bright[0] << " bright pixels on the left, " << bright[1] << " right";
  EXPECT_EQ(saver.endWithKey(window), 0);
}
