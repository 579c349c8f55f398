// The full-screen window on a desktop of several screens: run by
// tools/several-screens-test.sh on an X display of two screens (Wine then
// reports two monitors) and on one wide screen.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

int brightPixels(const Screenshot& shot, int left, int right) {
  int count = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = left; x < right; ++x) {
      if (shot.red(x, y) + shot.green(x, y) + shot.blue(x, y) > 150) ++count;
    }
  }
  return count;
}

TEST(SeveralMonitors, TheSaverCoversTheWholeVirtualScreenAndDrawsAcrossIt) {
  const RECT virtualScreen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  std::printf("monitors: %d, virtual screen %ld,%ld-%ld,%ld\n", GetSystemMetrics(SM_CMONITORS), virtualScreen.left,
              virtualScreen.top, virtualScreen.right, virtualScreen.bottom);
  writeDefaultSettings();
  writeSetting("Texture Quality", 0);
  ChildProcess saver;
  ASSERT_TRUE(saver.start("/s"));
  HWND window = waitForSaverWindow(saver.id(), 20000);
  ASSERT_NE(window, nullptr);

  RECT clip = {};
  HDC screen = GetDC(nullptr);
  GetClipBox(screen, &clip);
  ReleaseDC(nullptr, screen);
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_TRUE(EqualRect(&rect, &clip)) << rect.left << "," << rect.top << "-" << rect.right << "," << rect.bottom;
  EXPECT_TRUE(EqualRect(&clip, &virtualScreen));

  // Stars and the moon on both halves of the desktop.
  Sleep(3000);
  const Screenshot shot = captureScreen(&clip);
  shot.saveBmp(siblingPath("several-screens.bmp"));
  const int half = shot.width / 2;
  EXPECT_GT(brightPixels(shot, 0, half), 50) << "left half dark";
  EXPECT_GT(brightPixels(shot, half, shot.width), 50) << "right half dark";
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  DWORD code = 1234;
  EXPECT_TRUE(saver.waitForExit(10000, &code));
  EXPECT_EQ(code, 0u);
}

}  // namespace
