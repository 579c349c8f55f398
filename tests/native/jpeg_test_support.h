// Helpers of the decoder tests: a small JPEG writer for hand-made streams
// (segments, canonical Huffman codes, entropy data with byte stuffing), file
// and tool helpers, and the libjpeg-turbo reference decode.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "assets/jpeg_decoder.h"

#if defined(TAVRIN_HAVE_TURBOJPEG)
#include <turbojpeg.h>
#endif

namespace jpegtest {

using Bytes = std::vector<uint8_t>;

// --- Huffman tables ----------------------------------------------------------

struct HuffmanDefinition {
  uint8_t bits[17] = {};  // [l] number of codes of length l
  Bytes values;           // symbols in code order
};

// A table from (symbol, length) pairs, listed in the order the codes go.
inline HuffmanDefinition tableFromLengths(const std::vector<std::pair<uint8_t, int>>& symbols) {
  HuffmanDefinition table;
  for (int length = 1; length <= 16; ++length) {
    for (const auto& entry : symbols) {
      if (entry.second == length) {
        ++table.bits[length];
        table.values.push_back(entry.first);
      }
    }
  }
  return table;
}

// DC categories 0..15: 0 takes "00", 1..5 three bits, then one longer code each.
inline HuffmanDefinition dcTable() {
  std::vector<std::pair<uint8_t, int>> symbols = {{0, 2}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}};
  for (int s = 6; s <= 15; ++s) symbols.push_back({uint8_t(s), s - 2});  // lengths 4..13
  return tableFromLengths(symbols);
}

// Every AC symbol a baseline encoder uses (EOB, ZRL, runs 0..15 with sizes
// 1..10): short codes for the common ones, 11-bit codes for the rest, so that
// both the look-ahead and the bit-by-bit search are exercised.
inline HuffmanDefinition acTable() {
  std::vector<std::pair<uint8_t, int>> symbols = {{0x00, 2}, {0x01, 2}, {0x02, 4}, {0x11, 4}, {0x03, 4}, {0x21, 4}};
  const uint8_t six[] = {0x04, 0x12, 0x31, 0x05, 0x41, 0x13, 0x22, 0xF0};
  for (uint8_t s : six) symbols.push_back({s, 6});
  for (int run = 0; run < 16; ++run) {
    for (int size = 1; size <= 10; ++size) {
      const uint8_t symbol = uint8_t(run << 4 | size);
      bool listed = false;
      for (const auto& entry : symbols) listed = listed || entry.first == symbol;
      if (!listed) symbols.push_back({symbol, 11});
    }
  }
  return tableFromLengths(symbols);
}

struct HuffmanCodes {
  uint16_t code[256] = {};
  uint8_t length[256] = {};
};

inline HuffmanCodes codesFor(const HuffmanDefinition& table) {
  HuffmanCodes codes;
  int code = 0;
  size_t k = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < table.bits[length]; ++i, ++k) {
      codes.code[table.values[k]] = uint16_t(code++);
      codes.length[table.values[k]] = uint8_t(length);
    }
    code <<= 1;
  }
  return codes;
}

// --- Entropy-coded data ------------------------------------------------------

class BitWriter {
 public:
  void put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      accumulator = accumulator << 1 | ((value >> i) & 1);
      if (++filled == 8) emit();
    }
  }
  // Pads the last byte with one bits, as encoders do before a marker.
  void flush() {
    while (filled != 0) put(1, 1);
  }
  void padWithZeros() {
    while (filled != 0) put(0, 1);
  }
  Bytes bytes;

 private:
  void emit() {
    bytes.push_back(uint8_t(accumulator));
    if (uint8_t(accumulator) == 0xFF) bytes.push_back(0x00);
    accumulator = 0;
    filled = 0;
  }
  uint32_t accumulator = 0;
  int filled = 0;
};

// Size category and the bits that carry a value (T.81 F.1.2.1).
inline int categoryOf(int value) {
  int magnitude = value < 0 ? -value : value;
  int size = 0;
  while (magnitude > 0) {
    ++size;
    magnitude >>= 1;
  }
  return size;
}
inline uint32_t bitsOf(int value, int size) {
  return uint32_t(value < 0 ? value + (1 << size) - 1 : value) & ((1u << size) - 1);
}

struct BlockCodes {
  const HuffmanCodes* dc;
  const HuffmanCodes* ac;
};

// One block: DC difference, then (zigzag index, value) pairs in increasing
// order, with ZRL and EOB as a baseline encoder writes them.
inline void writeBlock(BitWriter& out, const BlockCodes& codes, int dcDifference,
                       const std::vector<std::pair<int, int>>& ac = {}) {
  const int dcSize = categoryOf(dcDifference);
  out.put(codes.dc->code[dcSize], codes.dc->length[dcSize]);
  out.put(bitsOf(dcDifference, dcSize), dcSize);
  int k = 1;
  for (const auto& entry : ac) {
    int run = entry.first - k;
    while (run > 15) {
      out.put(codes.ac->code[0xF0], codes.ac->length[0xF0]);
      run -= 16;
    }
    const int size = categoryOf(entry.second);
    const uint8_t symbol = uint8_t(run << 4 | size);
    out.put(codes.ac->code[symbol], codes.ac->length[symbol]);
    out.put(bitsOf(entry.second, size), size);
    k = entry.first + 1;
  }
  if (k < 64) out.put(codes.ac->code[0x00], codes.ac->length[0x00]);
}

// An AC symbol written as it is (for runs past the end and other damage).
inline void writeAcSymbol(BitWriter& out, const HuffmanCodes& ac, uint8_t symbol, int value) {
  const int size = symbol & 15;
  out.put(ac.code[symbol], ac.length[symbol]);
  out.put(bitsOf(value, size), size);
}

// --- Segments ----------------------------------------------------------------

struct FrameComponent {
  uint8_t id;
  uint8_t sampling;  // H << 4 | V
  uint8_t quant;
};

class JpegWriter {
 public:
  JpegWriter& soi() { return marker(0xD8); }
  JpegWriter& eoi() { return marker(0xD9); }
  JpegWriter& marker(uint8_t code) {
    bytes.push_back(0xFF);
    bytes.push_back(code);
    return *this;
  }
  JpegWriter& segment(uint8_t code, const Bytes& body) {
    marker(code);
    const size_t length = body.size() + 2;
    bytes.push_back(uint8_t(length >> 8));
    bytes.push_back(uint8_t(length));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return *this;
  }
  JpegWriter& app0() { return segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}); }
  // One table per entry: (selector byte, 64 values in zigzag order).
  JpegWriter& dqt(const std::vector<std::pair<uint8_t, Bytes>>& tables) {
    Bytes body;
    for (const auto& table : tables) {
      body.push_back(table.first);
      body.insert(body.end(), table.second.begin(), table.second.end());
    }
    return segment(0xDB, body);
  }
  JpegWriter& frame(uint8_t code, int width, int height, const std::vector<FrameComponent>& components,
                    uint8_t precision = 8) {
    Bytes body = {precision,           uint8_t(height >> 8), uint8_t(height),
                  uint8_t(width >> 8), uint8_t(width),       uint8_t(components.size())};
    for (const FrameComponent& c : components) body.insert(body.end(), {c.id, c.sampling, c.quant});
    return segment(code, body);
  }
  // One table per entry: (Tc/Th selector, table).
  JpegWriter& dht(const std::vector<std::pair<uint8_t, HuffmanDefinition>>& tables) {
    Bytes body;
    for (const auto& table : tables) {
      body.push_back(table.first);
      body.insert(body.end(), table.second.bits + 1, table.second.bits + 17);
      body.insert(body.end(), table.second.values.begin(), table.second.values.end());
    }
    return segment(0xC4, body);
  }
  JpegWriter& dri(int interval) { return segment(0xDD, {uint8_t(interval >> 8), uint8_t(interval)}); }
  JpegWriter& sos3() { return segment(0xDA, {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}); }
  JpegWriter& data(const Bytes& entropy) {
    bytes.insert(bytes.end(), entropy.begin(), entropy.end());
    return *this;
  }
  Bytes bytes;
};

inline Bytes flatQuant(uint8_t value) {
  return Bytes(64, value);
}

// The usual header of the hand-made pictures: tables of raw value `quant`
// (scaled DC multiplier (quant x 16384 + 2048) >> 12), the test Huffman
// tables, a frame of the given size and luma sampling, the scan header.
inline JpegWriter headerFor(int width, int height, uint8_t lumaSampling = 0x11, uint8_t quant = 1,
                            int restartInterval = 0) {
  JpegWriter writer;
  writer.soi().app0().dqt({{0x00, flatQuant(quant)}}).dqt({{0x01, flatQuant(quant)}});
  writer.frame(0xC0, width, height, {{1, lumaSampling, 0}, {2, 0x11, 1}, {3, 0x11, 1}});
  writer.dht({{0x00, dcTable()}}).dht({{0x10, acTable()}}).dht({{0x01, dcTable()}}).dht({{0x11, acTable()}});
  if (restartInterval != 0) writer.dri(restartInterval);
  writer.sos3();
  return writer;
}

struct TestCodes {
  HuffmanCodes dc = codesFor(dcTable());
  HuffmanCodes ac = codesFor(acTable());
  BlockCodes block() const { return {&dc, &ac}; }
};

// --- Decoding helpers --------------------------------------------------------

// Decodes through readHeader + the chosen path into a buffer pre-filled with
// `fill`, so that the tests see which bytes were written.
struct Decoded {
  bool ok = false;
  int32_t width = 0;
  int32_t height = 0;
  Bytes pixels;
  const uint8_t* pixel(int x, int y) const {  // picture coordinates, y from the top
    return pixels.data() + size_t(height - 1 - y) * size_t(rgbImageStride(width)) + size_t(3 * x);
  }
};
inline Decoded decodeInto(const Bytes& stream, bool plain, uint8_t fill = 0xA5) {
  Decoded out;
  JpegDecoder decoder;
  int32_t headerLength = 0;
  if (!decoder.readHeader(stream.data(), int32_t(stream.size()), out.width, out.height, headerLength)) {
    return out;
  }
  out.pixels.assign(size_t(rgbImageStride(out.width)) * size_t(out.height), fill);
  const uint8_t* scan = stream.data() + headerLength;
  out.ok = plain ? decoder.decodeImagePlain(scan, out.pixels.data()) : decoder.decodeImage(scan, out.pixels.data());
  return out;
}

// Collects what the decoder would show the user.
struct MessageLog {
  MessageLog() {
    messages().clear();
    setJpegMessageHook([](const char* text) { messages().push_back(text); });
  }
  ~MessageLog() { setJpegMessageHook(nullptr); }
  static std::vector<std::string>& messages() {
    static std::vector<std::string> log;
    return log;
  }
};

// --- Files and tools ---------------------------------------------------------

inline Bytes readFile(const std::string& path) {
  Bytes bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return bytes;
}

inline bool writeFile(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

inline bool haveCommand(const char* name) {
  const std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(probe.c_str()) == 0;
}

inline std::string scratchDir() {
  const std::string dir = std::string(TAVRIN_BINARY_DIR) + "/jpeg-tests";
  const std::string make = "mkdir -p '" + dir + "'";
  if (std::system(make.c_str()) != 0) return TAVRIN_BINARY_DIR;
  return dir;
}

inline Bytes resourceImage(const char* pack, int index) {
  const Bytes bytes = readFile(std::string(TAVRIN_SOURCE_DIR) + "/res/" + pack);
  size_t offset = 1;
  for (int i = 0; i < index && offset + 4 <= bytes.size(); ++i) {
    offset += 4 + (size_t(bytes[offset]) | size_t(bytes[offset + 1]) << 8 | size_t(bytes[offset + 2]) << 16 |
                   size_t(bytes[offset + 3]) << 24);
  }
  if (offset + 4 > bytes.size()) return {};
  const size_t length = size_t(bytes[offset]) | size_t(bytes[offset + 1]) << 8 | size_t(bytes[offset + 2]) << 16 |
                        size_t(bytes[offset + 3]) << 24;
  if (offset + 4 + length > bytes.size()) return {};
  return Bytes(bytes.begin() + long(offset + 4), bytes.begin() + long(offset + 4 + length));
}

#if defined(TAVRIN_HAVE_TURBOJPEG)
// libjpeg-turbo's decode with the fast integer IDCT and no smoothing, bottom-up BGR.
inline Bytes turboDecode(const Bytes& jpeg, int& width, int& height) {
  tjhandle handle = tjInitDecompress();
  int subsampling = 0;
  int colourspace = 0;
  Bytes out;
  if (tjDecompressHeader3(handle, jpeg.data(), (unsigned long)jpeg.size(), &width, &height, &subsampling,
                          &colourspace) == 0) {
    const int stride = rgbImageStride(width);
    out.assign(size_t(stride) * size_t(height), 0);
    if (tjDecompress2(handle, jpeg.data(), (unsigned long)jpeg.size(), out.data(), width, stride, height, TJPF_BGR,
                      TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE | TJFLAG_BOTTOMUP) != 0) {
      out.clear();
    }
  }
  tjDestroy(handle);
  return out;
}
#endif

}  // namespace jpegtest
