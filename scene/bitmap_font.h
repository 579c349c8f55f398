// The bitmap font: short overlay texts in window pixels over the 3D scene.
//
// The atlas is a 256 x 256 one-channel texture of 16 x 16 cells of 16 x 16
// pixels. Each cell becomes one display list that draws a textured 16 x 16
// quad and then moves 16 pixels right, so a text is one glCallLists per pass.
// Two glyph sets of 128 glyphs share the atlas, both starting at the space.
//
// A text is drawn twice at the same place: a mask pass darkens the background
// under the glyph shapes, a colour pass adds the shapes in the given colour.
// Drawing puts back the four enables it touches (depth test, lighting,
// texturing, blending), both polygon modes and both matrices. It leaves
// changed: the blend function (GL_ONE, GL_ONE_MINUS_SRC_COLOR), the current
// colour, the bound texture, the list base, and the matrix mode (GL_MODELVIEW).
//
// This file and bitmap_font.cpp hold the glyph geometry and the byte rules,
// with no GL header; bitmap_font_win.cpp builds the lists and draws.
//
// Not here: the atlas texture itself (scene set-up makes it), line breaks,
// proportional spacing, any character outside 32..126 (drawn as a space).
#pragma once

#include <cstddef>
#include <cstdint>

#include "assets/font_atlas.h"

// One glyph's rectangle in the atlas, in texture coordinates. t1 is the upper
// edge: cell rows count from the top of the picture (t = 1) downwards.
struct GlyphCell {
  float u0;
  float u1;
  float t0;
  float t1;
};

// One display list per atlas cell (fontGlyphCount), each fontCellSide pixels
// square and advancing as much.
constexpr int fontGlyphsPerSet = fontGlyphCount / 2;
constexpr int fontFirstCode = 32;              // the space: glyph 0 of each set
constexpr int fontLastCode = 126;              // '~': the last code any text uses
constexpr std::size_t fontTextCapacity = 256;  // formatted texts keep 255 bytes

// Cell g of the atlas: column g % 16, row g / 16 from the top. g outside
// 0..255 is taken modulo 256.
GlyphCell glyphCell(int glyph);

// 0 selects set 0; every other value set 1.
std::uint32_t fontGlyphSet(std::uint32_t requested);

// The byte handed to the display lists for a text byte: itself for 32..126,
// else a space. Codes above 127 would reach the lists as negative offsets and
// control codes would land in the other set or outside the font's lists, so
// they draw an empty cell and keep the fixed-width layout.
char fontGlyphCode(char c);

class BitmapFont {
 public:
  BitmapFont() = default;
  ~BitmapFont() { deleteLists(); }
  BitmapFont(const BitmapFont&) = delete;
  BitmapFont& operator=(const BitmapFont&) = delete;

  // setTexture, then buildLists. Needs a current context and a filled atlas.
  void init(std::uint32_t texture);
  void setTexture(std::uint32_t texture) { texture_ = texture; }

  // Creates the 256 lists. When the context has no lists to give
  // (glGenLists returns 0) nothing is built and every text draws nothing.
  // A second call rebuilds them.
  void buildLists();

  // Deletes the lists if they were built; otherwise makes no GL call.
  void deleteLists();

  // The context that held the lists is gone, and the lists with it: no GL call.
  void forgetLists() { listsBuilt_ = false; }

  // The text coordinate system, in pixels: 800 x 600 until this is called.
  void setViewSize(std::int32_t width, std::int32_t height) {
    viewWidth_ = width;
    viewHeight_ = height;
  }

  // Every glyph drawn `scale` times its 16 pixels, from the given corner: the
  // display's overlay scale. Whole, so that each texel of the atlas covers a
  // square of whole pixels. 1 until this is called; below 1 counts as 1.
  void setGlyphScale(std::int32_t scale) { glyphScale_ = scale < 1 ? 1 : scale; }

  // Formats like printf into 256 bytes (longer results keep their first
  // 255) and draws the result with its lower-left corner at (x, y) pixels
  // from the window's lower-left corner. A null format draws nothing and
  // makes no GL call.
  void print(float red, float green, float blue, std::int32_t x, std::int32_t y, std::uint32_t glyphSet,
             const char* format, ...) const __attribute__((format(printf, 8, 9)));

  // Draws an already formatted text of any length; as print. Draws nothing
  // (and makes no GL call) for a null text or when the lists do not exist.
  void drawText(float red, float green, float blue, std::int32_t x, std::int32_t y, std::uint32_t glyphSet,
                const char* text) const;

  std::uint32_t texture() const { return texture_; }
  std::uint32_t listBase() const { return listBase_; }
  bool listsBuilt() const { return listsBuilt_; }
  std::int32_t viewWidth() const { return viewWidth_; }
  std::int32_t viewHeight() const { return viewHeight_; }
  std::int32_t glyphScale() const { return glyphScale_; }

 private:
  std::uint32_t texture_ = 0;
  std::uint32_t listBase_ = 0;
  bool listsBuilt_ = false;
  std::int32_t viewWidth_ = 800;
  std::int32_t viewHeight_ = 600;
  std::int32_t glyphScale_ = 1;
};
