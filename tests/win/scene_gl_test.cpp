// The camera, star layers and bitmap font on a real context in this process,
// by the pixels they draw and the state they leave; a fresh context per test.
#include <gtest/gtest.h>
#include <windows.h>

#include <GL/gl.h>

#include <array>
#include <utility>
#include <vector>

#include "scene/scene.h"

namespace {

// The back buffer as RGB bytes, rows bottom-up like GL's window coordinates.
struct Pixels {
  int width;
  std::vector<std::uint8_t> rgb;
  int red(int x, int y) const { return rgb[(std::size_t(y) * width + x) * 3]; }
  int lit() const {
    int count = 0;
    for (std::size_t i = 0; i < rgb.size(); i += 3) count += (rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0;
    return count;
  }
  std::pair<int, int> litSpan(int y) const {  // first and last red x of a row, -1 when none
    std::pair<int, int> span{-1, -1};
    for (int x = 0; x < width; ++x) span = red(x, y) ? std::make_pair(span.first < 0 ? x : span.first, x) : span;
    return span;
  }
};

class GlTest : public ::testing::Test {
 protected:
  // Windows stay: without a window manager Wine waits 2 s for each destroyed one.
  void SetUp() override {
    saverWindow = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, 0, 0, 0, 0);
    ASSERT_TRUE(saverWindow && createRenderingContext());
    glViewport(0, 0, 800, 600);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void TearDown() override { releaseRenderingContext(); }

  static Pixels read(int x, int y, int width, int height) {
    Pixels pixels{width, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.rgb.data());
    return pixels;
  }
  static bool on(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }
  // Any state as doubles (GL converts), up to a whole matrix.
  static std::array<GLdouble, 16> state(GLenum name) {
    std::array<GLdouble, 16> value{};
    glGetDoublev(name, value.data());
    return value;
  }
};

using SceneCamera = GlTest;

TEST_F(SceneCamera, UpdateMultipliesTheLookAtOfItsPointsOntoTheModelView) {
  Camera moving;
  configureSceneCamera(moving, 1000.0f);  // the fastest speed
  moving.randomize();
  for (int frame = 0; frame < 3; ++frame) {
    std::array<GLdouble, 16> matrices[2];  // after the update, and from gluLookAt of its points
    for (int pass = 0; pass < 2; ++pass) {
      glLoadIdentity();
      glTranslatef(0.0f, 0.0f, -5.0f);
      const CameraPoint e = moving.eye.position, t = moving.target.position;
      pass == 0 ? moving.update() : gluLookAt(e.x, e.y, e.z, t.x, t.y, t.z, 0.0, 1.0, 0.0);
      matrices[pass] = state(GL_MODELVIEW_MATRIX);
    }
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(matrices[0][i], matrices[1][i], 1e-6) << frame << ": " << i;
  }
}

using SceneStars = GlTest;

TEST_F(SceneStars, NoCallWithoutStarsSmoothLayersEndWithBlendAndSmoothingOffPlainOnesLeaveThem) {
  StarLayer never, refused;
  never.setSmooth(true);
  for (GLenum capability : {GL_BLEND, GL_POINT_SMOOTH}) glEnable(capability);
  glPointSize(5.0f);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  never.draw();
  // Any call of the draw would set point size 1, the colour or the smoothing.
  EXPECT_EQ(state(GL_POINT_SIZE)[0], 5.0);
  EXPECT_EQ(state(GL_CURRENT_COLOR), (std::array<GLdouble, 16>{0.1f, 0.2f, 0.3f, 0.4f}));
  EXPECT_TRUE(on(GL_BLEND) && on(GL_POINT_SMOOTH));
  EXPECT_FALSE(refused.generate(starFieldRadius, 5000, 0.0f, 1.0f, 1.0f, 1.0f));
  refused.draw();
  EXPECT_EQ(read(0, 0, 800, 600).lit(), 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
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

// Set 0 (stored rows 128..255) lit but for its space, set 1 at half: white text shows 255 or 128.
class SceneFont : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    std::vector<std::uint8_t> bytes(256 * 256, 255);
    std::fill_n(bytes.begin(), 128 * 256, 128);
    for (int row = 240; row < 256; ++row) std::fill_n(&bytes[row * 256], 16, 0);  // the top-left cell
    GLuint texture = 0;  // uploaded as the scene uploads the atlas
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 1, 256, 256, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, bytes.data());
    split.init(texture);
  }
  BitmapFont split;
};

TEST_F(SceneFont, TextCoversSixteenPixelCellsFromItsLowerLeftCornerAndAnySetAboveOneIsSetOne) {
  split.print(1.0f, 0.0f, 0.0f, 10, 20, 0, "A");
  split.print(1.0f, 1.0f, 1.0f, 10, 100, 0, "W. i");  // four characters, whatever they are
  const std::uint32_t sets[] = {0, 1, 2, 7, 0xFFFFFFFFu};
  for (int i = 0; i < 5; ++i) split.print(1.0f, 1.0f, 1.0f, 10 + 20 * i, 60, sets[i], "A");
  const Pixels p = read(0, 0, 120, 101);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(p.red(18 + 20 * i, 68), i == 0 ? 255 : 128, 1) << "set " << sets[i];
  // The quad spans 10..26 x 20..36: pixels 10..25 by 20..35, and nothing around.
  EXPECT_EQ(read(9, 19, 18, 18).lit(), 16 * 16);
  for (int y = 20; y < 36; ++y) {
    for (int x = 10; x < 26; ++x) ASSERT_EQ(p.red(x, y), 255) << x << "," << y;
  }
  EXPECT_EQ(p.litSpan(100), std::make_pair(10, 73));
}

TEST_F(SceneFont, ANullFormatDrawsNothingAndChangesNoState) {
  glMatrixMode(GL_PROJECTION);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  glBindTexture(GL_TEXTURE_2D, 0);
  glListBase(5);
  split.print(1.0f, 1.0f, 1.0f, 10, 10, 0, nullptr);
  EXPECT_EQ(state(GL_MATRIX_MODE)[0], GL_PROJECTION);
  EXPECT_EQ(state(GL_CURRENT_COLOR), (std::array<GLdouble, 16>{0.1f, 0.2f, 0.3f, 0.4f}));
  EXPECT_EQ(state(GL_LIST_BASE)[0], 5);
  EXPECT_EQ(read(0, 0, 40, 40).lit(), 0);
}

TEST_F(SceneFont, TheViewIs800By600UntilSetViewSize) {
  // A 400 x 300 viewport halves the text space: (400, 300) is pixel (200, 150), a glyph 8 wide.
  glViewport(0, 0, 400, 300);
  split.print(1.0f, 1.0f, 1.0f, 400, 300, 0, "AB");
  EXPECT_EQ(read(0, 153, 400, 1).litSpan(0), std::make_pair(200, 215));
  split.setViewSize(400, 300);
  split.print(1.0f, 1.0f, 1.0f, 100, 50, 0, "AB");
  EXPECT_EQ(read(0, 55, 400, 1).litSpan(0), std::make_pair(100, 131));
}

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
  for (int mask = 0; mask < 16; ++mask) {
    for (int i = 0; i < 4; ++i) (mask >> i & 1) ? glEnable(capabilities[i]) : glDisable(capabilities[i]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    split.print(1.0f, 1.0f, 1.0f, 10, 10, 0, "Hi %d", mask);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(on(capabilities[i]), (mask >> i & 1) != 0) << mask << ": " << i;
    EXPECT_EQ(state(GL_POLYGON_MODE), (std::array<GLdouble, 16>{GL_LINE, GL_POINT}));
    EXPECT_EQ(state(GL_PROJECTION_STACK_DEPTH)[0], 1);
    EXPECT_EQ(state(GL_MODELVIEW_STACK_DEPTH)[0], 2);
    EXPECT_TRUE(state(GL_PROJECTION_MATRIX) == projection && state(GL_MODELVIEW_MATRIX) == modelView);
    EXPECT_EQ(read(14, 14, 1, 1).red(0, 0), 255) << mask;
  }
}

}  // namespace
