// Sphere angles, the intro banner, clock texts, the logo table and which
// overlay texts a frame draws where.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scene/overlay.h"

namespace {

std::vector<std::string> texts(const OverlayLayout& layout) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < layout.count; ++i) {
    out.emplace_back(layout.items[i].text);
  }
  return out;
}

OverlayLayout frameWith(bool logo, bool info, bool fps, bool time, IntroBanner& banner) {
  OverlayFrame frame;
  frame.screenWidth = 1024;
  frame.screenHeight = 768;
  frame.localTime = {2006, 3, 0, 5, 9, 5, 3, 7};
  return layOutOverlay({logo, info, fps, time}, frame, banner);
}

}  // namespace

TEST(SphereAngles, AdvancePerFrameAndStayWithinATurn) {
  const float rate = 30 * 0.01f;
  SphereAngles angles;
  advanceSphereAngles(angles, rate);
  EXPECT_NEAR(angles.lunarAngle - 30.0f, 0.06f, 1e-5f);
  EXPECT_NEAR(angles.earthAngle - 60.0f, 0.12f, 1e-5f);
  for (int frame = 0; frame < 20000; ++frame) {
    advanceSphereAngles(angles, rate);
    ASSERT_GE(angles.lunarAngle, 0.0f);
    ASSERT_LT(angles.lunarAngle, 360.0f);
    ASSERT_GE(angles.earthAngle, 0.0f);
    ASSERT_LT(angles.earthAngle, 360.0f);
  }
  SphereAngles backwards{-359.9f, 0.0f};
  advanceSphereAngles(backwards, -1.0f);
  EXPECT_NEAR(backwards.lunarAngle, -0.1f, 1e-3f);  // -360.1 + 360
}

TEST(IntroBanner, TimelineOnA1024PixelScreen) {
  IntroBanner banner;
  std::vector<std::int32_t> x{0};  // x[frame], frames counted from 1
  while (banner.introBannerActive && x.size() < 10000) {
    x.push_back(advanceBanner(banner, 1024));
  }
  ASSERT_EQ(x.size(), 3148u);  // frame 3147 is the last
  EXPECT_EQ(x[1], 1123);
  EXPECT_EQ(x[1113], 11);
  for (int frame = 1114; frame <= 2113; ++frame) {
    ASSERT_EQ(x[frame], 10) << frame;
  }
  EXPECT_EQ(x[2114], 9);
  EXPECT_EQ(x[3147], -1024);
  EXPECT_EQ(advanceBanner(banner, 1024), -1024);  // gone for good
  EXPECT_EQ(texts(frameWith(false, true, false, false, banner)).size(), 0u);

  // Degenerate widths still end: the banner leaves at x = -0.
  IntroBanner narrow;
  int frames = 0;
  while (narrow.introBannerActive && frames < 5000) {
    advanceBanner(narrow, -50);
    ++frames;
  }
  EXPECT_EQ(narrow.bannerX, 0);
  EXPECT_EQ(frames, 90 + 999 + 10);
}

TEST(ClockTexts, FormatsAndWeekdayAlignment) {
  const LocalTime time{2006, 3, 3, 5, 9, 5, 3, 7};
  char text[overlayTextCapacity];
  formatTimeText(time, text, sizeof text);
  EXPECT_STREQ(text, "09:05:03:007");
  formatDateText(time, text, sizeof text);
  EXPECT_STREQ(text, "05.03.2006");
  char small[4];
  formatDateText(time, small, sizeof small);
  EXPECT_STREQ(small, "05.");

  EXPECT_EQ(weekdayOffset(3), 156);  // WEDNESDAY
  EXPECT_EQ(weekdayOffset(2), 124);  // TUESDAY
  for (int day = 0; day < 7; ++day) {
    // Every name ends 12 pixels from the right edge.
    EXPECT_EQ(weekdayOffset(day) - 16 * static_cast<int>(std::strlen(weekdayName(day))), 12);
  }
  EXPECT_STREQ(weekdayName(7), "");
  EXPECT_STREQ(weekdayName(-1), "");
}

TEST(OverlaySwitches, WhichTextsAFrameDraws) {
  IntroBanner banner;
  // Frame rate or clock without showInfo: nothing, and the banner does not move.
  EXPECT_TRUE(texts(frameWith(false, false, true, true, banner)).empty());
  EXPECT_FALSE(banner.bannerPlaced);

  const OverlayLayout bannerOnly = frameWith(false, true, false, false, banner);
  EXPECT_EQ(texts(bannerOnly), (std::vector<std::string>{"ORVANE - TAVRIN", creditLine}));
  const OverlayItem& title = bannerOnly.items[0];
  EXPECT_EQ(title.colorX, 1123);
  EXPECT_EQ(title.shadowX, 1124);
  EXPECT_EQ(title.shadowY, 29);
  EXPECT_EQ(bannerOnly.items[1].colorY, 10);

  const OverlayLayout preview = frameWith(true, false, true, true, banner);
  EXPECT_EQ(texts(preview), (std::vector<std::string>{"O", "r", "v", "a", "n", "e", "TAVRIN"}));
  EXPECT_EQ(preview.items[0].shadowY, 768 - 20);
  EXPECT_EQ(preview.items[0].colorY, 768 - 19);

  const OverlayLayout full = frameWith(false, true, true, true, banner);
  EXPECT_EQ(texts(full), (std::vector<std::string>{"ORVANE - TAVRIN", creditLine, "FPS:", "0.00", "09:05:03:007",
                                                   "05.03.2006", "SUNDAY"}));
  EXPECT_EQ(full.items[0].colorX, 1122);  // the second drawn frame of the banner
  const OverlayItem& weekday = full.items[6];
  EXPECT_EQ(weekday.shadowX, 1024 - 108);
  EXPECT_EQ(weekday.colorX, 1024 - 107);
  EXPECT_EQ(weekday.colorY, 768 - 42);
  EXPECT_EQ(full.items[4].shadowX, 1024 - 204);
  EXPECT_EQ(full.items[5].colorY, 768 - 58);
}

TEST(LogoLetters, TableFollowsTheGlyphWidths) {
  // A synthetic atlas: a glyph lit up to column w - 1 in one row.
  std::vector<std::uint8_t> atlas(fontAtlasSize, 0);
  auto light = [&](int glyph, int width, int rowInCell) {
    const int row = 255 - (glyph / 16) * 16 - rowInCell;
    atlas[static_cast<std::size_t>(row) * 256 + (glyph % 16) * 16 + width - 1] = 1;
  };
  light('O' - 32, 16, 15);
  light('r' - 32, 3, 0);
  light('v' - 32, 10, 7);
  EXPECT_EQ(glyphVisibleWidth(atlas.data(), atlas.size(), 'O' - 32), 16);
  EXPECT_EQ(glyphVisibleWidth(atlas.data(), atlas.size(), 'v' - 32), 10);
  EXPECT_EQ(glyphVisibleWidth(atlas.data(), atlas.size(), 'a' - 32), 0);
  EXPECT_EQ(glyphVisibleWidth(atlas.data(), atlas.size() - 1, 0), -1);
  EXPECT_EQ(glyphVisibleWidth(atlas.data(), atlas.size(), 256), -1);

  LogoLetters laid{};
  ASSERT_TRUE(layOutLogoLetters(atlas.data(), atlas.size(), laid));
  const std::int32_t shadows[] = {7, 7 + 15, 22 + 8, 30 + 11, 41 + 8, 49 + 8};
  for (std::size_t i = 0; i < logoLetterCount; ++i) {
    EXPECT_EQ(laid[i].shadowX, shadows[i]) << i;
    EXPECT_EQ(laid[i].colorX, i == 0 ? 5 : shadows[i] - 1) << i;
  }
  EXPECT_FALSE(layOutLogoLetters(atlas.data(), 100, laid));

  // The shipped table is the one laid out from the shipped atlas.
  std::ifstream file(TAVRIN_SOURCE_DIR "/res/glyphs.bin", std::ios::binary);
  if (!file) {
    GTEST_SKIP() << "res/glyphs.bin not present";
  }
  const std::vector<std::uint8_t> shipped{std::istreambuf_iterator<char>(file), {}};
  ASSERT_TRUE(layOutLogoLetters(shipped.data(), shipped.size(), laid));
  for (std::size_t i = 0; i < logoLetterCount; ++i) {
    EXPECT_EQ(logoLetters[i].letter, laid[i].letter);
    EXPECT_EQ(logoLetters[i].shadowX, laid[i].shadowX) << logoLetters[i].letter;
    EXPECT_EQ(logoLetters[i].colorX, laid[i].colorX) << logoLetters[i].letter;
  }
}
