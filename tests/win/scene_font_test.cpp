// The bitmap font on a real context, checked by the pixels it draws and the
// GL state it leaves: cell placement and advance, the atlas orientation, the
// two glyph sets, the 800 x 600 default view, truncation, odd bytes, and the
// state that a text call puts back.
#include <string>

#include "tests/win/scene_gl_fixture.h"

namespace {

using scene_test::GlWindowTest;
using scene_test::Pixels;

class SceneFont : public GlWindowTest {
 protected:
  void SetUp() override {
    GlWindowTest::SetUp();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  void TearDown() override {
    font.deleteLists();
    GlWindowTest::TearDown();
  }

  // Set 0 (the upper half of the picture, stored rows 128..255) fully lit,
  // set 1 at half luminance: on black, a white text shows 255 or 128.
  void useSplitAtlas() {
    std::vector<std::uint8_t> bytes(256 * 256, 255);
    std::fill(bytes.begin(), bytes.begin() + 128 * 256, 128);
    font.init(luminanceTexture(bytes.data()));
  }
  void useGlyphAtlas() {
    atlas = scene_test::glyphAtlas();
    ASSERT_NE(atlas, nullptr);
    font.init(luminanceTexture(atlas));
  }
  // The first and last lit x of one row (-1 when none is lit).
  static std::pair<int, int> litSpan(const Pixels& row, int y) {
    int first = -1, last = -1;
    for (int x = 0; x < row.width; ++x) {
      if (row.black(x, y)) continue;
      if (first < 0) first = x;
      last = x;
    }
    return {first, last};
  }

  BitmapFont font;
  const std::uint8_t* atlas = nullptr;
};

TEST_F(SceneFont, TextCoversSixteenPixelCellsFromItsLowerLeftCorner) {
  useSplitAtlas();
  font.print(1.0f, 0.0f, 0.0f, 10, 20, 0, "A");
  // The quad spans 10..26 x 20..36: pixels 10..25 and 20..35 are inside.
  const Pixels p = readPixels(0, 0, 60, 60);
  for (int y = 20; y < 36; ++y) {
    for (int x = 10; x < 26; ++x) {
      ASSERT_EQ(p.red(x, y), 255) << x << "," << y;
      ASSERT_EQ(p.green(x, y) + p.blue(x, y), 0) << x << "," << y;
    }
  }
  for (int i = 9; i <= 26; ++i) {
    EXPECT_TRUE(p.black(i, 19) && p.black(i, 36)) << i;           // rows just below and above
    EXPECT_TRUE(p.black(9, i + 10) && p.black(26, i + 10)) << i;  // columns just left and right
  }

  // Four characters at x = 10 end at 74, whatever the characters.
  font.print(1.0f, 1.0f, 1.0f, 10, 100, 0, "W. i");
  const Pixels row = readPixels(0, 100, 100, 1);
  EXPECT_EQ(litSpan(row, 0), std::make_pair(10, 73));
}

TEST_F(SceneFont, GlyphsStandUprightAsInTheirAtlasCell) {
  useGlyphAtlas();
  font.print(1.0f, 1.0f, 1.0f, 100, 100, 0, "A");
  font.print(1.0f, 1.0f, 1.0f, 200, 100, 1, "g");
  const Pixels p = readPixels(0, 0, 300, 200);
  // "A" of set 0 is glyph 33: cell column 1, cell row 2 from the top, whose
  // bottom is stored row 256 - 3 x 16. "g" of set 1 is glyph 128 + 71 = 199:
  // column 7, row 12, bottom stored row 256 - 13 x 16.
  struct Case {
    int screenX, column, bottomRow;
  };
  int lit = 0;
  for (const Case& c : {Case{100, 16, 208}, Case{200, 7 * 16, 48}}) {
    for (int j = 0; j < 16; ++j) {
      for (int i = 0; i < 16; ++i) {
        const int expected = atlas[(c.bottomRow + j) * 256 + c.column + i];
        ASSERT_NEAR(p.red(c.screenX + i, 100 + j), expected, 2) << c.screenX << ": " << i << "," << j;
        lit += expected > 128;
      }
    }
  }
  EXPECT_GT(lit, 40);  // real glyph shapes, not empty cells
}

TEST_F(SceneFont, AnyGlyphSetAboveOneDrawsSetOne) {
  useSplitAtlas();
  const std::uint32_t sets[] = {0, 1, 2, 7, 0xFFFFFFFFu};
  const int expected[] = {255, 128, 128, 128, 128};
  for (int i = 0; i < 5; ++i) {
    font.print(1.0f, 1.0f, 1.0f, 10 + 20 * i, 10, sets[i], "A");
  }
  const Pixels p = readPixels(0, 0, 120, 30);
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(p.red(18 + 20 * i, 18), expected[i], 1) << "set " << sets[i];
  }
}

TEST_F(SceneFont, NullFormatDrawsNothingAndChangesNoState) {
  useSplitAtlas();
  glMatrixMode(GL_PROJECTION);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  glBindTexture(GL_TEXTURE_2D, 0);
  glListBase(5);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  font.print(1.0f, 1.0f, 1.0f, 10, 10, 0, nullptr);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_PROJECTION);
  EXPECT_EQ(floats(GL_CURRENT_COLOR), (std::array<GLfloat, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
  EXPECT_EQ(integer(GL_LIST_BASE), 5);
  EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);
  const Pixels p = readPixels(0, 0, 40, 40);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) ASSERT_TRUE(p.black(x, y)) << x << "," << y;
  }
}

TEST_F(SceneFont, TheViewIs800By600UntilSetViewSize) {
  useSplitAtlas();
  // A 400 x 300 viewport halves the 800 x 600 text space: (400, 300) lands
  // on pixel (200, 150) and a glyph is 8 pixels wide.
  glViewport(0, 0, 400, 300);
  font.print(1.0f, 1.0f, 1.0f, 400, 300, 0, "AB");
  Pixels row = readPixels(0, 153, 400, 1);
  EXPECT_EQ(litSpan(row, 0), std::make_pair(200, 215));

  font.setViewSize(400, 300);
  font.print(1.0f, 1.0f, 1.0f, 100, 50, 0, "AB");
  row = readPixels(0, 55, 400, 1);
  EXPECT_EQ(litSpan(row, 0), std::make_pair(100, 131));
}

TEST_F(SceneFont, PutsBackEnablesPolygonModesAndMatrices) {
  useSplitAtlas();
  const GLenum caps[] = {GL_DEPTH_TEST, GL_LIGHTING, GL_TEXTURE_2D, GL_BLEND};
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0.0f, 0.0f, -5.0f);
  glPushMatrix();
  glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
  const auto projection = matrix(GL_PROJECTION_MATRIX);
  const auto modelView = matrix(GL_MODELVIEW_MATRIX);
  const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
  const GLint modelViewDepth = integer(GL_MODELVIEW_STACK_DEPTH);
  // A wireframe front and a point back must come back as they were, and the
  // text itself is still drawn filled.
  glPolygonMode(GL_FRONT, GL_LINE);
  glPolygonMode(GL_BACK, GL_POINT);
  for (int mask = 0; mask < 16; ++mask) {
    for (int i = 0; i < 4; ++i) {
      if (mask & (1 << i))
        glEnable(caps[i]);
      else
        glDisable(caps[i]);
    }
    clearTo(0.0f, 0.0f, 0.0f);
    font.print(1.0f, 1.0f, 1.0f, 10, 10, 0, "Hi %d", mask);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(enabled(caps[i]), (mask & (1 << i)) != 0) << "mask " << mask << " cap " << i;
    }
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_POINT);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelViewDepth);
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), modelView);
    // Left as drawing leaves them.
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_COLOR);
    EXPECT_EQ(readPixels(14, 14, 1, 1).red(0, 0), 255) << "mask " << mask;
  }
  glPopMatrix();
}

TEST_F(SceneFont, ListsGoOnlyWhenBuiltAndNoListsMeansNoText) {
  // A font that never built lists has list base 0; a delete of its 256
  // lists would take the first font's, which sit at 1..256 in a fresh context.
  BitmapFont built;
  built.buildLists();
  ASSERT_TRUE(built.listsBuilt());
  BitmapFont neverBuilt;
  neverBuilt.deleteLists();
  // A deleted font's names may be used again by someone else: a second
  // delete must leave them alone.
  BitmapFont deleted;
  deleted.buildLists();
  deleted.deleteLists();
  const GLuint reused = deleted.listBase() + 33;
  glNewList(reused, GL_COMPILE);
  glEndList();
  deleted.deleteLists();
  EXPECT_TRUE(glIsList(reused));
  for (int g = 0; g < 256; g += 15) {
    EXPECT_TRUE(glIsList(built.listBase() + g)) << g;
  }
  built.deleteLists();
  EXPECT_FALSE(glIsList(built.listBase()));

  // glGenLists gives 0 between glBegin and glEnd: then the font stays
  // without lists and draws nothing at all.
  std::vector<std::uint8_t> white(256 * 256, 255);
  const GLuint texture = luminanceTexture(white.data());
  BitmapFont starved;
  starved.setTexture(texture);
  glBegin(GL_POINTS);
  starved.buildLists();
  glEnd();
  while (glGetError() != GL_NO_ERROR) {
  }
  EXPECT_FALSE(starved.listsBuilt());
  glColor3f(0.5f, 0.5f, 0.5f);
  starved.print(1.0f, 1.0f, 1.0f, 10, 10, 0, "A");
  EXPECT_TRUE(readPixels(18, 18, 1, 1).black(0, 0));
  EXPECT_EQ(floats(GL_CURRENT_COLOR)[0], 0.5f);
}

TEST_F(SceneFont, LongTextsKeep255BytesAndOddBytesDrawAsSpaces) {
  useGlyphAtlas();
  // 300 'A's ending at x = 16 x 255 - 4080: the 255th glyph covers 0..16 and
  // a 256th would cover 16..32.
  const std::string longText(300, 'A');
  font.print(1.0f, 1.0f, 1.0f, -254 * 16, 10, 0, "%s", longText.c_str());
  Pixels p = readPixels(0, 10, 40, 16);
  int litFirst = 0, litSecond = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      litFirst += !p.black(x, y);
      litSecond += !p.black(16 + x, y);
    }
  }
  EXPECT_GT(litFirst, 20);
  EXPECT_EQ(litSecond, 0);
  // drawText takes the text whole: all 300 glyphs, in several list calls.
  font.drawText(1.0f, 1.0f, 1.0f, -254 * 16, 40, 0, longText.c_str());
  p = readPixels(16, 40, 16, 16);
  EXPECT_FALSE(p.rgb == std::vector<std::uint8_t>(p.rgb.size(), 0));

  // Control codes and codes above 127 take a cell each and draw nothing.
  clearTo(0.0f, 0.0f, 0.0f);
  font.print(1.0f, 1.0f, 1.0f, 10, 10, 0,
             "A\n\x01\x80\xe9\x7f"
             "A");
  p = readPixels(10, 10, 16 * 7, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      ASSERT_EQ(p.red(x, y), p.red(6 * 16 + x, y)) << x << "," << y;
      for (int cell = 1; cell < 6; ++cell) ASSERT_TRUE(p.black(cell * 16 + x, y)) << cell;
    }
  }
}

}  // namespace
