// The platform-free host and scene: the command line; the generator, camera curves, wraps and start angles, star
// layers, the frame meter, the overlay (angles, banner, clock texts, what a frame draws where, logo letters).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "host/close_policy.h"
#include "host/run_mode.h"
#include "scene/bitmap_font.h"
#include "scene/camera.h"
#include "scene/frame_meter.h"
#include "scene/overlay.h"
#include "scene/scene_random.h"
#include "scene/star_layer.h"

using namespace camera_constants;

namespace {
constexpr long kNone = -1, kAny = -2;  // no operand; operand not looked at

// U: the dialog without an owner, C: configure, S: saver, P: preview, A: password change, R: refused.
const RunMode U = RunMode::ConfigureUnowned, C = RunMode::Configure, S = RunMode::Saver, P = RunMode::Preview,
              A = RunMode::PasswordChange, R = RunMode::Refused;

TEST(RunModeScan, FirstSwitchLetterDecidesAndItsOperandFollows) {
  const std::tuple<const char*, bool, RunMode, long> cases[] = {
      {"", false, U, kAny},         {"/", false, U, kAny},         {" - / ", false, U, kAny},
      {"/s", false, S, kAny},       {"S", false, S, kAny},         {"-s", false, S, kAny},
      {"//s", false, S, kAny},      {"/scr", false, S, kAny},      {"  /S 1234", false, S, kAny},
      {"\t/s", false, R, kAny},     {"/\ts", false, R, kAny},      {"1", false, R, kAny},
      {"/x", false, R, kAny},       {"/\xe9", false, R, kAny},     {"/\x80s", false, R, kAny},
      {"/p 1234", false, P, 1234},  {"/P1234", false, P, 1234},    {"/l 1234", false, P, 1234},
      {"/L1234", false, P, 1234},   {"-p   1234", false, P, 1234}, {"/p:1234", false, P, 0},
      {"/p\t1234", false, P, 0},    {"/c:1234", false, C, 1234},   {"/C:0", false, C, 0},
      {"/c 1234", false, C, kNone}, {"/a 1234", false, R, kAny},   {"/a 1234", true, A, 1234}};
  for (const auto& [text, legacy, mode, handle] : cases) {  // only blanks are skipped; ':' ends the digits
    const RunRequest request = scanRunMode(text, legacy);
    const long operand = request.operand ? long(parseHandleNumber(request.operand)) : kNone;
    EXPECT_EQ(mode, request.mode) << text;
    EXPECT_EQ(handle == kAny ? operand : handle, operand) << text;
  }
}

TEST(RunModeScan, HandleNumberAndProgramName) {
  for (const char* zero : {"", " 12", "-12", "0x1F", "4294967296"}) EXPECT_EQ(0u, parseHandleNumber(zero)) << zero;
  EXPECT_EQ(65546u, parseHandleNumber("65546junk"));  // digits only, modulo 2^32
  EXPECT_EQ(4294967295u, parseHandleNumber("4294967295"));
  EXPECT_EQ(1661992959u, parseHandleNumber("99999999999999999999"));
  const std::pair<const char*, const char*> lines[] = {{"tavrin.scr /s", "/s"},
                                                       {"\"C:\\Program Files\\tavrin.scr\" /s", "/s"},
                                                       {"\"C:\\My Savers\\tavrin.scr\"/p 12", "/p 12"},
                                                       {"tavrin.scr \t \x01/c", "/c"},
                                                       {"tavrin.scr", ""},
                                                       {"\"unterminated name /s", ""},
                                                       {"   /s", "/s"}};
  for (const auto& [line, arguments] : lines) EXPECT_STREQ(arguments, skipProgramName(line, nextByte)) << line;
  // With 0x81 a lead byte, the quote after it is part of the character, not the end of the name.
  const auto dbcs = [](const char* p) { return p + (*p == 0 ? 0 : *p == '\x81' && p[1] ? 2 : 1); };
  EXPECT_STREQ("/s", skipProgramName("\"a\x81\"b\" /s", dbcs));
}

// What a close request or an input event makes of the saver in each state: N nothing, Q request a close, D defer
// it, F refuse it, A ask the password, C close. State letters: p previewing, c closing, k checking a password,
// s starting, l older family, w a password in force; the last check 1000 ticks before, or 150 across the wrap.
TEST(ClosePolicy, EachEventInEachState) {
  const auto state = [](const char* flags, uint32_t sinceCheck = 1000) {
    const auto has = [&](char flag) { return std::strchr(flags, flag) != nullptr; };
    return CloseState{has('p'), has('c'), has('k'), has('s'), has('l'), has('w'), sinceCheck - 50, 0xFFFFFFCEu};
  };
  using E = SaverEvent;
  const std::tuple<E, const char*, uint32_t, char> cases[] = {
      {E::CloseRequest, "", 0, 'C'},    {E::CloseRequest, "s", 0, 'D'},
      {E::CloseRequest, "c", 0, 'N'},   {E::CloseRequest, "plw", 0, 'C'},
      {E::CloseRequest, "l", 0, 'C'},   {E::CloseRequest, "lw", 0, 'A'},
      {E::CloseRequest, "lwk", 0, 'F'}, {E::CloseRequest, "w", 0, 'C'},
      {E::CloseRequest, "lwc", 0, 'N'}, {E::Key, "", 0, 'Q'},
      {E::Button, "", 0, 'Q'},          {E::ActivationLost, "", 0, 'Q'},
      {E::PowerEvent, "", 0, 'Q'},      {E::Key, "p", 0, 'N'},
      {E::Button, "c", 0, 'N'},         {E::Key, "k", 0, 'N'},
      {E::AutoPlay, "pck", 0, 'Q'},     {E::MouseMove, "p", 500, 'N'}};
  const char answers[] = "NQDFAC";  // in the order of CloseAnswer
  for (const auto& [event, flags, travel, answer] : cases)
    EXPECT_EQ(answer, answers[int(closeAnswer(event, state(flags), travel))]) << int(event) << " [" << flags << "]";
  // A refused check is not asked again for 200 ms, counted across the tick count's wrap.
  for (const auto& [since, answer] : {std::pair<uint32_t, char>{150, 'F'}, {199, 'F'}, {200, 'A'}, {5000, 'A'}})
    EXPECT_EQ(answer, answers[int(closeAnswer(E::CloseRequest, state("lw", since)))]) << since;
  EXPECT_EQ('A', answers[int(closeAnswer(E::CloseRequest, {0, 0, 0, 0, 1, 1, 100, noPasswordCheck}))]) << "never asked";
  // The pointer's travel from where it was, in every direction: 4 pixels are nothing, 5 close; neither a one-pixel
  // twitch upwards nor a diagonal whose steps have opposite signs is anything else.
  const std::tuple<int32_t, int32_t, char> moves[] = {
      {0, -1, 'N'}, {0, -4, 'N'}, {0, -5, 'Q'}, {-4, 0, 'N'}, {-5, 0, 'Q'}, {-2, -2, 'N'}, {-3, -2, 'Q'},
      {4, 0, 'N'},  {5, 0, 'Q'},  {0, 4, 'N'},  {0, 5, 'Q'},  {3, -3, 'Q'}, {-2, 2, 'N'},  {2, 3, 'Q'}};
  for (const auto& [dx, dy, answer] : moves) {
    const uint32_t travel = cursorTravel(-900, 40, -900 + dx, 40 + dy);
    EXPECT_EQ(answer, answers[int(closeAnswer(E::MouseMove, state(""), travel))]) << dx << ", " << dy;
  }
  EXPECT_EQ(UINT32_MAX, cursorTravel(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX)) << "no overflow";
}

// Fixes the clock the scene's generators seed from; setting fixedSeconds moves it.
std::int64_t fixedSeconds = 0;
void fixSceneClock(std::int64_t seconds) {
  fixedSeconds = seconds;
  sceneClockSeconds = [] { return fixedSeconds; };
}

// Seeds whose first two draws are 0 and 32767, and 32767 and 0 (found by search).
constexpr std::uint32_t kLowHigh = 1531484264, kHighLow = 1833508488;

const PathMode plain = PathMode::Plain, viviani = PathMode::Viviani, wave = PathMode::SphereWave,
               rosette = PathMode::Rosette;
const PathRole target = PathRole::Target, eye = PathRole::Eye;

// The Viviani eye has no lower wrap; unknown modes none at all.
TEST(Camera, EachWrapRuleAtTheEdgesOfItsRange) {
  const double s = 0.25, under2Pi = std::nextafter(twoPi, 0.0), over = std::nextafter(-twoPi, 0.0),
               under4Pi = std::nextafter(fourPi, 0.0);
  const std::tuple<PathMode, PathRole, double, double> cases[] = {
      {viviani, target, twoPi, s - twoPi},   {viviani, target, -twoPi, s + twoPi},
      {viviani, target, under2Pi, under2Pi}, {viviani, target, over, over},
      {viviani, eye, twoPi, s - twoPi},      {viviani, eye, -twoPi, -twoPi},
      {viviani, eye, -100.0, -100.0},        {wave, eye, fourPi, s},
      {wave, target, under4Pi, under4Pi},    {wave, eye, 0.0, s + fourPi},
      {wave, target, 1e-300, 1e-300},        {rosette, eye, twoPi, s},
      {rosette, target, 0.0, s + twoPi},     {rosette, eye, under2Pi, under2Pi},
      {plain, target, 100.0, 100.0},         {plain, eye, -100.0, -100.0},
      {PathMode(7), target, 100.0, 100.0}};
  for (const auto& [mode, role, angle, wrapped] : cases) {
    CameraPath path{mode, 1.0, s, angle, {}};
    wrapPathAngle(path, role);
    EXPECT_EQ(wrapped, path.angle) << "mode " << int(mode) << " role " << int(role) << " angle " << angle;
  }
}

TEST(Camera, CurvePointsAndThePlainEyeAtTheOrigin) {
  const std::tuple<PathMode, PathRole, double, double, double, double, double> cases[] = {
      {wave, eye, 0.0, 1.0, 0.38942, 0.0, 0.92106},       {rosette, eye, halfPi, 1.0, 0.0, -4.0, 2.82843},
      {rosette, target, halfPi, 0.5, 0.0, -2.0, 1.41421}, {viviani, target, -twoPi / 2, 1.0, 0.0, 0.0, -2.0},
      {plain, target, halfPi, 2.0, 0.0, 0.0, 2.0},        {plain, eye, 1.0, 3.0, 0.0, 0.0, 0.0}};
  for (const auto& [mode, role, angle, radius, x, y, z] : cases) {
    const CameraPoint p = pathPosition(mode, role, angle, radius);
    for (const auto& [got, want] : {std::pair{p.x, x}, {p.y, y}, {p.z, z}}) EXPECT_NEAR(want, got, 1e-5) << int(mode);
  }
}

// The generator follows the Windows runtime's sequence (seed 1 draws 41, 18467, ...), seeded from the clock truncated
// to 32 bits as srand(time(0)) does; randomize draws the target first, draw n mapping to n / 32767 of a mode's range.
TEST(Camera, RandomizeDrawsTargetFirstFromTheWindowsRuntimeSequence) {
  SceneRandom one(1);
  for (int expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(expected, one.next());
  fixSceneClock((std::int64_t{1} << 32) + 1);
  EXPECT_EQ(41, SceneRandom::fromClock().next());
  const std::tuple<PathMode, PathMode, std::uint32_t, double, double> cases[] = {
      {viviani, rosette, kLowHigh, -twoPi, twoPi},
      {wave, viviani, kHighLow, fourPi, -twoPi},
      {rosette, wave, kLowHigh, 0.0, fourPi},
      {plain, plain, kHighLow, twoPi, 0.0},
      {wave, viviani, 1, 41 / 32767.0 * fourPi, 18467 / 32767.0 * fourPi - twoPi}};
  for (const auto& [targetMode, eyeMode, seed, targetAngle, eyeAngle] : cases) {
    fixedSeconds = seed;
    Camera camera;
    camera.target.mode = targetMode;
    camera.eye = {eyeMode, 1.0, 0.001, 5.0, {}};
    camera.randomize();
    EXPECT_DOUBLE_EQ(targetAngle, camera.target.angle) << int(targetMode);
    EXPECT_DOUBLE_EQ(eyeAngle, camera.eye.angle) << int(eyeMode);
  }
}

// Every star on the sphere; layers made within the same second share their first positions, a second later not.
TEST(StarLayer, StarsLieOnTheSphereAndLayersOfOneSecondShareTheirFirstPositions) {
  StarLayer small, medium, other;
  fixSceneClock(1143000000);
  ASSERT_TRUE(small.generate(starFieldRadius, 8500, 0.1f, 1, 1, 1) &&
              medium.generate(starFieldRadius, 1000, 1.15f, 1, 1, 1));
  fixedSeconds = 1143000001;  // a second later
  ASSERT_TRUE(other.generate(starFieldRadius, 1000, 1.15f, 1.0f, 1.0f, 1.0f));
  ASSERT_EQ(8500, small.count());
  for (std::int32_t i = 0; i < small.count(); ++i) {
    const float* v = small.vertices() + 3 * i;
    ASSERT_NEAR(22.6, std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]), 22.6e-6) << i;
  }
  for (int i = 0; i < 3 * 1000; ++i) ASSERT_EQ(small.vertices()[i], medium.vertices()[i]) << i;
  EXPECT_NE(other.vertices()[0], small.vertices()[0]);
}

// The frame meter reads the counter through a seam the test moves.
std::int64_t fakeFrequency = 0, fakeNow = 0;
const PerformanceCounter fakeCounter{[] { return fakeFrequency; }, [] { return fakeNow; }};

// Frames 1..9 at `start` (the first starts the meter), frame 10 at start + ticks.
float tenFrames(FrameMeter& meter, std::int64_t start, std::int64_t ticks) {
  fakeNow = start;
  for (int i = 1; i <= 9; ++i) meter.measure(fakeCounter);
  fakeNow = start + ticks;
  return meter.measure(fakeCounter);
}

// 250 ms over 10 frames (the first counted) give 40.00, also at 10^13 ticks of 10 MHz (float stamps step by 2^20).
TEST(FrameMeter, WorkedExampleAlsoOnALargeCounterAndExactly200MsDoesNotUpdate) {
  for (std::int64_t start : {std::int64_t{123}, std::int64_t{10'000'000'000'000 + 777'777}}) {
    FrameMeter meter;
    fakeFrequency = 10'000'000;
    EXPECT_EQ(40.0f, tenFrames(meter, start, 2'500'000)) << start;
    EXPECT_EQ(0, meter.framesSinceUpdate);
    const float rate = tenFrames(meter, start + 2'500'000, 2'000'001);
    EXPECT_NEAR(50.0f, rate, 0.001f) << "200.0001 ms over 10 frames";
    fakeNow += 1'000'000;
    EXPECT_EQ(rate, meter.measure(fakeCounter)) << "holds between updates";
  }
  FrameMeter meter, unstarted;
  fakeFrequency = 1000;
  EXPECT_EQ(0.0f, tenFrames(meter, 5000, 200)) << "exactly 200 ms is not more than 200";
  fakeNow = 5250;
  EXPECT_FLOAT_EQ(1000.0f / (250.0f / 11.0f), meter.measure(fakeCounter));
  fakeFrequency = 0;  // no counter: the meter never starts
  EXPECT_EQ(0.0f, tenFrames(unstarted, 5000, 1000));
  EXPECT_EQ(0.0f, unstarted.counterFrequency);
}

using Texts = std::vector<std::string>;

Texts texts(const OverlayLayout& layout) {
  Texts out;
  for (std::size_t i = 0; i < layout.count; ++i) out.emplace_back(layout.items[i].text);
  return out;
}

OverlayLayout frameWith(bool info, bool fps, bool time, IntroBanner& banner) {
  return layOutOverlay({false, info, fps, time}, {1024, 768, 0.0f, {2006, 3, 0, 5, 9, 5, 3, 7}}, banner);
}

TEST(Overlay, SphereAnglesAtSpeed30AndTheBannerTimelineOnA1024PixelScreen) {
  SphereAngles angles;
  advanceSphereAngles(angles, 30 * 0.01f);
  EXPECT_NEAR(0.06f, angles.lunarAngle - 30.0f, 1e-5f);
  EXPECT_NEAR(0.12f, angles.earthAngle - 60.0f, 1e-5f);
  for (int i = 0; i < 20000; ++i) {
    advanceSphereAngles(angles, 30 * 0.01f);
    for (float angle : {angles.lunarAngle, angles.earthAngle}) ASSERT_TRUE(angle >= 0 && angle < 360) << angle;
  }
  angles = {359.75f, 359.5f};  // exactly 360 after a step at speed 125: that is 0
  advanceSphereAngles(angles, 1.25f);
  EXPECT_EQ((std::vector<float>{0.0f, 0.0f}), (std::vector<float>{angles.lunarAngle, angles.earthAngle}));
  IntroBanner banner;
  std::vector<std::int32_t> x{0};  // x[frame], frames counted from 1
  while (banner.introBannerActive && x.size() < 10000) x.push_back(advanceBanner(banner, 1024));
  ASSERT_EQ(3148u, x.size());  // frame 3147 is the last
  EXPECT_EQ((std::vector<std::int32_t>{1123, 11, 9, -1024}),
            (std::vector<std::int32_t>{x[1], x[1113], x[2114], x[3147]}));
  for (int i = 1114; i <= 2113; ++i) ASSERT_EQ(10, x[size_t(i)]) << i;
  EXPECT_EQ(-1024, advanceBanner(banner, 1024));  // gone for good
  EXPECT_TRUE(texts(frameWith(true, false, false, banner)).empty());
}

// The nearest whole factor of DPI / 96, halves rounding up; nothing a system reports makes it 0 or overflows.
TEST(Overlay, DisplayScaleIsTheNearestWholeFactor) {
  std::vector<std::int32_t> scales;
  for (std::uint32_t dpi : {0u, 96u, 120u, 143u, 144u, 192u, 239u, 240u, 288u, 0xFFFFFFFFu})
    scales.push_back(overlayScaleForDpi(dpi));
  EXPECT_EQ((std::vector<std::int32_t>{1, 1, 1, 1, 2, 2, 2, 3, 3, maxOverlayScale}), scales);
}

TEST(Overlay, WithoutInfoNeitherFrameRateNorClockAndTheBannerWaits) {
  IntroBanner banner;
  EXPECT_TRUE(texts(frameWith(false, true, true, banner)).empty()) << "FPS or time without info: nothing";
  EXPECT_FALSE(banner.bannerPlaced) << "the banner moves only in frames that draw it";
  EXPECT_EQ((Texts{"ORVANE - TAVRIN", "Moon: USGS  Earth: NASA"}), texts(frameWith(true, false, false, banner)));
}

// Text, shadow x, y, colour x, y and colour of each item, pixels from the lower-left corner of a 1024 x 768 screen.
using Placed = std::tuple<std::string, int, int, int, int, float, float, float>;
std::vector<Placed> placed(const OverlayLayout& layout) {
  std::vector<Placed> out;
  for (std::size_t i = 0; i < layout.count; ++i) {
    const OverlayItem& it = layout.items[i];
    out.emplace_back(it.text, it.shadowX, it.shadowY, it.colorX, it.colorY, it.color.red, it.color.green,
                     it.color.blue);
  }
  return out;
}

TEST(Overlay, EachTextsShadowAndColourCopyStandWhereTheyBelongTopToBottom) {
  IntroBanner banner;
  const std::vector<Placed> info = {{"ORVANE - TAVRIN", 1124, 29, 1123, 30, 0.5f, 0.5f, 0.9f},
                                    {"Moon: USGS  Earth: NASA", 1124, 9, 1123, 10, 0.8f, 0.8f, 0.8f},
                                    {"FPS:", 11, 743, 10, 742, 0.5f, 0.5f, 0.9f},
                                    {"0.00", 81, 743, 80, 742, 0.8f, 0.8f, 0.8f},
                                    {"09:05:03:007", 820, 743, 821, 742, 0.8f, 0.8f, 0.8f},
                                    {"05.03.2006", 853, 711, 854, 710, 0.8f, 0.8f, 0.8f},
                                    {"SUNDAY", 916, 727, 917, 726, 0.5f, 0.5f, 0.9f}};
  EXPECT_EQ(info, placed(frameWith(true, true, true, banner)));
  // Each day's name ends 12 pixels from the edge, Wednesday's the longest; a day outside 0..6 has none.
  const std::tuple<int, const char*, int> days[] = {{-1, "", 1012},      {0, "SUNDAY", 916},    {1, "MONDAY", 916},
                                                    {2, "TUESDAY", 900}, {3, "WEDNESDAY", 868}, {4, "THURSDAY", 884},
                                                    {5, "FRIDAY", 916},  {6, "SATURDAY", 884},  {7, "", 1012}};
  for (const auto& [day, name, x] : days) {
    const OverlayLayout clock = layOutOverlay({false, true, false, true}, {1024, 768, 0, {2006, 3, day}}, banner);
    EXPECT_EQ(Placed(name, x, 727, x + 1, 726, 0.5f, 0.5f, 0.9f), placed(clock).back()) << day;
  }
}

}  // namespace
