// The real saver's frames as tavrin_scene_probe.scr writes them, full screen (1024 x 768) and
// in a preview. With the camera still the lunar sphere stands in the middle, about 190 pixels in
// radius, lit on the left; at frame 500 the Earth, about 32 in radius, stands at (840, 372).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "scene/overlay.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

constexpr int screenW = 1024, screenH = 768;
const RECT litSide = {360, 320, 480, 450}, nightSide = {560, 320, 660, 450}, earthBox = {790, 330, 900, 420};
const RECT skyLeft = {20, 80, 300, 690}, skyRight = {720, 430, 1004, 690};  // clear of the spheres and texts
const auto* const glyphs = static_cast<const std::uint8_t*>(
    LockResource(LoadResource(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(106), "DATAPACK"))));

struct AreaStats {
  double mean = 0, deviation = 0, redMinusBlue = 0;
  int maximum = 0, lit = 0, bright = 0;  // pixels with a channel above 15, with luma from 60
};

AreaStats areaStats(const Screenshot& s, const RECT& r) {
  AreaStats a;
  double squares = 0;
  const double count = (r.right - r.left) * (r.bottom - r.top);
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const int luma = (s.red(x, y) * 3 + s.green(x, y) * 6 + s.blue(x, y)) / 10,
                top = std::max({s.red(x, y), s.green(x, y), s.blue(x, y)});
      a.mean += luma / count;
      squares += luma * luma / count;
      a.redMinusBlue += (s.red(x, y) - s.blue(x, y)) / count;
      a.maximum = std::max(a.maximum, top);
      a.lit += top > 15;
      a.bright += luma >= 60;
    }
  }
  a.deviation = std::sqrt(std::max(0.0, squares - a.mean * a.mean));
  return a;
}

// What the overlay's prints make of the glyph atlas on black (RGB 0..1, rows top-down): each
// print darkens what is there by the glyph's luminance L, then adds L x colour.
struct ExpectedText {
  int width, height;
  std::vector<float> rgb = std::vector<float>(std::size_t(width) * height * 3);

  // One item at GL positions (from the lower-left corner): the shadow, then the coloured copy.
  void item(const char* text, int shadowX, int shadowY, int colorX, int colorY, TextColor color) {
    for (const auto& [x, y, c] : {std::tuple{shadowX, shadowY, shadowColor}, std::tuple{colorX, colorY, color}}) {
      for (int k = 0; text[k] != '\0'; ++k) {
        const int glyph = static_cast<unsigned char>(text[k]) - 32;  // glyph set 0
        for (int j = 0; j < 16; ++j) {
          for (int i = 0; i < 16; ++i) {
            const int px = x + 16 * k + i, py = height - 1 - (y + j);
            if (px < 0 || py < 0 || px >= width || py >= height) continue;
            const float l = glyphs[(256 - (glyph / 16 + 1) * 16 + j) * 256 + glyph % 16 * 16 + i] / 255.0f;
            float* d = &rgb[(std::size_t(py) * width + px) * 3];
            const float shade[3] = {c.red, c.green, c.blue};
            for (int ch = 0; ch < 3; ++ch) d[ch] = l * shade[ch] + d[ch] * (1.0f - l) * (1.0f - l * shade[ch]);
          }
        }
      }
    }
  }
  // Share of the box's pixels within 8 of the expected picture.
  double match(const Screenshot& s, const RECT& box) const {
    int good = 0;
    for (int y = box.top; y < box.bottom; ++y) {
      for (int x = box.left; x < box.right; ++x) {
        const float* e = &rgb[(std::size_t(y) * width + x) * 3];
        good += std::max({std::abs(s.red(x, y) - e[0] * 255), std::abs(s.green(x, y) - e[1] * 255),
                          std::abs(s.blue(x, y) - e[2] * 255)}) <= 8;
      }
    }
    return good / double((box.right - box.left) * (box.bottom - box.top));
  }
};

// Runs tavrin_scene_probe.scr with a still camera until it has written frame `number` (see
// scene_probe_win.cpp), and reads it. Kept as `name`.bmp to look at.
bool probeFrame(const std::string& arguments, DWORD showStars, DWORD showEarth, int number, const std::string& name,
                Screenshot& out, SYSTEMTIME& time) {
  writeDefaultSettings();
  writeSetting("Random Camera", 0);
  writeSetting("Camera Speed", 1);
  writeSetting("Show Stars", showStars);
  writeSetting("Show Earth", showEarth);
  const std::string path = siblingPath((name + ".frame").c_str());
  DeleteFileA(path.c_str());
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP", path.c_str());
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", std::to_string(number).c_str());
  ChildProcess probe;
  if (!probe.start(arguments, siblingPath("tavrin_scene_probe.scr")) ||
      !waitUntil([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 90000)) {
    return false;
  }
  probe.kill();
  FILE* in = std::fopen(path.c_str(), "rb");
  bool good = in && std::fread(&out.width, sizeof(int), 1, in) && std::fread(&out.height, sizeof(int), 1, in) &&
              std::fread(&time, sizeof time, 1, in) && out.width > 0 && out.height > 0 &&
              out.width * out.height < 1 << 24;
  const std::size_t row = std::size_t(out.width) * 3;
  out.bgr.resize(good ? row * out.height : 0);
  for (int y = out.height - 1; good && y >= 0; --y) good = std::fread(&out.bgr[y * row], 1, row, in) == row;
  if (in) std::fclose(in);
  return good && out.saveBmp(siblingPath((name + ".bmp").c_str()));
}

// Frame 500 with stars and the Earth, then without either.
TEST(SaverPicture, MoonStarsEarthAndTheOverlayAndWithoutStarsOrEarthNoneOfThem) {
  Screenshot all, none;
  SYSTEMTIME t = {};
  ASSERT_TRUE(probeFrame("/s", 1, 1, 500, "scene-full", all, t));
  ASSERT_TRUE(probeFrame("/s", 0, 0, 500, "scene-bare", none, t));
  ASSERT_TRUE(all.width == screenW && all.height == screenH && none.width == screenW && none.height == screenH)
      << "frames of " << all.width << " x " << all.height << " on a display that is not 1024 x 768";
  // A grey surface with detail, lit on the left; faint starlight on the right.
  const AreaStats lit = areaStats(all, litSide), night = areaStats(all, nightSide);
  EXPECT_GT(lit.mean, 40.0);
  EXPECT_GT(lit.deviation, 6.0) << "a flat surface: no texture";
  EXPECT_LT(std::abs(lit.redMinusBlue), 25.0) << "not grey";
  EXPECT_GT(night.mean, 0.3) << "the night side gets starlight";
  EXPECT_LT(night.maximum, 30);
  EXPECT_GT(areaStats(all, skyLeft).bright, 30) << "no star points";
  const AreaStats earth = areaStats(all, earthBox);
  EXPECT_GT(earth.lit, 1000) << "no Earth";  // a disc of about 3200 pixels, two thirds lit
  EXPECT_LT(earth.redMinusBlue, 0.0) << "no blue oceans";

  // The same view, but no stars, a pure black night side, nothing where the Earth stood.
  EXPECT_GT(areaStats(none, litSide).mean, 40.0);
  EXPECT_EQ(areaStats(none, skyLeft).maximum + areaStats(none, skyRight).maximum, 0) << "stars";
  EXPECT_EQ(areaStats(none, nightSide).maximum, 0) << "the night side is not pure black";
  EXPECT_EQ(areaStats(none, earthBox).maximum, 0) << "an Earth after all";

  // "FPS:" (its value unknown), the clock and the banner (frame 500: at 1123 - 499) in place.
  const int w = screenW, h = screenH, d = weekdayOffset(t.wDayOfWeek), x = 624;
  char time[16], date[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d:%03d", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  std::snprintf(date, sizeof date, "%02d.%02d.%d", t.wDay, t.wMonth, t.wYear);
  ExpectedText overlay{w, h};
  overlay.item("FPS:", 11, h - 25, 10, h - 26, titleBlue);
  overlay.item(time, w - 204, h - 25, w - 203, h - 26, textGrey);
  overlay.item(date, w - 171, h - 57, w - 170, h - 58, textGrey);
  overlay.item(weekdayName(t.wDayOfWeek), w - d, h - 41, w - d + 1, h - 42, titleBlue);
  overlay.item("ORVANE - TAVRIN", x + 1, 29, x, 30, titleBlue);
  overlay.item(creditLine, x + 1, 9, x, 10, textGrey);
  EXPECT_GT(overlay.match(none, {0, 0, 80, 62}), 0.998);
  EXPECT_GT(overlay.match(none, {w - 220, 0, w, 62}), 0.998);
  EXPECT_GT(overlay.match(none, {0, h - 62, w, h}), 0.998);
}

// The preview in a window standing in for the control panel's, wide enough to keep the moon clear.
TEST(PreviewPicture, LogoWithoutFrameRateOrClock) {
  constexpr int width = 800, height = 200;
  HWND parent = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, width,
                                height, nullptr, nullptr, nullptr, nullptr);
  Screenshot s;
  SYSTEMTIME ignored;
  ASSERT_TRUE(probeFrame("/p " + std::to_string(uintptr_t(parent)), 0, 1, 60, "scene-preview", s, ignored));
  ASSERT_TRUE(s.width == width && s.height == height);
  ExpectedText logo{width, height};
  for (const LogoLetter& letter : logoLetters) {
    const char text[2] = {letter.letter, '\0'};
    logo.item(text, letter.shadowX, height - 20, letter.colorX, height - 19, titleBlue);
  }
  logo.item("TAVRIN", 7, 4, 6, 5, textGrey);
  EXPECT_GT(logo.match(s, {0, 0, 170, 45}), 0.998);
  EXPECT_GT(logo.match(s, {0, height - 40, 170, height}), 0.998);
  EXPECT_EQ(areaStats(s, {width - 210, 0, width, 70}).maximum, 0) << "where the clock would stand";
  EXPECT_GT(areaStats(s, {width / 2 - 30, height / 2 - 10, width / 2 - 10, height / 2 + 10}).mean, 20.0)
      << "the lightened scene: the lunar disc, lit on the left";
}

}  // namespace
