// The scene under Wine: camera, star layers and font on a real context here (fresh per test), by pixels drawn and state
// left; the real saver's frames from tavrin_probe.scr, full screen (1024 x 768) and in a preview: with the camera
// still the moon (radius about 190) stands in the middle, lit on the left; at frame 500 the Earth (32) at (840, 372).
#include <gtest/gtest.h>
#include <windows.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "scene/overlay.h"
#include "scene/scene_win.h"
#include "tools/harness/harness_win.h"

using namespace harness;
using Texts = std::vector<std::string>;

namespace {

// The back buffer as RGB bytes, rows bottom-up like GL's window coordinates.
struct Pixels {
  int width;
  std::vector<std::uint8_t> rgb;
  int red(int x, int y) const { return rgb[(std::size_t(y) * width + x) * 3]; }
  int lit() const {  // pixels not black
    int count = 0;
    for (std::size_t i = 0; i < rgb.size(); i += 3) count += (rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0;
    return count;
  }
};

class GlTest : public ::testing::Test {
 protected:
  // Windows stay: without a window manager Wine waits 2 s for each destroyed one.
  void SetUp() override {
    scene.saverWindow = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, 0, 0, 0, 0);
    ASSERT_TRUE(scene.saverWindow && createRenderingContext(scene));
    glViewport(0, 0, 800, 600);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void TearDown() override { releaseRenderingContext(scene); }

  static Pixels read(int x, int y, int width, int height) {
    Pixels pixels{width, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.rgb.data());
    return pixels;
  }
  static bool on(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }
  Scene scene;  // its rendering context only
  // Any state as doubles (GL converts), up to a whole matrix.
  static std::array<GLdouble, 16> state(GLenum name) {
    std::array<GLdouble, 16> value{};
    glGetDoublev(name, value.data());
    return value;
  }
};

TEST_F(GlTest, SmoothLayersEndWithBlendAndSmoothingOffPlainOnesLeaveThem) {
  glMatrixMode(GL_PROJECTION);
  gluPerspective(90.0, 800.0 / 600.0, 1.0, 100.0);  // from the centre of the star sphere, looking down -z
  glMatrixMode(GL_MODELVIEW);
  StarLayer layer;
  ASSERT_TRUE(layer.generate(starFieldRadius, 20000, 2.2f, 1.0f, 0.5f, 0.25f));
  for (int smooth = 0; smooth < 2; ++smooth) {
    for (int before = 0; before < 2; ++before) {
      layer.setSmooth(smooth);
      for (GLenum capability : {GL_BLEND, GL_POINT_SMOOTH}) before ? glEnable(capability) : glDisable(capability);
      glPointSize(5.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      layer.draw();
      EXPECT_EQ(on(GL_BLEND) + on(GL_POINT_SMOOTH), !smooth && before ? 2 : 0) << smooth << before;
      EXPECT_EQ(state(GL_POINT_SIZE)[0], 1.0);
      EXPECT_FALSE(on(GL_VERTEX_ARRAY));
      EXPECT_GT(read(0, 0, 800, 600).lit(), 1000) << "a sixth of the sphere in view: thousands of points";
    }
  }
}

// Every cell lit but the space's (glyph 0, top left): white text shows 255 wherever another glyph stands.
class SceneFont : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    std::vector<std::uint8_t> bytes(256 * 256, 255);
    for (int row = 240; row < 256; ++row) std::fill_n(&bytes[row * 256], 16, 0);
    GLuint texture = 0;  // uploaded as the scene uploads the atlas
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 1, 256, 256, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, bytes.data());
    font.init(texture);
  }
  BitmapFont font;
};

TEST_F(SceneFont, PutsBackTheEnablesPolygonModesAndMatrices) {
  const GLenum capabilities[] = {GL_DEPTH_TEST, GL_LIGHTING, GL_TEXTURE_2D, GL_BLEND};
  glMatrixMode(GL_PROJECTION);
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0.0f, 0.0f, -5.0f);
  glPushMatrix();
  glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
  const auto projection = state(GL_PROJECTION_MATRIX), modelView = state(GL_MODELVIEW_MATRIX);
  // Polygon modes come back as they were; the text itself is drawn filled whatever the state.
  glPolygonMode(GL_FRONT, GL_LINE);
  glPolygonMode(GL_BACK, GL_POINT);
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);  // grey under the text: its mask pass takes it away, the colour stays pure
  for (int mask = 0; mask < 16; ++mask) {
    for (int i = 0; i < 4; ++i) (mask >> i & 1) ? glEnable(capabilities[i]) : glDisable(capabilities[i]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    font.print(1.0f, 0.0f, 0.0f, 10, 10, 0, "Hi %d", mask);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(on(capabilities[i]), (mask >> i & 1) != 0) << mask << ": " << i;
    EXPECT_EQ(state(GL_POLYGON_MODE), (std::array<GLdouble, 16>{GL_LINE, GL_POINT}));
    EXPECT_EQ(state(GL_PROJECTION_STACK_DEPTH)[0], 1);
    EXPECT_EQ(state(GL_MODELVIEW_STACK_DEPTH)[0], 2);
    EXPECT_EQ(state(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(state(GL_MODELVIEW_MATRIX), modelView);
    EXPECT_EQ(read(14, 14, 1, 1).rgb, (std::vector<std::uint8_t>{255, 0, 0})) << mask;
  }
}

// Every printable character is drawn, '~' the last; any other byte is a space.
TEST_F(SceneFont, PrintableCharactersAreDrawnAndOtherBytesAreSpaces) {
  font.print(1.0f, 1.0f, 1.0f, 0, 0, 0, "%s", "!~ \x7f\x1f\xff");
  std::vector<int> cells;  // the middle of each glyph's cell
  for (int k = 0; k < 6; ++k) cells.push_back(read(16 * k + 8, 8, 1, 1).red(0, 0));
  EXPECT_EQ(cells, (std::vector<int>{255, 255, 0, 0, 0, 0}));
}

constexpr int screenW = 1024, screenH = 768;
const RECT litSide = {360, 320, 480, 450}, nightSide = {560, 320, 660, 450}, earthBox = {790, 330, 900, 420};
const RECT skyLeft = {20, 80, 300, 660}, skyRight = {720, 430, 1004, 660};  // clear of the spheres and texts
const auto* const glyphs = static_cast<const std::uint8_t*>(
    LockResource(LoadResource(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(106), "DATAPACK"))));

struct AreaStats {
  double mean = 0, deviation = 0, redMinusBlue = 0;
  int maximum = 0, lit = 0, bright = 0;  // pixels with a channel above 15, with luma from 60
};

AreaStats areaStats(const Screenshot& s, const RECT& r) {
  AreaStats a;
  double squares = 0;
  const int width = r.right - r.left;
  const double count = width * (r.bottom - r.top);
  for (int p = 0; p < count; ++p) {
    const int x = r.left + p % width, y = r.top + p / width;
    const int luma = (s.red(x, y) * 3 + s.green(x, y) * 6 + s.blue(x, y)) / 10,
              top = std::max({s.red(x, y), s.green(x, y), s.blue(x, y)});
    a.mean += luma / count;
    squares += luma * luma / count;
    a.redMinusBlue += (s.red(x, y) - s.blue(x, y)) / count;
    a.maximum = std::max(a.maximum, top);
    a.lit += top > 15;
    a.bright += luma >= 60;
  }
  a.deviation = std::sqrt(std::max(0.0, squares - a.mean * a.mean));
  return a;
}

// What the overlay's prints make of the atlas on black (RGB 0..1, top-down): each darkens by luminance L, adds L x c.
// At scale f each atlas texel covers f x f pixels, as a sharp enlargement draws it.
struct ExpectedText {
  int width, height, f = 1;
  std::vector<float> rgb = std::vector<float>(std::size_t(width) * height * 3);

  // One item at GL positions (from the lower-left corner): the shadow, then the coloured copy.
  void item(const char* text, int shadowX, int shadowY, int colorX, int colorY, TextColor color) {
    for (const auto& [x, y, c] : {std::tuple{shadowX, shadowY, shadowColor}, std::tuple{colorX, colorY, color}}) {
      for (int k = 0; text[k] != '\0'; ++k) {
        const int glyph = static_cast<unsigned char>(text[k]) - 32;  // glyph set 0
        for (int p = 0; p < 256 * f * f; ++p) {                      // column i of glyph row j, its pixel a, b
          const int i = p / f % 16, j = p / f / 16 / f, a = p % f, b = p / (16 * f) % f;
          const int px = x + (16 * k + i) * f + a, py = height - 1 - (y + j * f + b);
          if (px < 0 || py < 0 || px >= width || py >= height) continue;
          const float l = glyphs[(256 - (glyph / 16 + 1) * 16 + j) * 256 + glyph % 16 * 16 + i] / 255.0f;
          float* d = &rgb[(std::size_t(py) * width + px) * 3];
          const float shade[3] = {c.red, c.green, c.blue};
          for (int ch = 0; ch < 3; ++ch) d[ch] = l * shade[ch] + d[ch] * (1.0f - l) * (1.0f - l * shade[ch]);
        }
      }
    }
  }
  // Share of the box's pixels within 8 of the expected picture.
  double match(const Screenshot& s, const RECT& box) const {
    const int boxWidth = box.right - box.left, count = boxWidth * (box.bottom - box.top);
    int good = 0;
    for (int p = 0; p < count; ++p) {
      const int x = box.left + p % boxWidth, y = box.top + p / boxWidth;
      const float* e = &rgb[(std::size_t(y) * width + x) * 3];
      good += std::max({std::abs(s.red(x, y) - e[0] * 255), std::abs(s.green(x, y) - e[1] * 255),
                        std::abs(s.blue(x, y) - e[2] * 255)}) <= 8;
    }
    return good / double(count);
  }
};

// The overlay's whole factor on this session's display (wine-run-dpi.sh sets its DPI): 96, 144 and 192 give 1, 2, 2.
int displayScale() {
  DWORD dpi = 96, size = sizeof dpi;
  RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", RRF_RT_REG_DWORD, nullptr, &dpi, &size);
  return dpi < 144 ? 1 : 2;
}

// A frame of tavrin_probe.scr with a still camera, kept as `name`.bmp to look at.
bool probeFrame(const std::string& arguments, DWORD showStars, DWORD showEarth, int number, const std::string& name,
                Screenshot& out, SYSTEMTIME& time) {
  writeDefaultSettings(
      {{"Random Camera", 0}, {"Camera Speed", 1}, {"Show Stars", showStars}, {"Show Earth", showEarth}});
  return harness::probeFrame(arguments, number, out, time) && out.saveBmp(siblingPath((name + ".bmp").c_str()));
}

// Frame 500 with stars and the Earth, then without either.
TEST(SaverPicture, MoonStarsEarthAndTheOverlayAndWithoutStarsOrEarthNoneOfThem) {
  Screenshot all, none;
  SYSTEMTIME t = {};
  ASSERT_TRUE(probeFrame("/s", 1, 1, 500, "scene-full", all, t));
  ASSERT_TRUE(probeFrame("/s", 0, 0, 500, "scene-bare", none, t));
  ASSERT_TRUE(all.width == screenW && all.height == screenH && none.bgr.size() == all.bgr.size()) << all.width;
  // A grey surface with detail, lit on the left; faint starlight on the right.
  const AreaStats lit = areaStats(all, litSide), night = areaStats(all, nightSide);
  EXPECT_GT(lit.mean, 40.0);
  EXPECT_GT(lit.deviation, 6.0) << "a flat surface: no texture";
  EXPECT_GT(lit.redMinusBlue, 1.0) << "the lunar map goes up as RGB: its bluish grey shows warm";
  EXPECT_LT(lit.redMinusBlue, 10.0) << "not grey";
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

  // "FPS:" (its value unknown), the clock and the banner in place, every offset and glyph f times its 96 DPI size;
  // the banner scrolls over a screen f times narrower, from its right edge + 99 (frame 500 at 1123 - 499 when f = 1).
  const int f = displayScale(), w = screenW, h = screenH, d = weekdayOffset(t.wDayOfWeek), x = (w / f + 100 - 500) * f;
  char time[16], date[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d:%03d", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  std::snprintf(date, sizeof date, "%02d.%02d.%d", t.wDay, t.wMonth, t.wYear);
  ExpectedText overlay{w, h, f};
  overlay.item("FPS:", 11 * f, h - 25 * f, 10 * f, h - 26 * f, titleBlue);
  overlay.item(time, w - 204 * f, h - 25 * f, w - 203 * f, h - 26 * f, textGrey);
  overlay.item(date, w - 171 * f, h - 57 * f, w - 170 * f, h - 58 * f, textGrey);
  overlay.item(weekdayName(t.wDayOfWeek), w - d * f, h - 41 * f, w - (d - 1) * f, h - 42 * f, titleBlue);
  overlay.item("ORVANE - TAVRIN", x + f, 29 * f, x, 30 * f, titleBlue);
  overlay.item("Moon: USGS  Earth: NASA", x + f, 9 * f, x, 10 * f, textGrey);
  EXPECT_GT(overlay.match(none, {0, 0, 80 * f, 62 * f}), 0.998);
  EXPECT_GT(overlay.match(none, {w - 220 * f, 0, w, 62 * f}), 0.998);
  EXPECT_GT(overlay.match(none, {0, h - 62 * f, w, h}), 0.998);
}

// The first frame as GL has it, for each "Texture Filtartion" (and "Texture Quality" alike): the pack of the quality
// chosen, each picture at its own width and height (the maps are 2:1), filtered as chosen and magnified linearly, the
// font always linear; 9999 stars in three layers of their sizes, all three smooth; the camera at its starting place
// (the eye on its rosette at 2 pi + one step, looking at the Viviani curve's start, as with Random Camera off every
// run starts); drawn in the back buffer of a double-buffered format, presented by SwapBuffers; frames every 10 ms.
TEST(SaverSetUp, PacksFiltersStarLayersCameraAndBuffersAsGlHasThem) {
  const std::string log = siblingPath("setup-probe.log"), minFilters[] = {"2600", "2601", "2703"};
  const std::pair<const char*, const char*> sizes[] = {{"1024 512", "128 64"}, {"2048 1024", "256 128"},
                                                       {"4096 2048", "512 256"}};
  for (DWORD choice : {0, 1, 2}) {
    writeDefaultSettings({{"Texture Quality", choice},
                          {"Texture Filtartion", choice},
                          {"Stars Amount", 9999},
                          {"Random Camera", 0}});
    DeleteFileA(log.c_str());
    ChildProcess saver;
    ASSERT_TRUE(saver.start("/s", siblingPath("tavrin_probe.scr"), {{"TAVRIN_PROBE_LOG", log}}));
    ASSERT_TRUE(waitUntil([&] { return linesStartingWith(log, "texture ").size() == 4; }, 30000));
    const std::string m = " 0 " + minFilters[choice] + " 2601";
    EXPECT_EQ(linesStartingWith(log, "texture "),
              (Texts{"texture 256 256 1 2601 2601", std::string("texture ") + sizes[choice].first + m,
                     std::string("texture ") + sizes[choice].second + m, "texture 256 256" + m}));
    EXPECT_EQ(linesStartingWith(log, "points "), (Texts{"points 8499 0.1 1", "points 999 1.15 1", "points 499 2.2 1"}));
    EXPECT_EQ(linesStartingWith(log, "look "), Texts{"look 4.4 0.00216 0.00023946 2.8 0 0"});
    EXPECT_EQ(linesStartingWith(log, "buffers "), Texts{"buffers 1 405"});
    EXPECT_EQ(linesStartingWith(log, "timer "), Texts{"timer 1 10"});
    EXPECT_EQ(saver.endWithKey(waitForSaverWindow(saver.id(), 1000)), 0);
  }
}

// Frame 2600 of the fastest still camera in a 320 x 240 preview, whatever is stored: few fine stars (plain points, as
// "Smooth Stars" says), the smallest pictures, no texts but the logo, the registry left as it was; the sun glow where
// it stands at that frame (876, 122 of 1024 x 768), white x (1, 1, 0.8) at its centre with a warm rim (the pack stores
// it pale blue, red and blue exchanged: uploaded as BGR it would show cold).
TEST(PreviewPicture, PreviewSettingsAndTheSunGlowAtItsPlace) {
  const std::pair<const char*, DWORD> stored[] = {
      {"Random Camera", 0}, {"Camera Speed", 100}, {"Stars Amount", 30000}, {"Texture Quality", 2},
      {"Show Info", 1},     {"Show Earth", 0},     {"Smooth Stars", 0}};
  writeDefaultSettings({stored[0], stored[1], stored[2], stored[3], stored[4], stored[5], stored[6]});
  const std::string log = siblingPath("preview-probe.log");
  DeleteFileA(log.c_str());
  SetEnvironmentVariableA("TAVRIN_PROBE_LOG", log.c_str());
  HWND parent = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, 320,
                                240, nullptr, nullptr, nullptr, nullptr);
  Screenshot s;
  SYSTEMTIME ignored;
  ASSERT_TRUE(harness::probeFrame("/p " + std::to_string(uintptr_t(parent)), 2600, s, ignored));
  SetEnvironmentVariableA("TAVRIN_PROBE_LOG", nullptr);
  s.saveBmp(siblingPath("scene-glow.bmp"));
  EXPECT_EQ(linesStartingWith(log, "points "), (Texts{"points 2550 0.1 0", "points 300 0.1 0", "points 150 0.1 0"}));
  EXPECT_EQ(linesStartingWith(log, "resource "), (Texts{"resource 107", "resource 106", "resource 105"}));
  for (const auto& [name, value] : stored) EXPECT_EQ(storedSetting(name), value) << name;
  const int x = 876 * 320 / 1024, y = 122 * 240 / 768;
  EXPECT_NEAR(s.red(x, y), 255, 6);
  EXPECT_NEAR(s.green(x, y), 255, 6);
  EXPECT_NEAR(s.blue(x, y), 204, 6);
  EXPECT_GT(s.red(x + 6, y) - s.blue(x + 6, y), 60) << "a warm rim";
}

// The preview in a window standing in for the control panel's, wide enough to keep the moon clear.
TEST(PreviewPicture, LogoWithoutFrameRateOrClock) {
  constexpr int width = 800, height = 200;
  HWND parent = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, width,
                                height, nullptr, nullptr, nullptr, nullptr);
  Screenshot s;
  SYSTEMTIME ignored;
  ASSERT_TRUE(probeFrame("/p " + std::to_string(uintptr_t(parent)), 0, 1, 60, "scene-preview", s, ignored));
  ASSERT_TRUE(s.width == width && s.height == height) << "the parent's client area, whatever the display's scale";
  const int f = displayScale();
  ExpectedText logo{width, height, f};
  for (const LogoLetter& letter : logoLetters) {
    const char text[2] = {letter.letter, '\0'};
    logo.item(text, letter.shadowX * f, height - 20 * f, letter.colorX * f, height - 19 * f, titleBlue);
  }
  logo.item("TAVRIN", 7 * f, 4 * f, 6 * f, 5 * f, textGrey);
  EXPECT_GT(logo.match(s, {0, 0, 170 * f, 45 * f}), 0.998);
  EXPECT_GT(logo.match(s, {0, height - 40 * f, 170 * f, height}), 0.998);
  EXPECT_EQ(areaStats(s, {width - 210, 0, width, 70}).maximum, 0) << "where the clock would stand";
  EXPECT_GT(areaStats(s, {width / 2 - 30, height / 2 - 10, width / 2 - 10, height / 2 + 10}).mean, 20.0) << "moon";
}

}  // namespace
