// decodeJpeg on arbitrary bytes. Besides staying in bounds, the fast path
// must give exactly the plain path's pixels (or fail exactly when it fails).
// Pictures above 16,384 pixels are skipped after the header: their
// cost is size, not new code.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "assets/jpeg_decoder.h"

namespace {

constexpr int64_t kMaxPixels = 1 << 14;

bool samePixels(const RgbImage& a, const RgbImage& b) {
  if (a.width != b.width || a.height != b.height) return false;
  const size_t stride = size_t(rgbImageStride(a.width));
  for (int32_t row = 0; row < a.height; ++row) {
    if (std::memcmp(a.pixels + row * stride, b.pixels + row * stride, size_t(3 * a.width)) != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 22)) return 0;
  const int32_t length = int32_t(size);
  JpegDecoder probe;
  int32_t width = 0;
  int32_t height = 0;
  int32_t headerLength = 0;
  if (probe.readHeader(data, length, width, height, headerLength)) {
    if (int64_t(width) * height > kMaxPixels) return 0;
    if (headerLength < 0 || headerLength > length) __builtin_trap();
  }
  RgbImage* fast = decodeJpeg(data, length);
  RgbImage* plain = decodeJpegPlain(data, length);
  if ((fast == nullptr) != (plain == nullptr)) __builtin_trap();
  if (fast != nullptr && !samePixels(*fast, *plain)) __builtin_trap();
  freeRgbImage(fast);
  freeRgbImage(plain);
  return 0;
}
