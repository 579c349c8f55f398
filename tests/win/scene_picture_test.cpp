// The real saver's picture: the full-screen scene at 1024 x 768 read back
// from the screen, and frames that tavrin_scene_probe.scr (the saver with a
// frame dump, see scene_probe_win.cpp) writes out: the preview, whose GL
// child window Wine does not show on the test display, and the Earth at a
// known frame.
//
// The camera is held still (Random Camera off, Camera Speed 1: a thousand
// frames move it by a hundredth of a radian), so the lunar sphere stands in
// the middle of the screen, about 190 pixels in radius, its +z side lit and
// seen on the left. Texts are compared with the picture the font should make
// from the glyph atlas: on a black background a glyph pixel of atlas
// luminance L shows L x colour, after the shadow copy darkened what was there.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "scene/overlay.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

constexpr int screenW = 1024;
constexpr int screenH = 768;
constexpr int moonX = 512, moonY = 384;  // centre of the lunar disc, screen rows top-down
constexpr int moonRadius = 191;

const std::uint8_t* glyphAtlas() {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(106), "DATAPACK");
  HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
  return loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
}

int luma(const Screenshot& s, int x, int y) {
  return (s.red(x, y) * 3 + s.green(x, y) * 6 + s.blue(x, y)) / 10;
}

int brightest(const Screenshot& s, int x, int y) {
  return std::max({s.red(x, y), s.green(x, y), s.blue(x, y)});
}

// What the font draws over a black area: every print is a mask pass and a
// colour pass, shadows first. Positions are GL's, from the lower-left corner.
class ExpectedText {
 public:
  ExpectedText(const RECT& box, int height) : box_(box), height_(height) {
    rgb_.assign(static_cast<std::size_t>(width()) * rows() * 3, 0.0f);
  }
  // One overlay item: the black shadow, then the coloured copy.
  void item(const char* text, int shadowX, int shadowY, int colorX, int colorY, TextColor color) {
    print(text, shadowX, shadowY, shadowColor);
    print(text, colorX, colorY, color);
  }
  // Share of the box's pixels within `tolerance` of the expected picture.
  double match(const Screenshot& s, int originX, int originY, int tolerance = 12) const {
    int good = 0;
    for (int y = 0; y < rows(); ++y) {
      for (int x = 0; x < width(); ++x) {
        const float* e = pixel(x, y);
        const int sx = originX + box_.left + x, sy = originY + box_.top + y;
        const int actual[3] = {s.red(sx, sy), s.green(sx, sy), s.blue(sx, sy)};
        bool close = true;
        for (int c = 0; c < 3; ++c) close = close && std::abs(actual[c] - e[c] * 255.0f) <= tolerance;
        good += close;
      }
    }
    return static_cast<double>(good) / (width() * rows());
  }

 private:
  int width() const { return box_.right - box_.left; }
  int rows() const { return box_.bottom - box_.top; }
  float* pixel(int x, int y) { return &rgb_[(static_cast<std::size_t>(y) * width() + x) * 3]; }
  const float* pixel(int x, int y) const { return &rgb_[(static_cast<std::size_t>(y) * width() + x) * 3]; }

  void print(const char* text, int x, int y, TextColor color) {
    const float c[3] = {color.red, color.green, color.blue};
    for (int k = 0; text[k] != '\0'; ++k) {
      const int g = static_cast<unsigned char>(text[k]) - 32;  // glyph set 0
      const int column = (g % 16) * 16, bottomRow = 256 - (g / 16 + 1) * 16;
      for (int j = 0; j < 16; ++j) {
        for (int i = 0; i < 16; ++i) {
          const int bx = x + 16 * k + i - box_.left;
          const int by = height_ - 1 - (y + j) - box_.top;
          if (bx < 0 || by < 0 || bx >= width() || by >= rows()) continue;
          const float l = atlas_[(bottomRow + j) * 256 + column + i] / 255.0f;
          float* d = pixel(bx, by);
          for (int ch = 0; ch < 3; ++ch) {
            d[ch] *= 1.0f - l;                               // mask pass
            d[ch] = l * c[ch] + d[ch] * (1.0f - l * c[ch]);  // colour pass
          }
        }
      }
    }
  }

  RECT box_;
  int height_;
  const std::uint8_t* atlas_ = glyphAtlas();
  std::vector<float> rgb_;
};

// Bright pixels whose ring of pixels four away is dark: stars, not the lunar
// surface, the Earth or text. The top and bottom bands (overlay) are skipped.
int isolatedPoints(const Screenshot& s) {
  int points = 0;
  for (int y = 70; y < screenH - 70; ++y) {
    for (int x = 4; x < screenW - 4; ++x) {
      if (luma(s, x, y) < 60) continue;
      bool dark = true;
      for (int d = -4; d <= 4 && dark; ++d) {
        dark = luma(s, x + d, y - 4) < 20 && luma(s, x + d, y + 4) < 20 && luma(s, x - 4, y + d) < 20 &&
               luma(s, x + 4, y + d) < 20;
      }
      points += dark;
    }
  }
  return points;
}

struct AreaStats {
  double mean = 0.0;
  double deviation = 0.0;
  int maximum = 0;
  double redMinusBlue = 0.0;
};

AreaStats areaStats(const Screenshot& s, int left, int top, int right, int bottom) {
  AreaStats stats;
  double sum = 0.0, squares = 0.0, tint = 0.0;
  const int count = (right - left) * (bottom - top);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const int l = luma(s, x, y);
      sum += l;
      squares += static_cast<double>(l) * l;
      tint += s.red(x, y) - s.blue(x, y);
      stats.maximum = std::max(stats.maximum, brightest(s, x, y));
    }
  }
  stats.mean = sum / count;
  stats.deviation = std::sqrt(std::max(0.0, squares / count - stats.mean * stats.mean));
  stats.redMinusBlue = tint / count;
  return stats;
}

// The leftmost pixel of the banner title's colour in its rows, or -1.
int bannerLeftEdge(const Screenshot& s) {
  for (int x = 0; x < screenW; ++x) {
    for (int y = screenH - 46; y < screenH - 30; ++y) {
      if (s.blue(x, y) > 150 && s.blue(x, y) > s.red(x, y) + 60) return x;
    }
  }
  return -1;
}

void useStillCamera() {
  writeDefaultSettings();
  writeSetting("Random Camera", 0);
  writeSetting("Camera Speed", 1);
}

// A 24-bit bottom-up BMP as written by the probe, as a top-down Screenshot.
bool loadBmp(const std::string& path, Screenshot& out) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  bool good = std::fread(&file, sizeof file, 1, in) == 1 && std::fread(&info, sizeof info, 1, in) == 1 &&
              file.bfType == 0x4D42 && info.biBitCount == 24 && info.biWidth > 0 && info.biHeight > 0;
  if (good) {
    out.width = info.biWidth;
    out.height = info.biHeight;
    out.bgr.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    std::vector<std::uint8_t> row((out.width * 3 + 3) / 4 * 4);
    for (int y = out.height - 1; good && y >= 0; --y) {
      good = std::fread(row.data(), 1, row.size(), in) == row.size();
      std::copy(row.begin(), row.begin() + out.width * 3,
                out.bgr.begin() + static_cast<std::size_t>(y) * out.width * 3);
    }
  }
  std::fclose(in);
  return good;
}

// Runs tavrin_scene_probe.scr with `arguments` until it has written frame
// `frame`, and reads that frame back.
bool probeFrame(const std::string& arguments, int frame, const char* name, Screenshot& out) {
  const std::string path = siblingPath(name);
  DeleteFileA(path.c_str());
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP", path.c_str());
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", std::to_string(frame).c_str());
  ChildProcess probe;
  const bool started = probe.start(arguments, siblingPath("tavrin_scene_probe.scr"));
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP", nullptr);
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", nullptr);
  if (!started) return false;
  const bool written = waitUntil([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 90000);
  probe.kill();
  return written && loadBmp(path, out);
}

class SaverPicture : public ::testing::Test {
 protected:
  // A black window under the saver: the screen keeps the last picture of a
  // saver that was killed, and that must not pass for the next one's.
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "TavrinPictureBackdrop";
    RegisterClassA(&windowClass);
    HWND backdrop = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, "TavrinPictureBackdrop", "", WS_POPUP, 0, 0,
                                    screenW, screenH, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(backdrop, SW_SHOWNOACTIVATE);
    UpdateWindow(backdrop);
    waitUntil([] { return false; }, 300);
  }
  void TearDown() override { saver.kill(); }

  // Starts tavrin.scr full screen and waits for the lit lunar surface.
  void startSaver() {
    ASSERT_TRUE(saver.start("/s"));
    ASSERT_NE(waitForSaverWindow(saver.id(), 20000), nullptr);
    const RECT litArea = {360, 320, 480, 450};
    ASSERT_TRUE(waitUntil([&] { return areaStats(captureScreen(&litArea), 0, 0, 120, 130).mean > 20; }, 30000))
        << "the lunar surface never showed";
  }
  Screenshot shot(const char* name) {
    Screenshot s = captureScreen();
    s.saveBmp(siblingPath(name));
    return s;
  }

  ChildProcess saver;
};

TEST_F(SaverPicture, TexturedMoonStarsTextAndABannerComingInFromTheRight) {
  useStillCamera();
  startSaver();
  const Screenshot s = shot("scene-full.bmp");
  // A grey surface with detail, lit on the left; faint starlight on the right.
  const AreaStats lit = areaStats(s, 360, 320, 480, 450);
  EXPECT_GT(lit.mean, 40.0);
  EXPECT_GT(lit.deviation, 6.0) << "a flat surface: no texture";
  EXPECT_LT(std::abs(lit.redMinusBlue), 25.0) << "not grey";
  const AreaStats night = areaStats(s, 560, 320, 660, 450);
  EXPECT_GT(night.mean, 0.3) << "the night side gets starlight";
  EXPECT_LT(night.maximum, 30);
  EXPECT_GT(isolatedPoints(s), 30) << "no star points";

  ExpectedText label({0, 0, 100, 50}, screenH);
  label.item("FPS:", 11, screenH - 25, 10, screenH - 26, titleBlue);
  EXPECT_GT(label.match(s, 0, 0), 0.95);
  // The clock's three lines are there: grey and blue glyph pixels.
  int grey = 0, blue = 0;
  for (int y = 8; y < 60; ++y) {
    for (int x = screenW - 205; x < screenW; ++x) {
      grey += s.red(x, y) > 150 && std::abs(s.red(x, y) - s.blue(x, y)) < 20;
      blue += s.blue(x, y) > 150 && s.blue(x, y) > s.red(x, y) + 60;
    }
  }
  EXPECT_GT(grey, 300);
  EXPECT_GT(blue, 100);

  int first = -1;
  ASSERT_TRUE(waitUntil([&] { return (first = bannerLeftEdge(captureScreen())) >= 0; }, 20000)) << "no banner";
  Sleep(1000);
  const int later = bannerLeftEdge(shot("scene-banner.bmp"));
  EXPECT_GE(later, 0);
  EXPECT_LT(later, first - 10) << "the banner does not move left";
  EXPECT_LT(first, screenW);
}

TEST_F(SaverPicture, WithoutStarsTheSkyIsEmptyAndTheNightSideBlack) {
  useStillCamera();
  writeSetting("Show Stars", 0);
  startSaver();
  Screenshot s;
  SYSTEMTIME before = {}, after = {};
  // The clock's hour and minute must not change while the screen is read.
  for (int attempt = 0; attempt < 3; ++attempt) {
    GetLocalTime(&before);
    s = shot("scene-no-stars.bmp");
    GetLocalTime(&after);
    if (before.wMinute == after.wMinute && before.wDay == after.wDay) break;
  }
  EXPECT_EQ(isolatedPoints(s), 0);
  const AreaStats night = areaStats(s, 560, 320, 660, 450);
  EXPECT_EQ(night.maximum, 0) << "the night side is not pure black";
  EXPECT_GT(areaStats(s, 360, 320, 480, 450).deviation, 6.0);

  const int w = screenW, h = screenH;
  ExpectedText top({0, 0, screenW, 62}, screenH);
  top.item("FPS:", 11, h - 25, 10, h - 26, titleBlue);
  char hourMinute[8];
  std::snprintf(hourMinute, sizeof hourMinute, "%02d:%02d:", after.wHour, after.wMinute);
  top.item(hourMinute, w - 204, h - 25, w - 203, h - 26, textGrey);
  char date[16];
  std::snprintf(date, sizeof date, "%02d.%02d.%d", after.wDay, after.wMonth, after.wYear);
  top.item(date, w - 171, h - 57, w - 170, h - 58, textGrey);
  const int d = weekdayOffset(after.wDayOfWeek);
  top.item(weekdayName(after.wDayOfWeek), w - d, h - 41, w - d + 1, h - 42, titleBlue);
  // Text pixels the picture above leaves out: the frame rate's value and
  // the clock's seconds and milliseconds. Everything else must match.
  const RECT value = {80, 0, 80 + 16 * 8, 62}, seconds = {w - 203 + 16 * 6, 0, w, 26};
  Screenshot masked = s;
  for (const RECT& r : {value, seconds}) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        for (int c = 0; c < 3; ++c) masked.bgr[(static_cast<std::size_t>(y) * masked.width + x) * 3 + c] = 0;
      }
    }
  }
  EXPECT_GT(top.match(masked, 0, 0, 8), 0.998);
}

// At Animation Speed 30 the lunar angle is 30 + 0.06 degrees per frame: at
// frame 500 it is 60 and the Earth stands right of the lunar disc on the
// horizon line, about 32 pixels in radius around (840, 372), lit on its left.
TEST_F(SaverPicture, TheEarthShowsOnlyWithShowEarth) {
  for (DWORD showEarth : {1, 0}) {
    useStillCamera();
    writeSetting("Show Stars", 0);
    writeSetting("Show Earth", showEarth);
    Screenshot frame;
    ASSERT_TRUE(probeFrame("/s", 500, showEarth ? "scene-earth.bmp" : "scene-no-earth.bmp", frame));
    // Lit pixels, and whether blue (the oceans) outweighs red among them.
    int lit = 0, blueOverRed = 0;
    for (int y = 330; y < 420; ++y) {
      for (int x = 790; x < 900; ++x) {
        if (brightest(frame, x, y) <= 15) continue;
        ++lit;
        blueOverRed += frame.blue(x, y) - frame.red(x, y);
      }
    }
    if (showEarth) {
      EXPECT_GT(lit, 1000) << "no Earth";  // a disc of about 3200 pixels, two thirds lit
      EXPECT_GT(blueOverRed, 0) << "no blue oceans";
    } else {
      EXPECT_EQ(lit, 0) << "an Earth after all";
    }
  }
}

// The preview in a window of this test standing in for the control panel's
// monitor: wide enough that the lunar disc keeps clear of the corners.
class PreviewPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TavrinPicturePreview";
    RegisterClassA(&windowClass);
    parent = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOPMOST, "TavrinPicturePreview", "Preview parent",
                             WS_POPUP | WS_VISIBLE, 100, 100, width, height, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
  }
  static constexpr int width = 800;
  static constexpr int height = 200;
  HWND parent = nullptr;
};

TEST_F(PreviewPicture, LogoWithoutFrameRateOrClock) {
  useStillCamera();
  writeSetting("Show Stars", 0);
  Screenshot s;
  ASSERT_TRUE(probeFrame("/p " + std::to_string(reinterpret_cast<uintptr_t>(parent)), 60, "scene-preview.bmp", s));
  ASSERT_EQ(s.width, width);
  ASSERT_EQ(s.height, height);
  ExpectedText logo({0, 0, 170, 45}, height);
  for (const LogoLetter& letter : logoLetters) {
    const char text[2] = {letter.letter, '\0'};
    logo.item(text, letter.shadowX, height - 20, letter.colorX, height - 19, titleBlue);
  }
  EXPECT_GT(logo.match(s, 0, 0, 8), 0.998);
  ExpectedText subtitle({0, height - 40, 170, height}, height);
  subtitle.item("TAVRIN", 7, 4, 6, 5, textGrey);
  EXPECT_GT(subtitle.match(s, 0, 0, 8), 0.998);
  // Where the clock would stand, nothing but black sky.
  EXPECT_EQ(areaStats(s, width - 210, 0, width, 70).maximum, 0);
  // The lightened scene: the lunar disc, lit on the left.
  EXPECT_GT(areaStats(s, width / 2 - 30, height / 2 - 10, width / 2 - 10, height / 2 + 10).mean, 20.0);
}

}  // namespace
