// A resource as the loaders see it: split as a one- and as a two-image pack,
// then every image decoded. The split must hand out views inside the bytes
// that add up to their size.
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
    }
    if (total != size) __builtin_trap();
    for (int32_t i = 0; i < count; ++i) {
      JpegDecoder probe;
      int32_t width = 0;
      int32_t height = 0;
      int32_t headerLength = 0;
      if (!probe.readHeader(images[i].data, images[i].length, width, height, headerLength)) continue;
      if (int64_t(width) * height > (1 << 18)) continue;
      freeRgbImage(decodeJpeg(images[i].data, images[i].length));
    }
  }
  return 0;
}
