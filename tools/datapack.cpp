// datapack: builds, checks and decodes the saver's JPEG data packs.
//
//   datapack build OUT IN.jpg [IN2.jpg]
//       writes a pack: count byte, then per image a 32-bit little-endian
//       length and the JPEG bytes.
//   datapack verify PACK...
//       checks that the lengths add up to the file size and that every picture
//       stays inside the decoder's subset; prints every departure and exits
//       with 1 if there is any.
//   datapack decode IN OUT.bmp [--image N] [--plain]
//       decodes a JPEG file, or image N (1 or 2, default 1) of a pack, with the
//       saver's decoder (the plain path with --plain) and writes a 24-bit BMP.
//
// A native build tool; it shares the pack layout and the decoder with the
// saver through tavrin_core.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/data_pack.h"
#include "assets/jpeg_decoder.h"
#include "assets/jpeg_subset.h"

namespace {

void printHeaderMessage(void*, const char* text) { std::fprintf(stderr, "datapack: decoder: %s\n", text); }
const JpegMessages printed{printHeaderMessage, nullptr};

bool readFile(const char* path, std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  bytes.clear();
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool writeFile(const char* path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int32_t bytes) {
  for (int32_t i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// A bottom-up 24-bit BMP is the decoder's own layout: the headers, then the
// picture's buffer as it is, written straight from it. A second copy would
// double the tool's peak (25 MB more for the largest lunar map) and cost the
// time of touching that much fresh memory. The decoder leaves the row padding
// unwritten, so it is zeroed in place first.
bool writeBmp(const char* path, RgbImage& image) {
  const uint32_t stride = uint32_t(rgbImageStride(image.width));
  const uint32_t pixelBytes = stride * uint32_t(image.height);
  std::vector<uint8_t> header;
  header.push_back('B');
  header.push_back('M');
  putLittleEndian(header, 14 + 40 + pixelBytes, 4);  // file size
  putLittleEndian(header, 0, 4);                     // reserved
  putLittleEndian(header, 14 + 40, 4);               // offset of the pixels
  putLittleEndian(header, 40, 4);                    // BITMAPINFOHEADER size
  putLittleEndian(header, uint32_t(image.width), 4);
  putLittleEndian(header, uint32_t(image.height), 4);  // positive: bottom-up
  putLittleEndian(header, 1, 2);                       // planes
  putLittleEndian(header, 24, 2);                      // bits per pixel
  putLittleEndian(header, 0, 4);                       // BI_RGB
  putLittleEndian(header, pixelBytes, 4);
  putLittleEndian(header, 2835, 4);  // 72 dpi
  putLittleEndian(header, 2835, 4);
  putLittleEndian(header, 0, 4);
  putLittleEndian(header, 0, 4);
  const uint32_t used = 3 * uint32_t(image.width);
  for (uint32_t row = 0; row < uint32_t(image.height); ++row) {
    std::memset(image.pixels + size_t(row) * stride + used, 0, stride - used);
  }
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                       std::fwrite(image.pixels, 1, pixelBytes, file) == pixelBytes;
  return std::fclose(file) == 0 && written;
}

bool isJpeg(const std::vector<uint8_t>& bytes) { return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8; }

int build(int argc, char** argv) {
  if (argc < 4 || argc > 5) return std::fprintf(stderr, "usage: datapack build OUT IN.jpg [IN2.jpg]\n"), 2;
  std::vector<uint8_t> inputs[2];
  PackImage images[2] = {};
  const int32_t count = argc - 3;
  for (int32_t i = 0; i < count; ++i) {
    const char* path = argv[3 + i];
    if (!readFile(path, inputs[i]) || inputs[i].empty()) {
      std::fprintf(stderr, "datapack: cannot read %s\n", path);
      return 1;
    }
    if (!isJpeg(inputs[i])) std::fprintf(stderr, "datapack: warning: %s does not start with SOI\n", path);
    images[i] = PackImage{inputs[i].data(), int32_t(inputs[i].size())};
  }
  const std::vector<uint8_t> pack = makeDataPack(images, count);
  if (!writeFile(argv[2], pack)) {
    std::fprintf(stderr, "datapack: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %zu bytes", argv[2], pack.size());
  for (int32_t i = 0; i < count; ++i) std::printf(", image %d %d bytes", i + 1, images[i].length);
  std::printf("\n");
  return 0;
}

// Prints the departures of one pack; true when there are none.
bool verifyPack(const char* path) {
  std::vector<uint8_t> bytes;
  if (!readFile(path, bytes)) {
    std::printf("%s: cannot read\n", path);
    return false;
  }
  const int32_t count = dataPackCountByte(bytes.data(), bytes.size());
  if (count != 1 && count != 2) {
    std::printf("%s: count byte %d (a pack holds 1 or 2 images)\n", path, count);
    return false;
  }
  PackImage images[2] = {};
  DataPackFault fault = DataPackFault::none;
  if (!readDataPack(bytes.data(), bytes.size(), count, images, &fault)) {
    std::printf("%s: %s\n", path, dataPackFaultText(fault));
    return false;
  }
  bool clean = true;
  for (int32_t i = 0; i < count; ++i) {
    const std::vector<JpegDeparture> departures = checkJpegSubset(images[i].data, size_t(images[i].length));
    for (const JpegDeparture departure : departures) {
      std::printf("%s: image %d: %s\n", path, i + 1, jpegDepartureText(departure));
    }
    clean = clean && departures.empty();
    if (departures.empty()) {
      JpegDecoder decoder;
      int32_t width = 0;
      int32_t height = 0;
      int32_t headerLength = 0;
      decoder.readHeader(images[i].data, images[i].length, width, height, headerLength);
      std::printf("%s: image %d: %d x %d, %d bytes, inside the subset\n", path, i + 1, width, height, images[i].length);
    }
  }
  return clean;
}

int verify(int argc, char** argv) {
  if (argc < 3) return std::fprintf(stderr, "usage: datapack verify PACK...\n"), 2;
  bool clean = true;
  for (int i = 2; i < argc; ++i) clean = verifyPack(argv[i]) && clean;
  return clean ? 0 : 1;
}

int decode(int argc, char** argv) {
  const char* usage = "usage: datapack decode IN OUT.bmp [--image N] [--plain]\n";
  if (argc < 4) return std::fprintf(stderr, "%s", usage), 2;
  int32_t index = 1;
  bool plain = false;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--image") == 0 && i + 1 < argc) {
      index = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--plain") == 0) {
      plain = true;
    } else {
      return std::fprintf(stderr, "%s", usage), 2;
    }
  }
  std::vector<uint8_t> bytes;
  if (!readFile(argv[2], bytes)) return std::fprintf(stderr, "datapack: cannot read %s\n", argv[2]), 1;
  PackImage image{bytes.data(), int32_t(bytes.size())};
  if (!isJpeg(bytes)) {
    PackImage images[2] = {};
    const int32_t count = dataPackCountByte(bytes.data(), bytes.size());
    DataPackFault fault = DataPackFault::none;
    if (count < 1 || count > 2 || !readDataPack(bytes.data(), bytes.size(), count, images, &fault)) {
      std::fprintf(stderr, "datapack: %s is neither a JPEG nor a good pack (%s)\n", argv[2],
                   count < 1 || count > 2 ? "count byte not 1 or 2" : dataPackFaultText(fault));
      return 1;
    }
    if (index < 1 || index > count) {
      std::fprintf(stderr, "datapack: %s holds %d image(s)\n", argv[2], count);
      return 1;
    }
    image = images[index - 1];
  }
  RgbImage* picture =
      plain ? decodeJpegPlain(image.data, image.length, printed) : decodeJpeg(image.data, image.length, printed);
  if (picture == nullptr) return std::fprintf(stderr, "datapack: cannot decode %s\n", argv[2]), 1;
  const bool written = writeBmp(argv[3], *picture);
  std::printf("%s: %d x %d\n", argv[3], picture->width, picture->height);
  freeRgbImage(picture);
  if (!written) return std::fprintf(stderr, "datapack: cannot write %s\n", argv[3]), 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "build") return build(argc, argv);
  if (command == "verify") return verify(argc, argv);
  if (command == "decode") return decode(argc, argv);
  std::fprintf(stderr,
               "usage: datapack build OUT IN.jpg [IN2.jpg]\n"
               "       datapack verify PACK...\n"
               "       datapack decode IN OUT.bmp [--image N] [--plain]\n");
  return 2;
}
