// Sphere angles, the intro banner and the overlay layout: everything of the
// frame's text that can be decided without GL.
#include "scene/overlay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// ---- Sphere angles ---------------------------------------------------------

namespace {

void wrapDown(float& angle) {
  if (angle >= 360.0f) {
    angle -= 360.0f;
  }
}

void wrapUp(float& angle) {
  if (angle <= -360.0f) {
    angle += 360.0f;
  }
}

std::int32_t clampScreenSize(std::int32_t size) { return std::clamp<std::int32_t>(size, 0, maxScreenSize); }

}  // namespace

void advanceSphereAngles(SphereAngles& angles, float animationRate) {
  // The Earth spins twice as fast as the lunar sphere turns.
  angles.lunarAngle += animationRate * 0.2f;
  angles.earthAngle += animationRate * 0.4f;
  wrapDown(angles.lunarAngle);
  wrapDown(angles.earthAngle);
  wrapUp(angles.lunarAngle);
  wrapUp(angles.earthAngle);
}

// ---- Intro banner ----------------------------------------------------------

std::int32_t advanceBanner(IntroBanner& banner, std::int32_t screenWidth) {
  constexpr std::int32_t restX = 10;
  if (!banner.introBannerActive) {
    return banner.bannerX;  // gone for good: it never moves again
  }
  // A width within 0..maxScreenSize means the banner always reaches
  // -screenWidth, one pixel at a time, without overflowing.
  const std::int32_t width = clampScreenSize(screenWidth);
  if (!banner.bannerPlaced) {
    banner.bannerPlaced = true;
    banner.bannerX = width + 100;  // the first frame draws it at width + 99
  }
  if (banner.bannerMoving) {
    --banner.bannerX;
  }
  if (banner.bannerX == restX) {
    // Counting the frame of arrival, it rests for bannerPauseFrames frames.
    banner.bannerMoving = false;
    --banner.bannerPauseFrames;
  }
  if (banner.bannerPauseFrames == 0) {
    banner.bannerMoving = true;
  }
  if (banner.bannerX == -width) {
    banner.introBannerActive = false;  // still drawn in this frame, at this x
  }
  return banner.bannerX;
}

// ---- Texts -----------------------------------------------------------------

namespace {

const char* const weekdayNames[7] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

// Both sources in 23 glyphs (368 pixels): whole on an 800-pixel screen while
// the banner rests at x = 10, and each glyph costs two list calls a frame.
const char* const creditLine = "Moon: USGS  Earth: NASA";

}  // namespace

void formatTimeText(const LocalTime& time, char* out, std::size_t size) {
  std::snprintf(out, size, "%02d:%02d:%02d:%03d", time.hour, time.minute, time.second, time.millisecond);
}

void formatDateText(const LocalTime& time, char* out, std::size_t size) {
  std::snprintf(out, size, "%02d.%02d.%d", time.day, time.month, time.year);
}

const char* weekdayName(int dayOfWeek) {
  if (dayOfWeek < 0 || dayOfWeek > 6) {
    return "";
  }
  return weekdayNames[dayOfWeek];
}

std::int32_t weekdayOffset(int dayOfWeek) {
  return fontCellSide * static_cast<std::int32_t>(std::strlen(weekdayName(dayOfWeek))) + 12;
}

// ---- Logo ------------------------------------------------------------------

// Laid out by layOutLogoLetters from res/glyphs.bin; the tests check that they
// still agree.
const LogoLetters logoLetters = {{
    {'O', 7, 5},    // visible width 9: next shadow 10 further
    {'r', 17, 16},  // 9: 10
    {'v', 27, 26},  // 9: 10
    {'a', 37, 36},  // 9: 10
    {'n', 47, 46},  // 8: 9
    {'e', 56, 55},
}};

std::int32_t logoLetterAdvance(std::int32_t visibleWidth) { return std::clamp<std::int32_t>(visibleWidth + 1, 8, 15); }

std::int32_t glyphVisibleWidth(const std::uint8_t* atlas, std::size_t atlasSize, int glyph) {
  if (atlas == nullptr || atlasSize < fontAtlasBytes || glyph < 0 || glyph >= fontGlyphCount) {
    return -1;
  }
  const int left = (glyph % fontCellsPerRow) * fontCellSide;
  // Cell rows count from the top of the picture; stored rows from the bottom.
  const int topRow = fontAtlasSide - 1 - (glyph / fontCellsPerRow) * fontCellSide;
  std::int32_t width = 0;
  for (int y = 0; y < fontCellSide; ++y) {
    const std::uint8_t* row = atlas + static_cast<std::size_t>(topRow - y) * fontAtlasSide + left;
    for (int x = fontCellSide - 1; x >= width; --x) {
      if (row[x] != 0) {
        width = x + 1;
        break;
      }
    }
  }
  return width;
}

bool layOutLogoLetters(const std::uint8_t* atlas, std::size_t atlasSize, LogoLetters& out) {
  static const char title[] = "Orvane";
  static_assert(sizeof(title) - 1 == logoLetterCount, "one table row per title letter");
  std::int32_t shadowX = 7;
  for (std::size_t i = 0; i < logoLetterCount; ++i) {
    if (i > 0) {
      // Glyph set 0: character c is glyph c - 32.
      const std::int32_t width = glyphVisibleWidth(atlas, atlasSize, title[i - 1] - 32);
      if (width < 0) {
        return false;
      }
      shadowX += logoLetterAdvance(width);
    }
    // The first colour copy sits 2 pixels left of its shadow, the others 1.
    out[i] = {title[i], shadowX, i == 0 ? 5 : shadowX - 1};
  }
  return true;
}

// ---- Overlay layout --------------------------------------------------------

std::int32_t overlayScaleForDpi(std::uint32_t dpi) {
  // Capped first, so that no DPI a system may report overflows the rounding.
  const std::uint32_t nearest = (std::min<std::uint32_t>(dpi, 96u * maxOverlayScale) + 48u) / 96u;
  return std::max<std::int32_t>(1, static_cast<std::int32_t>(nearest));
}

namespace {

// Every position is an offset from one edge in 96 DPI pixels, multiplied by
// the display's factor: the same picture as at 96 DPI, scaled as a whole.
struct Placement {
  std::int32_t width;
  std::int32_t height;
  std::int32_t scale;
  std::int32_t left(std::int32_t x) const { return x * scale; }
  std::int32_t right(std::int32_t distance) const { return width - distance * scale; }
  std::int32_t bottom(std::int32_t y) const { return y * scale; }
  std::int32_t top(std::int32_t distance) const { return height - distance * scale; }
};

// Appends one item; the list has room for the logo and every info text at once.
OverlayItem& addItem(OverlayLayout& layout, std::int32_t shadowX, std::int32_t shadowY, std::int32_t colorX,
                     std::int32_t colorY, TextColor color) {
  OverlayItem& item = layout.items[layout.count++];
  item.text[0] = '\0';
  item.shadowX = shadowX;
  item.shadowY = shadowY;
  item.colorX = colorX;
  item.colorY = colorY;
  item.color = color;
  return item;
}

void addText(OverlayLayout& layout, const char* text, std::int32_t shadowX, std::int32_t shadowY, std::int32_t colorX,
             std::int32_t colorY, TextColor color) {
  OverlayItem& item = addItem(layout, shadowX, shadowY, colorX, colorY, color);
  std::snprintf(item.text, sizeof item.text, "%s", text);
}

void addLogo(OverlayLayout& layout, const Placement& at) {
  for (const LogoLetter& letter : logoLetters) {
    const char text[2] = {letter.letter, '\0'};
    addText(layout, text, at.left(letter.shadowX), at.top(20), at.left(letter.colorX), at.top(19), titleBlue);
  }
  addText(layout, "TAVRIN", at.left(7), at.bottom(4), at.left(6), at.bottom(5), textGrey);
}

void addBanner(OverlayLayout& layout, const Placement& at, std::int32_t x) {
  addText(layout, "ORVANE - TAVRIN", at.left(x + 1), at.bottom(29), at.left(x), at.bottom(30), titleBlue);
  addText(layout, creditLine, at.left(x + 1), at.bottom(9), at.left(x), at.bottom(10), textGrey);
}

void addFrameRate(OverlayLayout& layout, const Placement& at, float framesPerSecond) {
  addText(layout, "FPS:", at.left(11), at.top(25), at.left(10), at.top(26), titleBlue);
  OverlayItem& value = addItem(layout, at.left(81), at.top(25), at.left(80), at.top(26), textGrey);
  std::snprintf(value.text, sizeof value.text, "%.2f", static_cast<double>(framesPerSecond));
}

void addClock(OverlayLayout& layout, const Placement& at, const LocalTime& time) {
  OverlayItem& clock = addItem(layout, at.right(204), at.top(25), at.right(203), at.top(26), textGrey);
  formatTimeText(time, clock.text, sizeof clock.text);
  OverlayItem& date = addItem(layout, at.right(171), at.top(57), at.right(170), at.top(58), textGrey);
  formatDateText(time, date.text, sizeof date.text);
  const std::int32_t d = weekdayOffset(time.dayOfWeek);
  addText(layout, weekdayName(time.dayOfWeek), at.right(d), at.top(41), at.right(d - 1), at.top(42), titleBlue);
}

}  // namespace

bool overlayShowsClock(const OverlayFlags& flags) { return flags.showInfo && flags.showTime; }

OverlayLayout layOutOverlay(const OverlayFlags& flags, const OverlayFrame& frame, IntroBanner& banner) {
  static_assert(logoLetterCount + 1 + 7 <= std::tuple_size<decltype(OverlayLayout::items)>::value,
                "room for the logo and all info texts");
  const Placement at{clampScreenSize(frame.screenWidth), clampScreenSize(frame.screenHeight),
                     std::clamp<std::int32_t>(frame.scale, 1, maxOverlayScale)};
  OverlayLayout layout{};
  if (flags.showLogo) {
    addLogo(layout, at);
  }
  if (!flags.showInfo) {
    return layout;
  }
  if (banner.introBannerActive) {
    // The banner advances only in frames that draw it, over the screen's width in its own pixels.
    addBanner(layout, at, advanceBanner(banner, at.width / at.scale));
  }
  if (flags.showFps) {
    addFrameRate(layout, at, frame.framesPerSecond);
  }
  if (overlayShowsClock(flags)) {
    addClock(layout, at, frame.localTime);
  }
  return layout;
}
