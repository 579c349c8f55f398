// The camera, the star layers, scene set-up and one frame on a real context:
// the look-at matrix, the state a star layer leaves, the textures, filters and
// fixed state that set-up makes from pictures made here, and a frame's
// balance of the model-view matrix.
#include <cmath>

#include "assets/rgb_image.h"
#include "assets/texture_loader.h"
#include "config/settings.h"
#include "tests/win/scene_gl_fixture.h"

namespace {

using scene_test::GlWindowTest;
using scene_test::Pixels;

void expectMatrixNear(const std::array<GLdouble, 16>& actual, const std::array<GLdouble, 16>& expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << "element " << i;
}

using SceneCamera = GlWindowTest;

TEST_F(SceneCamera, UpdateMultipliesTheLookAtOfItsPointsOntoTheModelView) {
  Camera testCamera;
  configureSceneCamera(testCamera, 1000.0f);  // the fastest speed: s = 0.001
  testCamera.randomize();
  glMatrixMode(GL_MODELVIEW);
  for (int frame = 0; frame < 3; ++frame) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -5.0f);
    const double eyeAngle = testCamera.eye.angle;
    testCamera.update();
    const auto moved = matrix(GL_MODELVIEW_MATRIX);
    const CameraPoint e = testCamera.eye.position;
    const CameraPoint t = testCamera.target.position;
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -5.0f);
    gluLookAt(e.x, e.y, e.z, t.x, t.y, t.z, 0.0, 1.0, 0.0);
    expectMatrixNear(moved, matrix(GL_MODELVIEW_MATRIX));
    // The points are those of this frame's angles; the step comes after.
    const CameraPoint expectedEye = pathPosition(PathMode::Rosette, PathRole::Eye, testCamera.eye.angle - 0.001, 0.2);
    EXPECT_NEAR(e.x, expectedEye.x, 1e-9);
    EXPECT_NEAR(e.y, expectedEye.y, 1e-9);
    EXPECT_NE(testCamera.eye.angle, eyeAngle);
  }
  EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
}

class SceneStars : public GlWindowTest {
 protected:
  void SetUp() override {
    GlWindowTest::SetUp();
    // From the centre of the star sphere, looking down -z.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 800.0 / 600.0, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  static int litPixels() {
    const Pixels p = readPixels(0, 0, 800, 600);
    int lit = 0;
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) lit += !p.black(x, y);
    }
    return lit;
  }
  // Enables or disables blending and point smoothing together.
  static void setBlendAndSmoothing(bool on) {
    if (on) {
      glEnable(GL_BLEND);
      glEnable(GL_POINT_SMOOTH);
    } else {
      glDisable(GL_BLEND);
      glDisable(GL_POINT_SMOOTH);
    }
  }
};

TEST_F(SceneStars, SmoothLayersEndWithBlendAndSmoothingOffPlainOnesLeaveThem) {
  StarLayer layer;
  ASSERT_TRUE(layer.generate(starFieldRadius, 20000, 2.2f, 1.0f, 0.5f, 0.25f));
  for (bool smooth : {true, false}) {
    layer.setSmooth(smooth);
    for (bool before : {true, false}) {
      setBlendAndSmoothing(before);
      glPointSize(5.0f);
      clearTo(0.0f, 0.0f, 0.0f);
      layer.draw();
      const bool expected = smooth ? false : before;
      EXPECT_EQ(enabled(GL_BLEND), expected) << smooth << before;
      EXPECT_EQ(enabled(GL_POINT_SMOOTH), expected) << smooth << before;
      EXPECT_EQ(floats(GL_POINT_SIZE)[0], 1.0f);
      EXPECT_FALSE(enabled(GL_VERTEX_ARRAY));
      EXPECT_EQ(floats(GL_CURRENT_COLOR), (std::array<GLfloat, 4>{1.0f, 0.5f, 0.25f, 1.0f}));
      // A sixth of the sphere is in view: a few thousand points.
      EXPECT_GT(litPixels(), 1000) << smooth << before;
    }
  }
}

TEST_F(SceneStars, ALayerWithoutStarsMakesNoGlCallOrDrawsNoPoints) {
  const std::array<GLfloat, 4> color{0.1f, 0.2f, 0.3f, 0.4f};
  StarLayer never;
  never.setSmooth(true);
  setBlendAndSmoothing(true);
  glBlendFunc(GL_ONE, GL_ONE);
  glPointSize(5.0f);
  glColor4fv(color.data());
  never.draw();
  // Any call of the draw would have set point size 1, the colour, or the
  // smoothing state.
  EXPECT_EQ(floats(GL_POINT_SIZE)[0], 5.0f);
  EXPECT_EQ(floats(GL_CURRENT_COLOR), color);
  EXPECT_TRUE(enabled(GL_BLEND) && enabled(GL_POINT_SMOOTH));
  EXPECT_EQ(integer(GL_BLEND_SRC), GL_ONE);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // A refused generation keeps count 0: the draw shows nothing.
  StarLayer refused;
  EXPECT_FALSE(refused.generate(starFieldRadius, 5000, 0.0f, 1.0f, 1.0f, 1.0f));
  refused.draw();
  EXPECT_EQ(litPixels(), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Set-up from pictures made here. Each decoded picture is B, G, R bytes.
class SceneSetUp : public GlWindowTest {
 protected:
  void SetUp() override {
    GlWindowTest::SetUp();
    savedSettings = settings;
    savedSizeMax = starPointSizeMax;
    settings.showEarth = settings.showStars = settings.smoothStars = true;
    settings.starsAmount = 10000;
    settings.randomCamera = false;
    settings.cameraSpeed = 30;
    computeDerivedRates(settings);
    settings.textureFiltration = 2;
    lunarBytes = solid(16, 8, {10, 20, 30});
    earthBytes = solid(8, 4, {200, 100, 50});  // blue in B, G, R
    glowBytes = solid(4, 4, {0, 0, 255});      // pure red in B, G, R
    atlasBytes.assign(256 * 256, 0);
    atlasBytes[0] = 77;
    lunarImage = {16, 8, lunarBytes.data()};
    earthImage = {8, 4, earthBytes.data()};
    glowImage = {4, 4, glowBytes.data()};
    atlasImage = {256, 256, atlasBytes.data()};
    lunarMap = &lunarImage;
    earthMap = &earthImage;
    sunGlowImage = &glowImage;
    fontAtlasImage = &atlasImage;
  }
  void TearDown() override {
    font.deleteLists();
    settings = savedSettings;
    starPointSizeMax = savedSizeMax;
    lunarMap = earthMap = sunGlowImage = fontAtlasImage = nullptr;
    GlWindowTest::TearDown();
  }
  static std::vector<std::uint8_t> solid(int width, int height, std::array<std::uint8_t, 3> bgr) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < width * height; ++i) bytes.insert(bytes.end(), bgr.begin(), bgr.end());
    return bytes;
  }
  // The first texel of level 0 as R, G, B.
  static std::array<std::uint8_t, 3> firstTexel(GLuint texture, int width, int height) {
    std::vector<std::uint8_t> texels(static_cast<std::size_t>(width) * height * 3);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return {texels[0], texels[1], texels[2]};
  }
  static GLint textureInteger(GLuint texture, GLenum name) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
  }
  static GLint levelWidth(GLuint texture, int level) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &value);
    return value;
  }

  Settings savedSettings;
  float savedSizeMax = 0.0f;
  std::vector<std::uint8_t> lunarBytes, earthBytes, glowBytes, atlasBytes;
  RgbImage lunarImage{}, earthImage{}, glowImage{}, atlasImage{};
};

TEST_F(SceneSetUp, PicturesGoUpInTheirChannelOrdersWithMipmapsAndChosenFilters) {
  const GLint minFilters[] = {GL_NEAREST, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR};
  for (int filtration = 0; filtration < 3; ++filtration) {
    settings.textureFiltration = filtration;
    setUpScene();
    for (GLuint texture : {lunarTexture, earthTexture, sunGlowTexture}) {
      EXPECT_EQ(textureInteger(texture, GL_TEXTURE_MIN_FILTER), minFilters[filtration]) << filtration;
      EXPECT_EQ(textureInteger(texture, GL_TEXTURE_MAG_FILTER), GL_LINEAR) << filtration;
    }
    // The font's atlas is linear whatever the setting.
    EXPECT_EQ(textureInteger(fontTexture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureInteger(fontTexture, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  }
  // The lunar map and the glow show red and blue exchanged; the Earth shows
  // its stored colours: a blue ocean stays blue, a red glow shows blue.
  EXPECT_EQ(firstTexel(lunarTexture, 16, 8), (std::array<std::uint8_t, 3>{10, 20, 30}));
  EXPECT_EQ(firstTexel(earthTexture, 8, 4), (std::array<std::uint8_t, 3>{50, 100, 200}));
  EXPECT_EQ(firstTexel(sunGlowTexture, 4, 4), (std::array<std::uint8_t, 3>{0, 0, 255}));
  EXPECT_EQ(levelWidth(lunarTexture, 1), 8);
  EXPECT_EQ(levelWidth(lunarTexture, 4), 1);
  EXPECT_EQ(levelWidth(fontTexture, 1), 0);  // no mipmaps for the atlas
  GLint atlasFormat = 0;
  glBindTexture(GL_TEXTURE_2D, fontTexture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &atlasFormat);
  EXPECT_TRUE(atlasFormat == 1 || atlasFormat == GL_LUMINANCE || atlasFormat == GL_LUMINANCE8) << atlasFormat;
  std::vector<std::uint8_t> atlasBack(256 * 256);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, atlasBack.data());
  EXPECT_EQ(atlasBack[0], 77);
  EXPECT_EQ(font.texture(), fontTexture);
  EXPECT_TRUE(font.listsBuilt());
}

TEST_F(SceneSetUp, FixesTheRunsStateAimsTheCameraAndFillsTheStarLayers) {
  settings.smoothStars = false;
  setUpScene();
  for (GLenum on : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_CULL_FACE}) {
    EXPECT_TRUE(enabled(on)) << on;
  }
  for (GLenum off : {GL_TEXTURE_2D, GL_BLEND, GL_POINT_SMOOTH}) EXPECT_FALSE(enabled(off)) << off;
  EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LESS);
  EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
  EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
  EXPECT_EQ(integer(GL_LIGHT_MODEL_LOCAL_VIEWER), GL_TRUE);
  EXPECT_EQ(integer(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
  EXPECT_EQ(integer(GL_POINT_SMOOTH_HINT), GL_NICEST);
  EXPECT_NE(lunarQuadric, nullptr);
  EXPECT_NE(earthQuadric, nullptr);

  EXPECT_EQ(camera.target.mode, PathMode::Viviani);
  EXPECT_EQ(camera.eye.mode, PathMode::Rosette);
  EXPECT_DOUBLE_EQ(camera.target.radius, 1.4);
  EXPECT_DOUBLE_EQ(camera.eye.radius, 0.2);
  EXPECT_NEAR(camera.eye.step, 0.0003, 1e-12);
  EXPECT_EQ(camera.eye.angle, 0.0);

  const StarLayer* layers[] = {&smallStars, &mediumStars, &largeStars};
  const int counts[] = {8500, 1000, 500};
  const float sizes[] = {0.1f, 1.15f, 2.2f};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(layers[i]->count(), counts[i]);
    EXPECT_FLOAT_EQ(layers[i]->pointSize(), sizes[i]);
    EXPECT_FLOAT_EQ(layers[i]->radius(), starFieldRadius);
    EXPECT_FALSE(layers[i]->smooth());
  }

  // The preview's overrides: 3000 stars, all of the smallest size.
  applyPreviewOverrides();
  settings.smoothStars = true;
  setUpScene();
  const int previewCounts[] = {2550, 300, 150};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(layers[i]->count(), previewCounts[i]);
    EXPECT_FLOAT_EQ(layers[i]->pointSize(), 0.1f);
    EXPECT_TRUE(layers[i]->smooth());
  }
}

TEST_F(SceneSetUp, AFrameReturnsToTheProjectionsBaseAndLeavesNoTexturingOrBlending) {
  setUpScene();
  setUpProjection(800, 600);
  screenWidth = 800;
  screenHeight = 600;
  const auto base = matrix(GL_MODELVIEW_MATRIX);
  for (int frame = 0; frame < 3; ++frame) renderFrame();
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
  EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), 1);
  expectMatrixNear(matrix(GL_MODELVIEW_MATRIX), base);
  EXPECT_FALSE(enabled(GL_TEXTURE_2D));
  EXPECT_FALSE(enabled(GL_BLEND));
  EXPECT_TRUE(enabled(GL_LIGHTING));
  EXPECT_TRUE(enabled(GL_DEPTH_TEST));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // The lunar sphere fills the middle of the view: the made lunar map's
  // colour, lit from the left (the +z side), shows there.
  const Pixels middle = readPixels(300, 300, 1, 1);
  EXPECT_GT(middle.red(0, 0), 0);
}

}  // namespace
