// Glyph geometry and the byte rules of the bitmap font; the GL side is in
// bitmap_font_win.cpp.
#include "scene/bitmap_font.h"

namespace {

// One cell in texture coordinates: 16 / 256 = 1 / 16, exact in binary.
constexpr float cellSize = float(fontCellSide) / float(fontAtlasSide);

}  // namespace

GlyphCell glyphCell(int glyph) {
  const int g = glyph & (fontGlyphCount - 1);
  GlyphCell cell{};
  cell.u0 = static_cast<float>(g % fontCellsPerRow) * cellSize;
  cell.u1 = cell.u0 + cellSize;
  // t1 = 1 - row x 1/16: the first stored row of a texture is t = 0, so
  // glyph 0 lies in the atlas's last 16 stored rows.
  cell.t1 = 1.0f - static_cast<float>(g / fontCellsPerRow) * cellSize;
  cell.t0 = cell.t1 - cellSize;
  return cell;
}

std::uint32_t fontGlyphSet(std::uint32_t requested) { return requested > 1 ? 1 : requested; }

char fontGlyphCode(char c) {
  const int code = static_cast<unsigned char>(c);
  return code >= fontFirstCode && code <= fontLastCode ? c : ' ';
}
