// decodeJpeg on arbitrary bytes: in bounds, and the fast path gives exactly the plain path's pixels and notes what it
// made up alike, or fails with it.
// Pictures above 16,384 pixels are skipped after the header: their cost is size, not new code.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "assets/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 22)) return 0;
  JpegDecoder probe;
  int32_t width = 0, height = 0, start = 0;
  if (probe.readHeader(data, int32_t(size), width, height, start)) {
    if (int64_t(width) * height > (1 << 14)) return 0;
    if (start < 0 || size_t(start) > size) __builtin_trap();
  }
  JpegDecodeReport fastReport, plainReport;
  RgbImage* fast = decodeJpeg(data, int32_t(size), {}, &fastReport);
  RgbImage* plain = decodeJpegPlain(data, int32_t(size), {}, &plainReport);
  if ((fast == nullptr) != (plain == nullptr) || fastReport.scanFaults != plainReport.scanFaults) __builtin_trap();
  for (int32_t row = 0; fast != nullptr && row < fast->height; ++row) {  // rows without their padding
    const size_t at = size_t(row) * size_t(rgbImageStride(fast->width));
    if (std::memcmp(fast->pixels + at, plain->pixels + at, size_t(3 * fast->width)) != 0) __builtin_trap();
  }
  freeRgbImage(fast);
  freeRgbImage(plain);
  return 0;
}
