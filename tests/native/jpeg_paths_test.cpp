// The fast path against the plain one: the SSE2 IDCT and its overflow guard
// on random and adversarial blocks, the SSE2 colour conversion on every
// chroma pair, and whole pictures (the committed ones, cjpeg variants and
// damaged copies) through both paths.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "assets/jpeg_internal.h"
#include "tests/native/jpeg_test_support.h"

namespace {

using jpegtest::Bytes;

struct RangeLimit {
  uint8_t table[1408];
  RangeLimit() {
    uint8_t* zero = table + 256;
    std::memset(table, 0, 256);
    for (int i = 0; i < 256; ++i) zero[i] = uint8_t(i);
    std::memset(zero + 256, 255, 384);
    std::memset(zero + 640, 0, 384);
    for (int i = 0; i < 128; ++i) zero[1024 + i] = uint8_t(i);
  }
  const uint8_t* zero() const { return table + 256; }
};

struct Quant {
  uint16_t multiplier[64];
  uint16_t guard[64];
  explicit Quant(std::mt19937& random) {
    const int top = int(random() % 255) + 1;
    for (int i = 0; i < 64; ++i) {
      const int raw = int(random() % uint32_t(top)) + 1;
      multiplier[i] = uint16_t((raw * jpeg::aanScale[i] + 2048) >> 12);
    }
    jpeg::buildGuardWeights(multiplier, guard);
  }
};

int64_t guardSum(const int16_t* block, const Quant& quant) {
  int64_t sum = 0;
  for (int i = 0; i < 64; ++i) sum += int64_t(std::abs(int(block[i]))) * quant.guard[i];
  return sum;
}

// The guard's premise: with V as in jpeg_idct.cpp, ceil(4 V) <= the weights
// and 6 x 5 (the floors of six pass-1 outputs) <= 30. Recomputed here from
// the linear forms of one pass.
TEST(JpegIdct, GuardWeightsCoverTheLinearForms) {
  struct Form {
    double a[8] = {};
    double e[5] = {};
  };
  int mulIndex = 0;
  const auto add = [](const Form& x, const Form& y, double sign) {
    Form r;
    for (int i = 0; i < 8; ++i) r.a[i] = x.a[i] + sign * y.a[i];
    for (int i = 0; i < 5; ++i) r.e[i] = x.e[i] + sign * y.e[i];
    return r;
  };
  const auto mul = [&mulIndex](const Form& x, int k) {
    Form r;
    for (int i = 0; i < 8; ++i) r.a[i] = x.a[i] * k / 256.0;
    for (int i = 0; i < 5; ++i) r.e[i] = x.e[i] * k / 256.0;
    r.e[mulIndex++] += 1;  // the floor loses less than 1
    return r;
  };
  Form in[8];
  for (int i = 0; i < 8; ++i) in[i].a[i] = 1;
  const Form t10 = add(in[0], in[4], 1), t11 = add(in[0], in[4], -1), t13 = add(in[2], in[6], 1);
  const Form t12 = add(mul(add(in[2], in[6], -1), 362), t13, -1);
  const Form e0 = add(t10, t13, 1), e3 = add(t10, t13, -1), e1 = add(t11, t12, 1), e2 = add(t11, t12, -1);
  const Form z13 = add(in[5], in[3], 1), z10 = add(in[5], in[3], -1), z11 = add(in[1], in[7], 1),
             z12 = add(in[1], in[7], -1);
  const Form d7 = add(z11, z13, 1), u = mul(add(z11, z13, -1), 362), z5 = mul(add(z10, z12, 1), 473);
  const Form w = add(mul(z12, 277), z5, -1), y = add(mul(z10, -669), z5, 1);
  const Form d6 = add(y, d7, -1), d5 = add(u, d6, -1), d4 = add(w, d5, 1);
  const Form out[8] = {add(e0, d7, 1), add(e1, d6, 1),  add(e2, d5, 1),  add(e3, d4, -1),
                       add(e3, d4, 1), add(e2, d5, -1), add(e1, d6, -1), add(e0, d7, -1)};
  double floorLoss = 0;
  for (const Form& o : out) {
    double loss = 0;
    for (double e : o.e) loss += std::fabs(e);
    floorLoss = std::max(floorLoss, loss);
  }
  EXPECT_LE(6 * floorLoss, 30.0);
  for (int r = 0; r < 8; ++r) {
    double gain = 0;  // W[r]
    for (const Form& o : out) gain = std::max(gain, std::fabs(o.a[r]));
    for (int c = 0; c < 8; ++c) {
      const double v = std::max(c % 4 != 0 ? gain : 0.0, r % 4 != 0 ? 1.0 : 0.0);
      EXPECT_GE(double(jpeg::kIdctGuardWeight[8 * r + c]), 4 * v - 1e-9) << r << "," << c;
    }
  }
}

// Random blocks of every density and magnitude, many scaled to sit just under
// (and over) the guard limit. Where the guard holds, the 16-bit transform must
// equal the 32-bit one; where it fails, nothing may be touched.
TEST(JpegIdct, SimdEqualsPlainWheneverTheGuardHolds) {
  if (!jpeg::kIdctSimd) GTEST_SKIP() << "no SSE2 on this target";
  std::mt19937 random(20240601);
  const RangeLimit limit;
  int exact = 0;
  int refused = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const Quant quant(random);
    alignas(16) int16_t block[64] = {};
    const int count = 1 + int(random() % 64);
    const int magnitude = 1 << (random() % 16);
    for (int i = 0; i < count; ++i) {
      block[random() % 64] = int16_t(int(random() % uint32_t(2 * magnitude + 1)) - magnitude);
    }
    if (trial % 3 == 0) {  // scale towards the limit, keeping the sign pattern
      const int64_t sum = guardSum(block, quant);
      if (sum > 0) {
        const double target = double(jpeg::kIdctGuardLimit) * (0.9 + 0.2 * (random() % 1000) / 1000.0);
        for (int16_t& c : block) c = int16_t(std::max(-32767.0, std::min(32767.0, c * target / double(sum))));
      }
    }
    if (trial % 997 == 0) block[random() % 64] = -32768;
    alignas(16) int16_t copy[64];
    std::memcpy(copy, block, sizeof block);
    uint8_t plain[64];
    uint8_t simd[64];
    std::memset(simd, 0x3C, sizeof simd);
    jpeg::idctPlain(block, quant.multiplier, limit.zero(), plain, 8);
    const bool holds = guardSum(block, quant) <= jpeg::kIdctGuardLimit;
    const bool done = jpeg::idctSimd(copy, quant.multiplier, quant.guard, simd, 8);
    EXPECT_EQ(holds, done) << "trial " << trial;
    if (done) {
      ++exact;
      ASSERT_EQ(0, std::memcmp(plain, simd, 64)) << "trial " << trial;
      for (int16_t c : copy) ASSERT_EQ(0, c) << "the block is cleared";
    } else {
      ++refused;
      ASSERT_EQ(0, std::memcmp(block, copy, sizeof block));
      for (uint8_t s : simd) ASSERT_EQ(0x3C, s);
    }
  }
  EXPECT_GT(exact, 5000);
  EXPECT_GT(refused, 1000);
}

// Every (Cb, Cr) pair with luma at the clamping extremes and in between, full
// and half chroma, and line lengths that end inside a 16-pixel group; nothing
// may be written past 3 x count bytes.
TEST(JpegColour, SimdLineEqualsTheTables) {
  int32_t crToR[256], crToG[256], cbToB[256], cbToG[256];
  for (int i = 0; i < 256; ++i) {
    const int x = i - 128;
    crToR[i] = (91881 * x + 32768) >> 16;
    cbToB[i] = (116130 * x + 32768) >> 16;
    crToG[i] = -46802 * x;
    cbToG[i] = -22554 * x + 32768;
  }
  const RangeLimit limit;
  const jpeg::ColourTables tables{limit.zero(), crToR, crToG, cbToB, cbToG};
  uint8_t y[272], cb[272], cr[272];
  uint8_t fast[3 * 256 + 16], plain[3 * 256 + 16];
  int lines = 0;
  for (int half = 0; half < 2; ++half) {
    for (int luma : {0, 1, 37, 128, 200, 254, 255}) {
      for (int cbValue = 0; cbValue < 256; ++cbValue) {
        for (int i = 0; i < 272; ++i) {
          y[i] = uint8_t(luma + (i % 3 == 0 ? 0 : (i * 7) % 11) > 255 ? 255 : luma + (i % 3 == 0 ? 0 : (i * 7) % 11));
          cb[i] = uint8_t(cbValue);
          cr[i] = uint8_t(i);  // with half chroma, pixels 2i and 2i+1 share cr[i]
        }
        const int count = half ? 256 : 256 - (cbValue % 17);
        std::memset(fast, 0xEE, sizeof fast);
        std::memset(plain, 0xEE, sizeof plain);
        jpeg::convertLine(tables, y, cb, cr, half != 0, fast, count);
        jpeg::convertLinePlain(tables, y, cb, cr, half != 0, plain, count);
        ASSERT_EQ(0, std::memcmp(fast, plain, sizeof fast)) << "luma " << luma << " cb " << cbValue << " half " << half;
        ++lines;
      }
    }
  }
  // Half chroma saw Cr 0..127 per line above; the full lines every value.
  EXPECT_EQ(2 * 7 * 256, lines);
}

// Decodes with both paths into buffers with the same fill and compares them
// whole, padding included.
void expectPathsAgree(const Bytes& stream, const std::string& what) {
  const jpegtest::Decoded plain = jpegtest::decodeInto(stream, true);
  const jpegtest::Decoded fast = jpegtest::decodeInto(stream, false);
  ASSERT_EQ(plain.ok, fast.ok) << what;
  EXPECT_EQ(plain.pixels, fast.pixels) << what;
}

TEST(JpegPaths, CommittedPicturesDecodeAlikeAndAtTheirSizes) {
  struct Picture {
    const char* pack;
    int index;
    int width;
    int height;
  } pictures[] = {{"sunglow.pack", 0, 256, 256},        {"surface-low.pack", 0, 1024, 512},
                  {"surface-low.pack", 1, 128, 64},     {"surface-medium.pack", 0, 2048, 1024},
                  {"surface-medium.pack", 1, 256, 128}, {"surface-high.pack", 1, 512, 256}};
  for (const Picture& p : pictures) {
    const Bytes jpeg = jpegtest::resourceImage(p.pack, p.index);
    ASSERT_FALSE(jpeg.empty()) << p.pack;
    const jpegtest::Decoded plain = jpegtest::decodeInto(jpeg, true);
    const jpegtest::Decoded fast = jpegtest::decodeInto(jpeg, false);
    ASSERT_TRUE(plain.ok && fast.ok) << p.pack;
    EXPECT_EQ(p.width, plain.width) << p.pack;
    EXPECT_EQ(p.height, plain.height) << p.pack;
    EXPECT_TRUE(plain.pixels == fast.pixels) << p.pack << " image " << p.index;
  }
}

// Damage of the kinds a broken file has: flipped bytes in the scan, cut-outs,
// inserted markers. Both paths must agree on every one.
TEST(JpegPaths, DamagedPicturesDecodeAlike) {
  const Bytes original = jpegtest::resourceImage("surface-low.pack", 1);
  ASSERT_FALSE(original.empty());
  std::mt19937 random(77);
  const size_t scanStart = 700;  // past the header of this picture
  ASSERT_GT(original.size(), scanStart + 100);
  for (int trial = 0; trial < 150; ++trial) {
    Bytes damaged = original;
    const size_t at = scanStart + random() % (damaged.size() - scanStart);
    switch (trial % 5) {
      case 0:
        damaged[at] ^= uint8_t(1 + random() % 255);
        break;
      case 1:
        damaged.erase(damaged.begin() + long(at),
                      damaged.begin() + long(std::min(damaged.size(), at + 1 + random() % 40)));
        break;
      case 2:
        damaged.insert(damaged.begin() + long(at), {0xFF, uint8_t(0xD0 + random() % 8)});
        break;
      case 3:
        damaged.insert(damaged.begin() + long(at), {0xFF, 0xFF, 0xFF});
        break;
      default:
        damaged.resize(at);
        break;
    }
    expectPathsAgree(damaged, "trial " + std::to_string(trial));
  }
}

// cjpeg variants of a natural picture: qualities, both layouts, restarts.
TEST(JpegPaths, EncoderVariantsDecodeAlike) {
  if (!jpegtest::haveCommand("cjpeg")) GTEST_SKIP() << "cjpeg not installed";
  const std::string dir = jpegtest::scratchDir();
  const Bytes source = jpegtest::resourceImage("surface-low.pack", 1);
  ASSERT_TRUE(jpegtest::writeFile(dir + "/paths-source.jpg", source));
  const std::string options[] = {
      "-quality 100 -sample 1x1",          "-quality 5 -baseline -sample 2x2",    "-quality 60 -restart 1 -sample 2x2",
      "-quality 85 -optimize -restart 7B", "-quality 95 -sample 1x1 -restart 1B", "-quality 40 -sample 2x1"};
  int index = 0;
  for (const std::string& option : options) {
    const std::string out = dir + "/paths-" + std::to_string(index++) + ".jpg";
    const std::string command = "djpeg -pnm '" + dir + "/paths-source.jpg' | cjpeg " + option + " > '" + out + "'";
    ASSERT_EQ(0, std::system(command.c_str())) << command;
    expectPathsAgree(jpegtest::readFile(out), option);
  }
}

}  // namespace
