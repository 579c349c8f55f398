// Checks the committed artwork in res/ that the saver reads as raw bytes or
// hands to the resource compiler: the glyph atlas's layout and row order,
// and the headers of the icon and the dialog picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> readResource(const char* name) {
  std::ifstream file(std::string(TAVRIN_SOURCE_DIR) + "/res/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// The atlas as the font sees it: cell (g % 16, g / 16) counted from the top
// of the upright picture, whose bottom row is the first row of the file.
class GlyphAtlas : public ::testing::Test {
 protected:
  void SetUp() override {
    atlas = readResource("glyphs.bin");
    ASSERT_EQ(atlas.size(), 65536u);
  }

  static int glyph(int set, char c) { return set * 128 + static_cast<unsigned char>(c) - 32; }
  // Sample at column x and row y of a glyph's cell, y counted down from the cell's top.
  uint8_t at(int g, int x, int y) const {
    const int pictureRow = g / 16 * 16 + y;
    return atlas[static_cast<size_t>(255 - pictureRow) * 256 + g % 16 * 16 + x];
  }
  int litInRow(int g, int y) const {
    int n = 0;
    for (int x = 0; x < 16; ++x) n += at(g, x, y) != 0;
    return n;
  }
  int firstInkRow(int g) const {
    for (int y = 0; y < 16; ++y)
      if (litInRow(g, y) > 0) return y;
    return -1;
  }
  int lastInkRow(int g) const {
    for (int y = 15; y >= 0; --y)
      if (litInRow(g, y) > 0) return y;
    return -1;
  }
  bool empty(int g) const { return firstInkRow(g) < 0; }

  std::vector<uint8_t> atlas;
};

TEST_F(GlyphAtlas, GlyphsStandUprightInTheirCellsOfBothSets) {
  for (int set = 0; set < 2; ++set) {
    SCOPED_TRACE(set);
    // An 'A' is narrow at its apex and wide at its feet; flipped rows or a
    // wrong cell would show otherwise.
    const int a = glyph(set, 'A');
    ASSERT_FALSE(empty(a));
    EXPECT_LT(litInRow(a, firstInkRow(a)), litInRow(a, lastInkRow(a)));
    // A full stop sits low in its cell, an apostrophe high.
    EXPECT_GE(firstInkRow(glyph(set, '.')), 8);
    EXPECT_LE(lastInkRow(glyph(set, '\'')), 8);
    // Letters share a baseline; descenders go below it.
    const int baseline = lastInkRow(glyph(set, 'H'));
    for (char c : {'E', 'x', 'n', '1', '7'}) EXPECT_EQ(lastInkRow(glyph(set, c)), baseline) << c;
    for (char c : {'g', 'p', 'y'}) EXPECT_GT(lastInkRow(glyph(set, c)), baseline) << c;
    EXPECT_LT(firstInkRow(glyph(set, 'H')), firstInkRow(glyph(set, 'x')));
  }
}

TEST_F(GlyphAtlas, TheLastColumnOfEveryCellStaysDark) {
  // Text advances 16 pixels per glyph: a lit 16th column would touch the next glyph.
  for (int g = 0; g < 256; ++g) {
    for (int y = 0; y < 16; ++y) ASSERT_EQ(at(g, 15, y), 0) << "glyph " << g << " row " << y;
  }
}

TEST_F(GlyphAtlas, OnlyPrintableCodesHaveInk) {
  for (int set = 0; set < 2; ++set) {
    EXPECT_TRUE(empty(glyph(set, ' ')));
    for (int code = 33; code <= 126; ++code) EXPECT_FALSE(empty(set * 128 + code - 32)) << code;
    for (int code = 127; code <= 159; ++code) EXPECT_TRUE(empty(set * 128 + code - 32)) << code;
  }
}

TEST(Artwork, DialogPictureIsABottomUpUncompressed24BitBitmap) {
  const std::vector<uint8_t> bmp = readResource("dialog_side.bmp");
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(le32(bmp, 14), 40u);  // BITMAPINFOHEADER
  const int32_t width = static_cast<int32_t>(le32(bmp, 18));
  const int32_t height = static_cast<int32_t>(le32(bmp, 22));  // positive: bottom-up
  EXPECT_EQ(width, 165);
  EXPECT_EQ(height, 400);
  EXPECT_EQ(le16(bmp, 28), 24);  // bits per pixel
  EXPECT_EQ(le32(bmp, 30), 0u);  // BI_RGB
  const size_t stride = (3 * 165 + 3) / 4 * 4;
  EXPECT_EQ(bmp.size(), le32(bmp, 10) + stride * 400);
}

TEST(Artwork, IconHoldsFourTrueColourSizes) {
  const std::vector<uint8_t> ico = readResource("tavrin.ico");
  ASSERT_GE(ico.size(), 6u + 4 * 16);
  EXPECT_EQ(le16(ico, 0), 0);
  EXPECT_EQ(le16(ico, 2), 1);  // icon, not cursor
  ASSERT_EQ(le16(ico, 4), 4);
  const int sizes[4] = {16, 32, 48, 0};  // 0 stands for 256
  for (int i = 0; i < 4; ++i) {
    const size_t entry = 6 + 16 * static_cast<size_t>(i);
    EXPECT_EQ(ico[entry], sizes[i]);
    EXPECT_EQ(ico[entry + 1], sizes[i]);
    EXPECT_EQ(le16(ico, entry + 6), 32) << "bits per pixel of entry " << i;
    EXPECT_LE(static_cast<size_t>(le32(ico, entry + 12)) + le32(ico, entry + 8), ico.size());
  }
}

}  // namespace
