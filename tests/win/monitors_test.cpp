// Two 1024x768 monitors side by side (tools/wine-run-xorg.sh runs one order per Xorg display): the real saver's window
// over the whole virtual screen with the scene and the overlay across both, and a preview.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "tools/harness/harness_win.h"

using namespace harness;

namespace {

struct Layout {
  RECT second;         // the first monitor is the primary one, at 0,0-1024,768
  RECT virtualScreen;  // both monitors
};

class TwoMonitors : public ::testing::TestWithParam<Layout> {};

// Pixels of `box` (shot coordinates, rows top-down) that `kind` accepts by red, green and blue.
template <typename Kind>
int count(const Screenshot& s, const RECT& box, Kind kind) {
  int n = 0;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) n += kind(s.red(x, y), s.green(x, y), s.blue(x, y));
  return n;
}
const auto bright = [](int r, int g, int b) { return r * 3 + g * 6 + b >= 600; };  // stars (white), moon, texts
const auto titleBlue = [](int r, int g, int b) { return b >= 120 && b - r >= 50 && b - g >= 50; };  // 128,128,230
const auto textGrey = [](int r, int g, int b) { return std::min({r, g, b}) >= 150 && std::max({r, g, b}) < 230; };

TEST_P(TwoMonitors, SaverCoversTheVirtualScreenAndDrawsAcrossBothAndAPreviewKeepsItsParentsSize) {
  const RECT all = GetParam().virtualScreen;
  // A still camera keeps the moon in the middle, where the monitors meet, clear of the texts and of the sky boxes.
  writeDefaultSettings({{"Texture Quality", 0}, {"Random Camera", 0}, {"Camera Speed", 1}});
  ChildProcess saver;
  ASSERT_TRUE(saver.start("/s"));
  HWND window = waitForSaverWindow(saver.id(), 20000);
  ASSERT_NE(window, nullptr);
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect, all) << "saver window";

  // The shot's pixels are the window's when it covers the virtual screen. The banner's title (rows 722 to 738) enters
  // from the right edge a pixel a frame; "FPS:" and the clock stand in rows 10 to 25, 10 pixels in from the edges.
  Screenshot shot;
  waitUntil([&] { return count(shot = captureScreen(all), {0, 720, 2048, 740}, titleBlue) > 20; }, 60000);
  shot.saveBmp(siblingPath(all.left < 0 ? "two-monitors-left.bmp" : "two-monitors-right.bmp"));
  EXPECT_GT(count(shot, {20, 80, 800, 690}, bright), 30) << "no stars on the left monitor";
  EXPECT_GT(count(shot, {1250, 80, 2028, 690}, bright), 30) << "no stars on the right monitor";
  EXPECT_GT(count(shot, {0, 5, 100, 30}, titleBlue), 30) << "no \"FPS:\" at the top-left corner";
  EXPECT_GT(count(shot, {1835, 5, 2048, 30}, textGrey), 100) << "no clock at the top-right corner";
  EXPECT_GT(count(shot, {1024, 720, 2048, 740}, titleBlue), 20) << "no banner entering from the right edge";
  EXPECT_EQ(saver.endWithKey(window), 0);

  // A preview on the second monitor keeps its parent's client size.
  HWND parent = createTestWindow(DefWindowProcA, WS_POPUP, 320, 240, SW_SHOWNOACTIVATE);  // no frame: client 320x240
  SetWindowPos(parent, nullptr, GetParam().second.left + 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ChildProcess preview;
  ASSERT_TRUE(preview.start("/p " + std::to_string(reinterpret_cast<uintptr_t>(parent))));
  HWND child = nullptr;
  const auto shown = [&] {
    return IsWindowVisible(child = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", "Preview"));
  };
  ASSERT_TRUE(waitUntil(shown, 20000));
  RECT client = {};
  GetClientRect(child, &client);
  EXPECT_EQ(client, (RECT{0, 0, 320, 240}));
  DestroyWindow(parent);
  EXPECT_EQ(preview.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(SecondOnTheRight, TwoMonitors,
                         ::testing::Values(Layout{{1024, 0, 2048, 768}, {0, 0, 2048, 768}}));
INSTANTIATE_TEST_SUITE_P(SecondOnTheLeft, TwoMonitors,
                         ::testing::Values(Layout{{-1024, 0, 0, 768}, {-1024, 0, 1024, 768}}));

}  // namespace
