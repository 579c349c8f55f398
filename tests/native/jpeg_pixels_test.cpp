// The pixel arithmetic on worked examples: DC-only blocks through the IDCT
// and the range-limit table, colour clamps, chroma placement in both MCU
// layouts, clipping of partial MCUs, the bottom-up placement and row padding.
// Every stream is decoded by both paths.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/native/jpeg_test_support.h"

namespace {

using jpegtest::Bytes;

// One 8 x 8 MCU picture (all components 1 x 1) whose blocks hold only DC
// differences, with raw quantisation value `quant` in both tables.
Bytes dcPicture(int lumaDc, int cbDc, int crDc, uint8_t quant = 1) {
  jpegtest::TestCodes codes;
  jpegtest::BitWriter bits;
  jpegtest::writeBlock(bits, codes.block(), lumaDc);
  jpegtest::writeBlock(bits, codes.block(), cbDc);
  jpegtest::writeBlock(bits, codes.block(), crDc);
  bits.flush();
  return jpegtest::headerFor(8, 8, 0x11, quant).data(bits.bytes).eoi().bytes;
}

struct Bgr {
  int b, g, r;
};

Bgr firstPixel(const Bytes& stream, bool plain) {
  const jpegtest::Decoded decoded = jpegtest::decodeInto(stream, plain);
  EXPECT_TRUE(decoded.ok);
  if (!decoded.ok) return {-1, -1, -1};
  // A DC-only MCU is one colour throughout.
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(0, std::memcmp(decoded.pixel(x, y), decoded.pixel(0, 0), 3)) << x << "," << y;
    }
  }
  const uint8_t* p = decoded.pixel(0, 0);
  return {p[0], p[1], p[2]};
}

class BothPaths : public ::testing::TestWithParam<bool> {};

// Raw quantisation 1 scales to a DC multiplier of 4 and 3 to 12; the sample
// is rangeLimit[z + 128 + (((d x q) >> 5) & 1023)], a floor shift.
TEST_P(BothPaths, DcOnlyBlockThroughTheRangeLimit) {
  const bool plain = GetParam();
  struct Case {
    int dc;
    uint8_t quant;
    int sample;
  } cases[] = {
      {0, 1, 128},    {80, 1, 138}, {-1024, 1, 0}, {1023, 1, 255},
      {-1, 1, 127},   {11, 3, 132}, {-11, 3, 123},  // (12 x -11) >> 5 = -5: the shift floors
      {2400, 1, 255},                               // u = 300: clamped high
      {4800, 1, 0},                                 // u = 600 wraps into the zero stretch, not 255
      {7200, 1, 4},                                 // u = 900 wraps to -124, so 4
      {-2400, 1, 0},                                // u = -300: clamped low
  };
  for (const Case& c : cases) {
    const Bgr pixel = firstPixel(dcPicture(c.dc, 0, 0, c.quant), plain);
    EXPECT_EQ(c.sample, pixel.b) << "dc " << c.dc;
    EXPECT_EQ(c.sample, pixel.g) << "dc " << c.dc;
    EXPECT_EQ(c.sample, pixel.r) << "dc " << c.dc;
  }
}

// DC 1016 gives sample 255, -1024 gives 0, 0 gives 128.
TEST_P(BothPaths, ColourConversionClamps) {
  const bool plain = GetParam();
  const Bgr grey = firstPixel(dcPicture(0, 0, 0), plain);
  EXPECT_EQ(128, grey.b);
  EXPECT_EQ(128, grey.g);
  EXPECT_EQ(128, grey.r);

  // Y 255, Cb 255, Cr 128: blue 255 + 225 clamps to 255; green
  // 255 + ((-22554 x 127 + 32768) >> 16) = 255 - 44.
  const Bgr bright = firstPixel(dcPicture(1016, 1016, 0), plain);
  EXPECT_EQ(255, bright.b);
  EXPECT_EQ(211, bright.g);
  EXPECT_EQ(255, bright.r);

  // Y 0, Cb 128, Cr 0: red 0 - 179 clamps to 0; green (32768 + 46802 x 128) >> 16 = 91.
  const Bgr dark = firstPixel(dcPicture(-1024, 0, -1024), plain);
  EXPECT_EQ(0, dark.b);
  EXPECT_EQ(91, dark.g);
  EXPECT_EQ(0, dark.r);
}

// 20 x 10 with 8 x 8 MCUs: 3 x 2 MCUs, the last column clipped to 4 pixels and
// the last row to 2 lines; MCU (r, c) gets luma sample 128 + 8 (3r + c + 1).
TEST_P(BothPaths, PartialMcusAreClippedAndRowsRunBottomUp) {
  jpegtest::TestCodes codes;
  jpegtest::BitWriter bits;
  int predictor = 0;
  for (int m = 0; m < 6; ++m) {
    const int dc = 64 * (m + 1);  // (4 x 64 (m + 1)) >> 5 = 8 (m + 1)
    jpegtest::writeBlock(bits, codes.block(), dc - predictor);
    jpegtest::writeBlock(bits, codes.block(), 0);
    jpegtest::writeBlock(bits, codes.block(), 0);
    predictor = dc;
  }
  bits.flush();
  const Bytes stream = jpegtest::headerFor(20, 10).data(bits.bytes).eoi().bytes;
  const jpegtest::Decoded decoded = jpegtest::decodeInto(stream, GetParam());
  ASSERT_TRUE(decoded.ok);
  ASSERT_EQ(size_t(60 * 10), decoded.pixels.size());
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      const int mcu = 3 * (y / 8) + x / 8;
      EXPECT_EQ(128 + 8 * (mcu + 1), decoded.pixel(x, y)[1]) << x << "," << y;
    }
  }
  // Line 0 of the first MCU is the last buffer row; the buffer's first row
  // is picture row 9, from MCU row 1.
  EXPECT_EQ(136, decoded.pixels[size_t(9 * 60)]);
  EXPECT_EQ(128 + 8 * 4, decoded.pixels[0]);
  EXPECT_EQ(128 + 8 * 6, decoded.pixels[59]);
}

// Width 5: rows of 15 bytes padded to 16; the padding byte stays unwritten.
TEST_P(BothPaths, RowPaddingIsLeftUnwritten) {
  const Bytes stream = [] {
    jpegtest::TestCodes codes;
    jpegtest::BitWriter bits;
    jpegtest::writeBlock(bits, codes.block(), 80);
    jpegtest::writeBlock(bits, codes.block(), 0);
    jpegtest::writeBlock(bits, codes.block(), 0);
    bits.flush();
    return jpegtest::headerFor(5, 3).data(bits.bytes).eoi().bytes;
  }();
  const jpegtest::Decoded decoded = jpegtest::decodeInto(stream, GetParam(), 0x5A);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(16, rgbImageStride(5));
  ASSERT_EQ(size_t(48), decoded.pixels.size());
  for (int row = 0; row < 3; ++row) {
    for (int i = 0; i < 15; ++i) EXPECT_EQ(138, decoded.pixels[size_t(16 * row + i)]);
    EXPECT_EQ(0x5A, decoded.pixels[size_t(16 * row + 15)]) << "padding of row " << row;
  }
}

INSTANTIATE_TEST_SUITE_P(Jpeg, BothPaths, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& path) { return path.param ? "Plain" : "Fast"; });

// convertMcu on sample blocks made by hand: where each pixel takes its luma
// and chroma from.
struct ConvertedMcu {
  int size = 0;
  uint8_t pixels[16 * 16 * 3] = {};
  const uint8_t* at(int x, int y) const { return pixels + (y * size + x) * 3; }
};

ConvertedMcu convertHandMade(uint8_t lumaSampling) {
  const Bytes header = jpegtest::headerFor(16, 16, lumaSampling).bytes;
  JpegDecoder decoder;
  int32_t width = 0;
  int32_t height = 0;
  int32_t headerLength = 0;
  EXPECT_TRUE(decoder.readHeader(header.data(), int32_t(header.size()), width, height, headerLength));
  ConvertedMcu out;
  out.size = decoder.mcuPixels();
  const int lumaBlocks = out.size == 16 ? 4 : 1;
  uint8_t blocks[6 * 64];
  for (int b = 0; b < lumaBlocks; ++b) std::memset(blocks + 64 * b, 40 + 40 * b, 64);
  for (int i = 0; i < 64; ++i) blocks[64 * lumaBlocks + i] = uint8_t(4 * i);  // Cb: one value per sample
  std::memset(blocks + 64 * (lumaBlocks + 1), 128, 64);                       // Cr neutral
  decoder.convertMcu(blocks, out.pixels);
  return out;
}

// Blue of luma Y with Cb sample i: Y + cbToB[4 i], clamped.
int blueFor(int luma, int sample) {
  const int x = 4 * sample - 128;
  const int blue = luma + ((116130 * x + 32768) >> 16);
  return blue < 0 ? 0 : blue > 255 ? 255 : blue;
}

TEST(JpegColour, ChromaOfAnEightPixelMcuIsPerPixel) {
  const ConvertedMcu mcu = convertHandMade(0x11);
  ASSERT_EQ(8, mcu.size);
  EXPECT_EQ(blueFor(40, 63), mcu.at(7, 7)[0]);
  EXPECT_EQ(blueFor(40, 9), mcu.at(1, 1)[0]);
  // Cb 0 at (0, 0): blue 40 - 227 clamps to 0, green 40 + (2919680 >> 16) = 84.
  EXPECT_EQ(0, mcu.at(0, 0)[0]);
  EXPECT_EQ(84, mcu.at(0, 0)[1]);
}

TEST(JpegColour, ChromaOfASixteenPixelMcuServesTwoByTwo) {
  for (uint8_t sampling : {uint8_t(0x22), uint8_t(0x21)}) {
    const ConvertedMcu mcu = convertHandMade(sampling);
    ASSERT_EQ(16, mcu.size) << "sampling " << int(sampling);
    // Pixels (14..15, 14..15) share chroma sample (7, 7); (13, 14) has (6, 7).
    const int shared = blueFor(160, 63);
    for (int y = 14; y < 16; ++y) {
      for (int x = 14; x < 16; ++x) EXPECT_EQ(shared, mcu.at(x, y)[0]) << x << "," << y;
    }
    EXPECT_EQ(blueFor(160, 62), mcu.at(13, 14)[0]);
    // Luma blocks: left-top, right-top, left-bottom, right-bottom.
    EXPECT_EQ(blueFor(40, 1), mcu.at(3, 1)[0]);
    EXPECT_EQ(blueFor(80, 14), mcu.at(12, 3)[0]);
    EXPECT_EQ(blueFor(120, 49), mcu.at(3, 12)[0]);
  }
}

}  // namespace
