// Decoding the 4096 x 2048 lunar map of res/surface-high.pack: the saver's
// decoder against libjpeg-turbo (libturbojpeg, SIMD, fast integer IDCT, fast
// upsampling, bottom-up BGR) on the same bytes. Runs alternate in one
// process so that both see the same machine state; both write into buffers
// allocated once. Prints the medians and their ratio (ours / turbo), then
// decodeJpeg with its allocation and the plain path for scale.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "assets/data_pack.h"
#include "assets/jpeg_decoder.h"

#if defined(TAVRIN_HAVE_TURBOJPEG)
#include <turbojpeg.h>
#endif

namespace {

constexpr int kRounds = 41;

std::vector<uint8_t> readPack(const char* path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return bytes;
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return bytes;
}

double seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool decodeOurs(const PackImage& image, uint8_t* pixels, bool plain) {
  JpegDecoder decoder;
  int32_t width = 0;
  int32_t height = 0;
  int32_t headerLength = 0;
  if (!decoder.readHeader(image.data, image.length, width, height, headerLength)) return false;
  const uint8_t* scan = image.data + headerLength;
  return plain ? decoder.decodeImagePlain(scan, pixels) : decoder.decodeImage(scan, pixels);
}

}  // namespace

int main() {
  const char* path = TAVRIN_SOURCE_DIR "/res/surface-high.pack";
  const std::vector<uint8_t> pack = readPack(path);
  PackImage images[2] = {};
  if (!readDataPack(pack.data(), pack.size(), 2, images)) {
    std::fprintf(stderr, "bench_decoder: cannot read %s\n", path);
    return 1;
  }
  const PackImage& moon = images[0];
  JpegDecoder probe;
  int32_t width = 0;
  int32_t height = 0;
  int32_t headerLength = 0;
  if (!probe.readHeader(moon.data, moon.length, width, height, headerLength)) return 1;
  const int32_t stride = rgbImageStride(width);
  std::vector<uint8_t> ours(size_t(stride) * size_t(height), 0);
  std::printf("lunar map %d x %d, %d bytes of JPEG, %d rounds\n", width, height, moon.length, kRounds);
  std::printf("built with %s\n", TAVRIN_BENCH_BUILD);

  std::vector<double> oursTimes;
#if defined(TAVRIN_HAVE_TURBOJPEG)
  std::vector<uint8_t> theirs(ours.size(), 0);
  tjhandle turbo = tjInitDecompress();
  const int flags = TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE | TJFLAG_BOTTOMUP;
  std::vector<double> turboTimes;
#endif
  for (int round = -3; round < kRounds; ++round) {  // three rounds of warm-up
    double start = seconds();
    if (!decodeOurs(moon, ours.data(), false)) return 1;
    const double ourTime = seconds() - start;
#if defined(TAVRIN_HAVE_TURBOJPEG)
    start = seconds();
    if (tjDecompress2(turbo, moon.data, (unsigned long)moon.length, theirs.data(), width, stride, height, TJPF_BGR,
                      flags) != 0) {
      return 1;
    }
    const double turboTime = seconds() - start;
    if (round >= 0) turboTimes.push_back(turboTime);
#endif
    if (round >= 0) oursTimes.push_back(ourTime);
  }
  std::printf("saver decoder   median %8.2f ms\n", 1e3 * median(oursTimes));
#if defined(TAVRIN_HAVE_TURBOJPEG)
  tjDestroy(turbo);
  std::printf("libjpeg-turbo   median %8.2f ms\n", 1e3 * median(turboTimes));
  std::printf("ratio (ours / turbo)   %8.3f\n", median(oursTimes) / median(turboTimes));
  std::printf("pixels identical       %8s\n", ours == theirs ? "yes" : "NO");
#else
  std::printf("libjpeg-turbo not found: no comparison\n");
#endif

  std::vector<double> allocating;
  std::vector<double> plain;
  for (int round = 0; round < 9; ++round) {
    double start = seconds();
    RgbImage* image = decodeJpeg(moon.data, moon.length);
    allocating.push_back(seconds() - start);
    if (image == nullptr) return 1;
    freeRgbImage(image);
    if (round < 3) {
      start = seconds();
      decodeOurs(moon, ours.data(), true);
      plain.push_back(seconds() - start);
    }
  }
  std::printf("decodeJpeg (allocating)   %8.2f ms\n", 1e3 * median(allocating));
  std::printf("plain path                %8.2f ms\n", 1e3 * median(plain));
  return 0;
}
