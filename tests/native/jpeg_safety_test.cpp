// Bad input loses nothing: every prefix of a real picture, and random damage
// anywhere in it (header included), decode without a read or write out of
// bounds (ASan and UBSan watch) and the same on both paths.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/native/jpeg_test_support.h"

namespace {

using jpegtest::Bytes;

// A small picture with every feature of the stream: 4:2:0, restart
// intervals, odd size. Made by hand so that the test needs no tools.
Bytes smallPicture() {
  jpegtest::TestCodes codes;
  jpegtest::JpegWriter writer = jpegtest::headerFor(37, 21, 0x22, 2, 2);
  std::mt19937 random(5);
  const int mcus = 3 * 2;
  for (int m = 0; m < mcus; ++m) {
    if (m > 0 && m % 2 == 0) writer.marker(uint8_t(0xD0 + (m / 2 - 1) % 8));
    jpegtest::BitWriter bits;
    for (int b = 0; b < 6; ++b) {
      std::vector<std::pair<int, int>> ac;
      for (int k = 1 + int(random() % 5); k < 64; k += 1 + int(random() % 12)) {
        const int magnitude = 1 + int(random() % 30);
        ac.push_back({k, random() % 2 ? magnitude : -magnitude});
      }
      jpegtest::writeBlock(bits, codes.block(), m % 2 == 0 && b == 0 ? 40 : int(random() % 41) - 20, ac);
    }
    bits.flush();
    writer.data(bits.bytes);
  }
  return writer.eoi().bytes;
}

// Exactly-sized copies, so that ASan sees a read one past the end.
void decodeExactly(const Bytes& stream, const std::string& what) {
  const Bytes copy(stream.begin(), stream.end());
  const jpegtest::Decoded plain = jpegtest::decodeInto(copy, true);
  const jpegtest::Decoded fast = jpegtest::decodeInto(copy, false);
  ASSERT_EQ(plain.ok, fast.ok) << what;
  ASSERT_TRUE(plain.pixels == fast.pixels) << what;
  RgbImage* image = decodeJpeg(copy.data(), int32_t(copy.size()));
  EXPECT_EQ(plain.ok, image != nullptr) << what;
  freeRgbImage(image);
}

// The hand-made picture and a real encoder's (optimised tables, 3.3 KB), cut
// after every one of the first 256 bytes and then in steps that grow.
TEST(JpegSafety, EveryPrefixOfAPicture) {
  const Bytes pictures[] = {smallPicture(), jpegtest::resourceImage("surface-low.pack", 1)};
  for (const Bytes& picture : pictures) {
    ASSERT_TRUE(jpegtest::decodeInto(picture, true).ok);
    for (size_t length = 0; length <= picture.size(); length += 1 + length / 256) {
      decodeExactly(Bytes(picture.begin(), picture.begin() + long(length)), "prefix " + std::to_string(length));
    }
  }
}

TEST(JpegSafety, RandomByteDamageAnywhere) {
  const Bytes picture = smallPicture();
  std::mt19937 random(1234);
  for (int trial = 0; trial < 1500; ++trial) {
    Bytes damaged = picture;
    const int hits = 1 + int(random() % 4);
    for (int h = 0; h < hits; ++h) {
      const size_t at = random() % damaged.size();
      switch (random() % 4) {
        case 0:
          damaged[at] = uint8_t(random());
          break;
        case 1:
          damaged[at] ^= uint8_t(1u << (random() % 8));
          break;
        case 2:
          damaged[at] = 0xFF;
          break;
        default:
          damaged[at] = uint8_t(random() % 2 ? 0x00 : 0xD0 + random() % 10);
          break;
      }
    }
    jpegtest::MessageLog quiet;
    decodeExactly(damaged, "trial " + std::to_string(trial));
  }
}

}  // namespace
