// The glyph atlas of data pack 106: 256 x 256 one-byte luminance samples,
// rows bottom-up like the decoded pictures, 16 x 16 cells of 16 x 16 pixels.
// Glyph g sits in cell column g % 16 and cell row g / 16, cell rows counted
// from the top of the upright picture. The loader, the font, the logo's
// layout and the tool that draws the atlas all take the geometry from here.
#pragma once

#include <cstddef>

constexpr int fontAtlasSide = 256;
constexpr int fontCellSide = 16;  // pixels, and the text's advance per glyph
constexpr int fontCellsPerRow = fontAtlasSide / fontCellSide;
constexpr int fontGlyphCount = fontCellsPerRow * fontCellsPerRow;
constexpr std::size_t fontAtlasBytes = std::size_t(fontAtlasSide) * fontAtlasSide;
