// The arithmetic of each frame that needs no GL: the turning of the two
// spheres, the intro banner's scroll, and the text overlay as a list of
// positioned texts. The GL side advances the angles, fills a LocalTime, asks
// for the layout and prints every item twice (shadow, then colour).
//
// Not here: drawing, the font, reading the clock or the frame rate.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "assets/font_atlas.h"

// ---- Sphere angles ---------------------------------------------------------

struct SphereAngles {
  float lunarAngle = 30.0f;  // degrees
  float earthAngle = 60.0f;  // degrees
};

// One frame: lunar += rate x 0.2, earth += rate x 0.4 (single precision),
// then each is wrapped by 360 downwards, then upwards.
void advanceSphereAngles(SphereAngles& angles, float animationRate);

// ---- Intro banner ----------------------------------------------------------

// The banner enters from the right one pixel per frame, rests at x = 10 for
// bannerPauseFrames frames and leaves to the left, once per process.
struct IntroBanner {
  bool introBannerActive = true;  // false for good once it has left the screen
  bool bannerPlaced = false;      // bannerX has been set by the first call
  std::int32_t bannerX = 0;
  bool bannerMoving = true;
  std::int32_t bannerPauseFrames = 1000;
};

// Advances the banner by one drawn frame and returns its x. The frame that
// reaches x = -screenWidth still draws it and ends it; later calls return
// that x unchanged. Widths are taken within 0..maxScreenSize.
std::int32_t advanceBanner(IntroBanner& banner, std::int32_t screenWidth);

// ---- Texts -----------------------------------------------------------------

// Local time as the Windows side reads it (the fields of SYSTEMTIME).
struct LocalTime {
  int year = 0;
  int month = 0;
  int dayOfWeek = 0;  // Sunday = 0
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

constexpr std::size_t overlayTextCapacity = 64;

// "%02d:%02d:%02d:%03d" and "%02d.%02d.%d", cut to the buffer.
void formatTimeText(const LocalTime& time, char* out, std::size_t size);
void formatDateText(const LocalTime& time, char* out, std::size_t size);

// "SUNDAY" .. "SATURDAY"; "" for a day outside 0..6.
const char* weekdayName(int dayOfWeek);

// Distance of the weekday's start from the right edge, d = 16 x letters + 12
// (16: a glyph's advance), so that every name ends 12 pixels from the edge.
std::int32_t weekdayOffset(int dayOfWeek);

// ---- Logo ------------------------------------------------------------------

// The logo title is printed letter by letter, each placed by the visible width
// of the one before instead of the font's fixed 16-pixel advance.
struct LogoLetter {
  char letter;
  std::int32_t shadowX;
  std::int32_t colorX;
};

constexpr std::size_t logoLetterCount = 6;
using LogoLetters = std::array<LogoLetter, logoLetterCount>;

// "Orvane", laid out by layOutLogoLetters from the font atlas.
extern const LogoLetters logoLetters;

// Shadow-to-shadow distance after a glyph: its visible width plus one column
// of space, kept within 8..15 pixels.
std::int32_t logoLetterAdvance(std::int32_t visibleWidth);

// Rightmost column of glyph g holding a non-zero sample, plus 1 (0 for an
// empty cell); -1 when the atlas is too small or g is outside 0..255.
std::int32_t glyphVisibleWidth(const std::uint8_t* atlas, std::size_t atlasSize, int glyph);

// The logo table for "Orvane" from glyph set 0 of an atlas: the first shadow at
// 7 and its colour copy at 5; each further shadow logoLetterAdvance past the
// previous one, its colour copy 1 pixel left. False for a too-small atlas.
bool layOutLogoLetters(const std::uint8_t* atlas, std::size_t atlasSize, LogoLetters& out);

// ---- Overlay layout --------------------------------------------------------

struct TextColor {
  float red;
  float green;
  float blue;
};

constexpr TextColor shadowColor{0.0f, 0.0f, 0.0f};
constexpr TextColor titleBlue{0.5f, 0.5f, 0.9f};
constexpr TextColor textGrey{0.8f, 0.8f, 0.8f};

// Screen sizes are taken within 0..maxScreenSize, so that no position overflows.
constexpr std::int32_t maxScreenSize = 1 << 24;

struct OverlayFlags {
  bool showLogo = false;
  bool showInfo = false;
  bool showFps = false;
  bool showTime = false;
};

// ---- Display scale ---------------------------------------------------------

// The overlay keeps the size a person sees at 96 DPI, and stays sharp: its
// glyphs, its offsets from the edges, its line spacing and the banner's travel
// are all multiplied by one whole factor, the nearest to DPI / 96 with halves
// rounding up. 120 DPI (125 %) keeps 1: 2 would make the texts 1.6 times
// their usual size. 144 DPI (150 %) takes 2: no whole factor gives 1.5, and 1
// would leave them at two thirds, too small on the dense screens that use
// that scale. 192 (200 %) is 2, 288 (300 %) 3. Unknown (0) counts as 96.
constexpr std::int32_t maxOverlayScale = 8;
std::int32_t overlayScaleForDpi(std::uint32_t dpi);

struct OverlayFrame {
  std::int32_t screenWidth = 0;
  std::int32_t screenHeight = 0;
  float framesPerSecond = 0.0f;
  LocalTime localTime;     // read only when overlayShowsClock
  std::int32_t scale = 1;  // overlayScaleForDpi of the display; taken within 1..maxOverlayScale
};

// One text: printed in shadowColor at the shadow position, then in `color`
// at its own position, both with glyph set 0. Pixels from the lower-left.
struct OverlayItem {
  char text[overlayTextCapacity];
  std::int32_t shadowX;
  std::int32_t shadowY;
  std::int32_t colorX;
  std::int32_t colorY;
  TextColor color;
};

struct OverlayLayout {
  std::array<OverlayItem, 16> items;
  std::size_t count = 0;
};

// Whether this frame's overlay needs the local time.
bool overlayShowsClock(const OverlayFlags& flags);

// The overlay of one frame, top to bottom: logo letters and subtitle; then,
// with showInfo, the banner (advancing it), the frame rate and the clock.
// Positions are window pixels; at scale s every offset from an edge is s
// times its 96 DPI value, and the banner scrolls over a screen s times
// narrower, each of its pixels s wide.
OverlayLayout layOutOverlay(const OverlayFlags& flags, const OverlayFrame& frame, IntroBanner& banner);
