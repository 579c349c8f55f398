// Whole pictures against libjpeg-turbo. Pictures are made at test time with
// cjpeg (4:4:4 and 4:2:0, sizes that are not multiples of the MCU, restart
// intervals, several qualities, optimised and standard tables) and decoded by
// both paths of the saver's decoder and by libjpeg-turbo with the fast integer
// IDCT and no smoothing: in process through libturbojpeg (SIMD), and through
// djpeg with its SIMD switched off (the C arithmetic, also for synthetic
// pictures with edges strong enough to matter). The floor is 40 dB PSNR; the
// expectation is equality to the byte.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/native/jpeg_test_support.h"

namespace {

using jpegtest::Bytes;

struct Rgb {
  int width = 0;
  int height = 0;
  Bytes rgb;  // top-down, R G B
};

bool writePpm(const std::string& path, const Rgb& picture) {
  const std::string header = "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  Bytes bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), picture.rgb.begin(), picture.rgb.end());
  return jpegtest::writeFile(path, bytes);
}

// A crop of one of the committed pictures, as the saver decodes it.
Rgb crop(const char* pack, int index, int x0, int y0, int width, int height) {
  Rgb out;
  const Bytes jpeg = jpegtest::resourceImage(pack, index);
  RgbImage* image = decodeJpeg(jpeg.data(), int32_t(jpeg.size()));
  if (image == nullptr) return out;
  if (x0 + width > image->width || y0 + height > image->height) {
    freeRgbImage(image);
    return out;
  }
  out.width = width;
  out.height = height;
  const int stride = rgbImageStride(image->width);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = image->pixels + size_t(image->height - 1 - (y0 + y)) * size_t(stride) + size_t(3 * (x0 + x));
      out.rgb.insert(out.rgb.end(), {p[2], p[1], p[0]});
    }
  }
  freeRgbImage(image);
  return out;
}

// Hard edges, one-pixel checks, saturated colours and a ramp: the content
// that drives the IDCT's intermediate values furthest.
Rgb synthetic(int width, int height) {
  Rgb out;
  out.width = width;
  out.height = height;
  uint32_t noise = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      uint8_t r = 0;
      uint8_t g = 0;
      uint8_t b = 0;
      switch ((x / 8 + y / 8) % 4) {
        case 0:
          r = g = b = ((x ^ y) & 1) ? 255 : 0;
          break;
        case 1:
          r = 255, g = 0, b = (x & 2) ? 255 : 0;
          break;
        case 2:
          r = uint8_t(x * 255 / (width > 1 ? width - 1 : 1)), g = uint8_t(noise >> 24), b = 40;
          break;
        default:
          r = g = b = (y & 1) ? 250 : 5;
          break;
      }
      out.rgb.insert(out.rgb.end(), {r, g, b});
    }
  }
  return out;
}

double psnr(const jpegtest::Decoded& a, const Bytes& b) {
  const int stride = rgbImageStride(a.width);
  double squares = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int i = 0; i < 3 * a.width; ++i) {
      const double d = double(a.pixels[size_t(y * stride + i)]) - double(b[size_t(y * stride + i)]);
      squares += d * d;
    }
  }
  if (squares == 0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 * 3.0 * a.width * a.height / squares);
}

size_t differingBytes(const jpegtest::Decoded& a, const Bytes& b) {
  const int stride = rgbImageStride(a.width);
  size_t count = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int i = 0; i < 3 * a.width; ++i) count += a.pixels[size_t(y * stride + i)] != b[size_t(y * stride + i)];
  }
  return count;
}

// djpeg's C arithmetic (SIMD off) as a bottom-up BMP, pixels only.
Bytes djpegPlain(const std::string& jpegPath, const std::string& bmpPath, int width, int height) {
  const std::string command =
      "JSIMD_FORCENONE=1 djpeg -dct fast -nosmooth -bmp -outfile '" + bmpPath + "' '" + jpegPath + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  const Bytes bmp = jpegtest::readFile(bmpPath);
  const size_t size = size_t(rgbImageStride(width)) * size_t(height);
  if (bmp.size() < 54 + size) return {};
  const size_t offset = size_t(bmp[10]) | size_t(bmp[11]) << 8 | size_t(bmp[12]) << 16;
  if (offset + size > bmp.size()) return {};
  return Bytes(bmp.begin() + long(offset), bmp.begin() + long(offset + size));
}

struct Variant {
  const char* sampling;
  int quality;
  const char* restart;  // "" or a cjpeg -restart argument
  bool optimize;
};

class JpegReference : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!jpegtest::haveCommand("cjpeg") || !jpegtest::haveCommand("djpeg")) {
      GTEST_SKIP() << "cjpeg/djpeg not installed (tools/install-deps.sh installs libjpeg-turbo-progs)";
    }
    dir = jpegtest::scratchDir();
  }

  // Encodes, decodes four ways, compares. `turbo`: also compare with the
  // in-process SIMD decode (natural pictures only).
  void check(const Rgb& source, const std::string& name, const Variant& v, bool turbo) {
    ASSERT_FALSE(source.rgb.empty());
    const std::string base = dir + "/" + name + "-" + v.sampling + "-q" + std::to_string(v.quality) +
                             (v.restart[0] ? std::string("-r") + v.restart : "") + (v.optimize ? "-o" : "");
    ASSERT_TRUE(writePpm(base + ".ppm", source));
    const std::string command = std::string("cjpeg -baseline -sample ") + v.sampling + " -quality " +
                                std::to_string(v.quality) + (v.optimize ? " -optimize" : "") +
                                (v.restart[0] ? std::string(" -restart ") + v.restart : "") + " -outfile '" + base +
                                ".jpg' '" + base + ".ppm'";
    ASSERT_EQ(0, std::system(command.c_str())) << command;
    const Bytes jpeg = jpegtest::readFile(base + ".jpg");

    const jpegtest::Decoded plain = jpegtest::decodeInto(jpeg, true, 0);
    const jpegtest::Decoded fast = jpegtest::decodeInto(jpeg, false, 0);
    ASSERT_TRUE(plain.ok) << base;
    ASSERT_TRUE(fast.ok) << base;
    EXPECT_EQ(plain.pixels, fast.pixels) << base << ": fast and plain paths differ";

    const Bytes reference = djpegPlain(base + ".jpg", base + ".bmp", plain.width, plain.height);
    ASSERT_FALSE(reference.empty()) << base;
    EXPECT_GE(psnr(plain, reference), 40.0) << base;
    EXPECT_EQ(size_t(0), differingBytes(plain, reference)) << base << ": differs from djpeg -dct fast -nosmooth";
    ++pictures;
#if defined(TAVRIN_HAVE_TURBOJPEG)
    if (turbo) {
      int width = 0;
      int height = 0;
      const Bytes simd = jpegtest::turboDecode(jpeg, width, height);
      ASSERT_FALSE(simd.empty()) << base;
      EXPECT_GE(psnr(plain, simd), 40.0) << base;
      EXPECT_EQ(size_t(0), differingBytes(plain, simd)) << base << ": differs from libturbojpeg";
    }
#else
    (void)turbo;
#endif
  }

  std::string dir;
  int pictures = 0;
};

const Variant kVariants[] = {
    {"1x1", 90, "", true},   {"2x2", 90, "", true},   {"1x1", 50, "3B", false}, {"2x2", 50, "1", false},
    {"1x1", 100, "", false}, {"2x2", 75, "2B", true}, {"1x1", 25, "", true},    {"2x2", 98, "", false},
};

TEST_F(JpegReference, NaturalPicturesMatchLibjpegTurbo) {
  // Moon, Earth, Earth, moon (image 0 of a surface pack is the moon).
  const Rgb sources[] = {crop("surface-high.pack", 0, 1000, 500, 333, 217), crop("surface-low.pack", 1, 20, 10, 61, 37),
                         crop("surface-high.pack", 1, 0, 0, 16, 16), crop("surface-medium.pack", 0, 900, 300, 7, 5)};
  int index = 0;
  for (const Rgb& source : sources) {
    for (const Variant& v : kVariants) check(source, "natural" + std::to_string(index), v, true);
    ++index;
  }
  RecordProperty("pictures_identical_to_libjpeg_turbo", pictures);
}

TEST_F(JpegReference, HardEdgesMatchTheCArithmetic) {
  const Rgb sources[] = {synthetic(64, 48), synthetic(41, 23), synthetic(1, 1)};
  int index = 0;
  for (const Rgb& source : sources) {
    for (const Variant& v : kVariants) check(source, "edges" + std::to_string(index), v, false);
    ++index;
  }
}

}  // namespace
