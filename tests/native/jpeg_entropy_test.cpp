// The entropy-coded data: byte stuffing, a marker met inside the data, zero
// runs and runs past the end of a block, restart intervals in turn and the
// resynchronisation after lost or misnumbered restart markers. The plain
// block decoder is checked coefficient by coefficient; whole pictures are
// decoded by both paths, which must agree.
#include <gtest/gtest.h>

#include "tests/native/jpeg_test_support.h"

namespace {

using jpegtest::Bytes;

jpegtest::Decoded decodeBoth(const Bytes& stream) {
  const jpegtest::Decoded plain = jpegtest::decodeInto(stream, true);
  const jpegtest::Decoded fast = jpegtest::decodeInto(stream, false);
  EXPECT_TRUE(plain.ok);
  EXPECT_TRUE(fast.ok);
  EXPECT_EQ(plain.pixels, fast.pixels) << "the two paths disagree";
  return plain;
}

// The luma sample of MCU m of a one-row picture of 8 x 8 MCUs.
int lumaOfMcu(const jpegtest::Decoded& decoded, int m) {
  return decoded.pixel(8 * m, 0)[1];
}

// Decodes the first block of a stream with the plain path's block decoder.
void firstBlock(const Bytes& stream, int16_t* coefficients) {
  JpegDecoder decoder;
  int32_t width = 0;
  int32_t height = 0;
  int32_t headerLength = 0;
  ASSERT_TRUE(decoder.readHeader(stream.data(), int32_t(stream.size()), width, height, headerLength));
  decoder.decodeBlock(0, coefficients);
}

TEST(JpegEntropy, StuffedByteIsDataFF) {
  jpegtest::TestCodes codes;
  jpegtest::BitWriter bits;
  jpegtest::writeBlock(bits, codes.block(), 32767);  // category 15: fifteen one bits of value
  jpegtest::writeBlock(bits, codes.block(), 0);
  jpegtest::writeBlock(bits, codes.block(), 0);
  bits.flush();
  bool stuffed = false;
  for (size_t i = 0; i + 1 < bits.bytes.size(); ++i)
    stuffed = stuffed || (bits.bytes[i] == 0xFF && bits.bytes[i + 1] == 0);
  ASSERT_TRUE(stuffed);
  const Bytes stream = jpegtest::headerFor(8, 8).data(bits.bytes).eoi().bytes;
  int16_t coefficients[64];
  firstBlock(stream, coefficients);
  EXPECT_EQ(32767, coefficients[0]);
  // (4 x 32767) >> 5 = 4095, & 1023 = 1023: the wrapped stretch, sample 127.
  EXPECT_EQ(127, decodeBoth(stream).pixel(0, 0)[1]);
}

// 0xFF 0xFF 0xD9 inside the data: fill byte, then a marker that stays
// pending; everything after it reads as zero bits (category 0 and EOB with
// these tables), so the later MCUs repeat the last DC values.
TEST(JpegEntropy, MarkerInsideTheDataStopsTheReading) {
  jpegtest::TestCodes codes;
  jpegtest::BitWriter bits;
  for (int m = 0; m < 3; ++m) {
    jpegtest::writeBlock(bits, codes.block(), 64);
    jpegtest::writeBlock(bits, codes.block(), 0);
    jpegtest::writeBlock(bits, codes.block(), 0);
  }
  bits.padWithZeros();  // zero padding reads like the zeros after the marker
  const Bytes garbage = {0x9C, 0x47, 0xE1, 0x33, 0x5A, 0xC3, 0x81, 0x7E, 0x12, 0x34};
  Bytes data = bits.bytes;
  data.insert(data.end(), {0xFF, 0xFF, 0xD9});
  data.insert(data.end(), garbage.begin(), garbage.end());
  const jpegtest::Decoded decoded = decodeBoth(jpegtest::headerFor(64, 8).data(data).bytes);
  ASSERT_TRUE(decoded.ok);
  for (int m = 0; m < 8; ++m) EXPECT_EQ(128 + 8 * (m < 3 ? m + 1 : 3), lumaOfMcu(decoded, m)) << "MCU " << m;

  // The same garbage without the marker is read as data and changes the picture.
  bits.bytes.insert(bits.bytes.end(), garbage.begin(), garbage.end());
  const jpegtest::Decoded unmarked = decodeBoth(jpegtest::headerFor(64, 8).data(bits.bytes).bytes);
  EXPECT_NE(decoded.pixels, unmarked.pixels);
}

TEST(JpegEntropy, ZeroRunsAndARunPastTheEnd) {
  jpegtest::TestCodes codes;
  // DC 0, then 0xF1 (15 zeros, then 1) -> zigzag 16; ZRL -> 33; 0x02 (-2) ->
  // zigzag 33; ZRL -> 50; 0xF3 (7) runs to 65, which lands on position 63 and
  // ends the block.
  jpegtest::BitWriter bits;
  bits.put(codes.dc.code[0], codes.dc.length[0]);
  jpegtest::writeAcSymbol(bits, codes.ac, 0xF1, 1);
  jpegtest::writeAcSymbol(bits, codes.ac, 0xF0, 0);
  jpegtest::writeAcSymbol(bits, codes.ac, 0x02, -2);
  jpegtest::writeAcSymbol(bits, codes.ac, 0xF0, 0);
  jpegtest::writeAcSymbol(bits, codes.ac, 0xF3, 7);
  jpegtest::writeBlock(bits, codes.block(), 0);
  jpegtest::writeBlock(bits, codes.block(), 0);
  bits.flush();
  const Bytes stream = jpegtest::headerFor(8, 8).data(bits.bytes).eoi().bytes;
  int16_t coefficients[64];
  firstBlock(stream, coefficients);
  for (int i = 0; i < 64; ++i) {
    const int expected = i == 12 ? 1 : i == 42 ? -2 : i == 63 ? 7 : 0;  // zigzag 16 -> 12, 33 -> 42
    EXPECT_EQ(expected, coefficients[i]) << "position " << i;
  }
  decodeBoth(stream);
}

// 40 MCUs in one row with DRI 4: ten intervals separated by RST0..RST7,
// RST0, RST1. Each interval codes its DC values afresh from 0.
struct RestartPicture {
  std::vector<Bytes> intervals;                          // entropy data of each interval, padded
  static int lumaDc(int m) { return 64 * (1 + m % 7); }  // sample 128 + 8 (1 + m % 7)
};

RestartPicture restartIntervals() {
  jpegtest::TestCodes codes;
  RestartPicture picture;
  for (int interval = 0; interval < 10; ++interval) {
    jpegtest::BitWriter bits;
    int predictor = 0;
    for (int m = 4 * interval; m < 4 * interval + 4; ++m) {
      jpegtest::writeBlock(bits, codes.block(), RestartPicture::lumaDc(m) - predictor);
      jpegtest::writeBlock(bits, codes.block(), 0);
      jpegtest::writeBlock(bits, codes.block(), 0);
      predictor = RestartPicture::lumaDc(m);
    }
    bits.flush();
    picture.intervals.push_back(bits.bytes);
  }
  return picture;
}

// Joins the intervals with the given markers (0 = no marker at that place).
Bytes restartStream(const RestartPicture& picture, const std::vector<int>& markers) {
  jpegtest::JpegWriter writer = jpegtest::headerFor(320, 8, 0x11, 1, 4);
  for (size_t i = 0; i < picture.intervals.size(); ++i) {
    if (i > 0 && markers[i - 1] != 0) writer.marker(uint8_t(markers[i - 1]));
    writer.data(picture.intervals[i]);
  }
  return writer.eoi().bytes;
}

TEST(JpegEntropy, RestartMarkersInTurnResetThePredictors) {
  const RestartPicture picture = restartIntervals();
  std::vector<int> markers;
  for (int i = 0; i < 9; ++i) markers.push_back(0xD0 + i % 8);
  const jpegtest::Decoded decoded = decodeBoth(restartStream(picture, markers));
  ASSERT_TRUE(decoded.ok);
  for (int m = 0; m < 40; ++m) EXPECT_EQ(128 + 8 * (1 + m % 7), lumaOfMcu(decoded, m)) << "MCU " << m;
}

// RST3 lost: the fourth restart finds RST4, keeps it for the next one and
// reads zeros for its interval (grey, predictors at 0); everything after is
// in place again.
TEST(JpegEntropy, LostRestartMarkerCostsOneInterval) {
  const RestartPicture picture = restartIntervals();
  std::vector<int> markers;
  for (int i = 0; i < 9; ++i) markers.push_back(i == 3 ? 0 : 0xD0 + i % 8);
  const jpegtest::Decoded decoded = decodeBoth(restartStream(picture, markers));
  ASSERT_TRUE(decoded.ok);
  for (int m = 0; m < 40; ++m) {
    const int expected = m >= 16 && m < 20 ? 128 : 128 + 8 * (1 + m % 7);
    EXPECT_EQ(expected, lumaOfMcu(decoded, m)) << "MCU " << m;
  }
}

// Markers numbered from RST4 on: far from the expected one, taken as it,
// and the count follows the stream; nothing is lost.
TEST(JpegEntropy, MisnumberedRestartMarkersAreFollowed) {
  const RestartPicture picture = restartIntervals();
  std::vector<int> markers;
  for (int i = 0; i < 9; ++i) markers.push_back(0xD0 + (i + 4) % 8);
  const jpegtest::Decoded decoded = decodeBoth(restartStream(picture, markers));
  ASSERT_TRUE(decoded.ok);
  for (int m = 0; m < 40; ++m) EXPECT_EQ(128 + 8 * (1 + m % 7), lumaOfMcu(decoded, m)) << "MCU " << m;
}

// A stale marker (RST1 again after RST2) sits in front of the third
// interval's data: that interval reads zeros, the marker is dropped at the
// next restart and the rest decodes.
TEST(JpegEntropy, StaleRestartMarkerIsSkipped) {
  const RestartPicture picture = restartIntervals();
  jpegtest::JpegWriter writer = jpegtest::headerFor(320, 8, 0x11, 1, 4);
  for (size_t i = 0; i < picture.intervals.size(); ++i) {
    if (i > 0) writer.marker(uint8_t(0xD0 + (i - 1) % 8));
    if (i == 3) writer.marker(0xD1);
    writer.data(picture.intervals[i]);
  }
  const jpegtest::Decoded decoded = decodeBoth(writer.eoi().bytes);
  ASSERT_TRUE(decoded.ok);
  for (int m = 0; m < 40; ++m) {
    const int expected = m >= 12 && m < 16 ? 128 : 128 + 8 * (1 + m % 7);
    EXPECT_EQ(expected, lumaOfMcu(decoded, m)) << "MCU " << m;
  }
}

// Data cut short in the middle: the rest of the picture reads zeros.
TEST(JpegEntropy, TruncatedScanFinishesOnZeros) {
  const RestartPicture picture = restartIntervals();
  jpegtest::JpegWriter writer = jpegtest::headerFor(320, 8);
  // Without DRI the intervals' data would be read as one stream; take the
  // first interval only (its four MCUs) and stop.
  writer.data(picture.intervals[0]);
  const jpegtest::Decoded decoded = decodeBoth(writer.bytes);
  ASSERT_TRUE(decoded.ok);
  for (int m = 0; m < 4; ++m) EXPECT_EQ(128 + 8 * (1 + m % 7), lumaOfMcu(decoded, m));
}

}  // namespace
