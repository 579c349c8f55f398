// A resource split as a one- and a two-image pack gives views inside it that add up to its size; each image decodes.
#include <cstddef>
#include <cstdint>

#include "assets/data_pack.h"
#include "assets/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int32_t count = 1; count <= 2; ++count) {
    PackImage images[2] = {};
    if (!readDataPack(data, size, count, images)) continue;
    size_t total = 1;
    for (int32_t i = 0; i < count; ++i) {
      if (images[i].data < data + 1 || images[i].data + images[i].length > data + size) __builtin_trap();
      total += 4 + size_t(images[i].length);
      JpegDecoder probe;  // pictures above 2^18 pixels cost time, not new code
      int32_t width = 0, height = 0, start = 0;
      if (!probe.readHeader(images[i].data, images[i].length, width, height, start)) continue;
      if (int64_t(width) * height <= (1 << 18)) freeRgbImage(decodeJpeg(images[i].data, images[i].length));
    }
    if (total != size) __builtin_trap();
  }
  return 0;
}
