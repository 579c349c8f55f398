// The pictures: the JPEG decoder (worked examples on hand-made streams, cjpeg's pictures against libjpeg-turbo, bad
// input; every picture through both paths, which must agree to the byte), data packs and the glyph atlas.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "assets/data_pack.h"
#include "assets/jpeg_decoder.h"
#include "assets/jpeg_subset.h"
#include "scene/overlay.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// The test's Huffman tables, DC and AC: symbol 0 (DC category 0, EOB) is "00", so that zero bits read as those; the
// other DC categories take 5 bits, the other AC run/sizes and ZRL 8, in canonical order.
struct Huffman {
  Bytes counts = Bytes(16, 0), symbols;
  uint16_t code[256] = {};
  uint8_t length[256] = {};
  explicit Huffman(bool ac) {
    for (int s = 0; s < 256; ++s) {
      if (s != 0 && !(ac ? (s & 15) - 1u < 10u || s == 0xF0 : s < 16)) continue;
      length[s] = uint8_t(s == 0 ? 2 : ac ? 8 : 5);
      code[s] = uint16_t(s == 0 ? 0 : (1 << (length[s] - 2)) + int(symbols.size()) - 1);
      ++counts[length[s] - 1u];
      symbols.push_back(uint8_t(s));
    }
  }
};
const Huffman kTables[2] = {Huffman(false), Huffman(true)};

// Entropy-coded data as '0' and '1' until flush() packs it with stuffing, padding with ones as encoders do (or as
// given).
struct Bits {
  std::string pending;
  void put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) pending += char('0' + (value >> i & 1));
  }
  // A symbol, then the low `size` bits of its value (T.81 F.1.2.1).
  void symbol(bool ac, int s, int value = 0) {
    put(kTables[ac].code[s], kTables[ac].length[s]);
    put(uint32_t(value < 0 ? value + (1 << (s & 15)) - 1 : value), s & 15);
  }
  Bits& block(int dc) {  // DC only: the difference, then EOB
    symbol(false, dc == 0 ? 0 : 32 - __builtin_clz(uint32_t(std::abs(dc))), dc);
    symbol(true, 0x00);
    return *this;
  }
  Bits& mcu(int y, int cb = 0, int cr = 0) { return block(y).block(cb).block(cr); }
  Bytes flush(char pad = '1') const {
    Bytes out;
    for (size_t i = 0; i < pending.size(); i += 8) {
      out.push_back(uint8_t(std::stoi((pending.substr(i, 8) + std::string(8, pad)).substr(0, 8), nullptr, 2)));
      if (out.back() == 0xFF) out.push_back(0x00);
    }
    return out;
  }
};

Bytes segment(uint8_t code, const Bytes& body) {
  return join({{0xFF, code, uint8_t((body.size() + 2) >> 8), uint8_t(body.size() + 2)}, body});
}
const Bytes kSoi = {0xFF, 0xD8}, kEoi = {0xFF, 0xD9}, kSos = segment(0xDA, {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0});

// Flat quantisation tables, (Pq/Tq, raw value) each.
Bytes dqt(std::initializer_list<std::pair<uint8_t, uint8_t>> tables) {
  Bytes body;
  for (const auto& [selector, value] : tables) body = join({body, {selector}, Bytes(64, value)});
  return segment(0xDB, body);
}
// Huffman tables by Tc/Th selector, the test DC or AC table by class.
Bytes dht(std::initializer_list<uint8_t> selectors) {
  Bytes body;
  for (uint8_t s : selectors) body = join({body, {s}, kTables[s >> 4 == 1].counts, kTables[s >> 4 == 1].symbols});
  return segment(0xC4, body);
}
// Components 1..count: luma sampled as given on table 0, chroma 1 x 1 on table 1.
Bytes sof(int width, int height, uint8_t luma = 0x11, uint8_t code = 0xC0, int count = 3) {
  Bytes body = {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width), uint8_t(count)};
  for (int i = 1; i <= count; ++i) body = join({body, {uint8_t(i), i == 1 ? luma : uint8_t(0x11), uint8_t(i > 1)}});
  return segment(code, body);
}
const Bytes kHuffman = join({dht({0x00}), dht({0x10}), dht({0x01}), dht({0x11})});

// The usual header: both tables raw `quant` (DC multiplier 4 quant), each in its segment.
Bytes header(int width, int height, uint8_t luma = 0x11, uint8_t quant = 1, int restart = 0) {
  const Bytes dri = restart ? segment(0xDD, {0, uint8_t(restart)}) : Bytes();
  return join({kSoi, dqt({{0, quant}}), dqt({{1, quant}}), sof(width, height, luma), kHuffman, dri, kSos});
}

struct Decoded {
  bool ok = false;
  int32_t width = 0, height = 0;
  Bytes pixels;
  uint8_t scanFaults = 0;
  const uint8_t* at(int x, int y) const {  // y from the top
    return pixels.data() + size_t(height - 1 - y) * size_t(rgbImageStride(width)) + size_t(3 * x);
  }
};

// Decodes an exactly sized copy (ASan sees a read past the end) by both paths into buffers of one fill, which must
// agree to the byte, padding included; gives the plain path's result.
Decoded decodeBoth(const Bytes& stream, uint8_t fill = 0xA5) {
  const Bytes exact(stream);
  Decoded out[2];
  for (int plain = 0; plain < 2; ++plain) {
    JpegDecoder decoder;
    int32_t start = 0;
    Decoded& d = out[plain];
    if (!decoder.readHeader(exact.data(), int32_t(exact.size()), d.width, d.height, start)) continue;
    d.pixels.assign(size_t(rgbImageStride(d.width)) * size_t(d.height), fill);
    d.ok = plain ? decoder.decodeImagePlain(exact.data() + start, d.pixels.data())
                 : decoder.decodeImage(exact.data() + start, d.pixels.data());
  }
  EXPECT_EQ(out[1].ok, out[0].ok) << "the fast path decodes what the plain one does";
  EXPECT_TRUE(out[0].pixels == out[1].pixels) << "the fast path differs from the plain one";
  JpegDecodeReport fast, plain;
  RgbImage* image = decodeJpeg(exact.data(), int32_t(exact.size()), {}, &fast);
  freeRgbImage(decodeJpegPlain(exact.data(), int32_t(exact.size()), {}, &plain));
  EXPECT_EQ(out[1].ok, image != nullptr);
  EXPECT_EQ(plain.scanFaults, fast.scanFaults) << "the paths differ in what they made up";
  freeRgbImage(image);
  out[1].scanFaults = fast.scanFaults;
  return out[1];
}

Bytes readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

Bytes picture(int width, int height, const Bits& bits, int quant = 1) {
  return join({header(width, height, 0x11, uint8_t(quant)), bits.flush(), kEoi});
}

// Raw quantisation 1 scales to a DC multiplier of 4 and 3 to 12; a sample is rangeLimit[128 + (((dc x q) >> 5) &
// 1023)]: the shift floors, 300 clamps, 600 wraps into the zero stretch (not 255), 900 wraps to -124. With chroma: Y
// 255, Cb 255 clamps blue and takes 44 from green; Y 0, Cr 0 clamps red and gives green (32768 + 46802 x 128) >> 16.
TEST(JpegPixels, DcOnlyBlocksAndColourClamps) {
  const std::tuple<int, int, int, int, int, int, int> cases[] = {
      {0, 0, 0, 1, 128, 128, 128},       {80, 0, 0, 1, 138, 138, 138},   {-1, 0, 0, 1, 127, 127, 127},
      {11, 0, 0, 3, 132, 132, 132},      {-11, 0, 0, 3, 123, 123, 123},  {2400, 0, 0, 1, 255, 255, 255},
      {4800, 0, 0, 1, 0, 0, 0},          {7200, 0, 0, 1, 4, 4, 4},       {-2400, 0, 0, 1, 0, 0, 0},
      {1016, 1016, 0, 1, 255, 211, 255}, {-1024, 0, -1024, 1, 0, 91, 0}, {1023, 0, 0, 1, 255, 255, 255},
      {-1024, 0, 0, 1, 0, 0, 0}};
  for (const auto& [y, cb, cr, quant, b, g, r] : cases) {
    const Decoded d = decodeBoth(picture(8, 8, Bits().mcu(y, cb, cr), quant));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ((std::vector<int>{b, g, r}), std::vector<int>(d.at(7, 7), d.at(7, 7) + 3)) << "Y " << y << " q " << quant;
  }
}

// DC 32767: category 15, fifteen one bits stuffed as 0xFF 0x00; (4 x 32767) >> 5 = 4095, & 1023 = 1023: wrapped, 127.
TEST(JpegEntropy, ALargestDcWrapsAndZeroRunsEndAtTheBlocksEnd) {
  EXPECT_EQ(127, decodeBoth(picture(8, 8, Bits().mcu(32767))).at(0, 0)[1]);

  // After DC 0: 0xF1 (15 zeros, then 1) at zigzag 16, ZRL to 33, 0x02 (-2) at 33, ZRL to 50, 0xF3 (7) would land on 66:
  // put at 63, it ends the block. Cb and Cr follow.
  Bits runs;
  runs.symbol(false, 0);
  const std::pair<int, int> symbols[] = {{0xF1, 1}, {0xF0, 0}, {0x02, -2}, {0xF0, 0}, {0xF3, 7}};
  for (const auto& [s, value] : symbols) runs.symbol(true, s, value);
  const Bytes stream = picture(8, 8, runs.block(0).block(0));
  JpegDecoder decoder;
  int32_t width = 0, height = 0, start = 0;
  int16_t coefficients[64];
  ASSERT_TRUE(decoder.readHeader(stream.data(), int32_t(stream.size()), width, height, start));
  decoder.decodeBlock(0, coefficients);
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(i == 12 ? 1 : i == 42 ? -2 : i == 63 ? 7 : 0, coefficients[i]) << i;  // natural order
  decodeBoth(stream);
}

// 40 MCUs in a row with DRI 4: ten intervals, each coding its DC from 0; MCU m has luma 128 + 8 (1 + m % 7). A marker
// out of turn costs at most its interval (read as zeros: grey).
TEST(JpegEntropy, RestartIntervalsResetThePredictorsAndResynchronise) {
  std::vector<Bytes> intervals;
  for (int m = 0; m < 40; m += 4) {
    Bits bits;
    for (int i = m; i < m + 4; ++i) bits.mcu(64 * (1 + i % 7) - (i == m ? 0 : 64 * (1 + (i - 1) % 7)));
    intervals.push_back(bits.flush());
  }
  // The markers before intervals 1..9 ('-' none), then the intervals that read as zeros.
  const std::pair<std::string, std::string> cases[] = {{"0 1 2 3 4 5 6 7 0", ""},
                                                       {"0 1 2 - 4 5 6 7 0", "4"},
                                                       {"0 1 2 - - 5 6 7 0", "45"},
                                                       {"4 5 6 7 0 1 2 3 4", ""},
                                                       {"0 1 21 3 4 5 6 7 0", "3"}};
  for (const auto& [markers, grey] : cases) {
    SCOPED_TRACE(markers);
    Bytes stream = join({header(320, 8, 0x11, 1, 4), intervals[0]});
    size_t next = 1;
    for (char c : markers + " ")
      stream = join({stream, c == ' ' ? intervals[next++] : c == '-' ? Bytes() : Bytes{0xFF, uint8_t(0xD0 + c - '0')}});
    const Decoded d = decodeBoth(join({stream, kEoi}));
    EXPECT_EQ(grey.empty() ? 0 : kJpegScanEndedEarly, d.scanFaults);
    for (int m = 0; m < 40; ++m)
      EXPECT_EQ(grey.find(char('0' + m / 4)) != std::string::npos ? 128 : 128 + 8 * (1 + m % 7), d.at(8 * m, 0)[1])
          << m;
  }
}

// One picture in parts: luma table raw 2 (DC multiplier 8), chroma raw 3 (12), DC-only blocks Y 80, Cb 40, Cr -40.
struct Parts {
  Bytes q0 = dqt({{0, 2}}), q1 = dqt({{1, 3}}), frame = sof(8, 8);
  Bytes tail = join({kSos, Bits().mcu(80, 40, -40).flush(), kEoi});
  Bytes body() const { return join({q0, q1, frame, kHuffman, tail}); }
};

TEST(JpegMarkers, SegmentOrdersAndShapesThatDecodeAlikeAndTheirDepartures) {
  const Parts p;
  const Decoded reference = decodeBoth(join({kSoi, p.body()}));
  // Y (80 x 8) >> 5 = 20; Cb (40 x 12) >> 5 = 15; Cr -15.
  EXPECT_EQ(148 + ((116130 * 15 + 32768) >> 16), reference.at(0, 0)[0]);
  EXPECT_EQ(148 + ((91881 * -15 + 32768) >> 16), reference.at(0, 0)[2]);
  const Bytes app = segment(0xE1, {'E', 'x', 'i', 'f', 0xD8, 0xD9}), com = segment(0xFE, {});
  // Each with what the pack tool's subset check finds in it. "one DQT": both tables in one segment; "one DHT" all four.
  using D = JpegDeparture;
  const std::tuple<const char*, Bytes, bool, std::vector<D>> cases[] = {
      {"reference", join({kSoi, p.body()}), true, {}},
      {"no SOI", p.body(), true, {D::noSoi}},
      {"SOI again, APPn, COM",
       join({kSoi, kSoi, segment(0xEF, Bytes(300, 0xFF)), p.q0, kSoi, com, p.q1, p.frame, kSoi, app, kHuffman, p.tail}),
       true,
       {}},
      {"one DQT", join({kSoi, dqt({{0, 2}, {1, 3}}), p.frame, kHuffman, p.tail}), true, {D::sharedDqtSegment}},
      {"Tq 2 is table 1", join({kSoi, p.q0, dqt({{2, 3}}), p.frame, kHuffman, p.tail}), true, {D::otherQuantTable}},
      {"one DHT", join({kSoi, p.q0, p.q1, p.frame, dht({0, 0x10, 1, 0x11}), p.tail}), true, {}},
      {"SOF1", join({kSoi, p.q0, p.q1, sof(8, 8, 0x11, 0xC1), kHuffman, p.tail}), true, {D::notBaselineFrame}},
      {"zeros after EOI", join({kSoi, p.body(), Bytes(4, 0)}), true, {D::noEoi}},
      {"DRI", join({kSoi, p.q0, p.q1, p.frame, kHuffman, segment(0xDD, {0, 4}), p.tail}), true, {D::restartInterval}},
      {"tables swapped", join({kSoi, dqt({{0, 3}, {1, 2}}), p.frame, kHuffman, p.tail}), false, {D::sharedDqtSegment}},
      {"4:2:0", join({kSoi, p.q0, p.q1, sof(8, 8, 0x22), kHuffman, p.tail}), false, {D::notOneByOne, D::scanEndsEarly}},
      {"width 6", join({kSoi, p.q0, p.q1, sof(6, 8), kHuffman, p.tail}), false, {D::widthNotMultipleOf4}},
      // The table is the selector's low nibble; the high one (precision) is not read, entries are single bytes.
      {"precision nibble",
       join({kSoi, dqt({{0x10, 2}}), p.q1, p.frame, kHuffman, p.tail}),
       true,
       {D::truncated, D::sixteenBitDqt}}};
  for (const auto& [name, stream, same, departures] : cases) {
    const Decoded d = decodeBoth(stream);
    EXPECT_TRUE(d.ok) << name;
    EXPECT_EQ(same, d.pixels == reference.pixels) << name;
    EXPECT_EQ(departures, checkJpegSubset(stream.data(), stream.size())) << name;
  }
  // Entries of two bytes: the decoder reads one byte each and loses its way in the segment.
  const Bytes wide = join({kSoi, p.q0, segment(0xDB, join({{0x11}, Bytes(128, 0)})), p.frame, kHuffman, p.tail});
  EXPECT_EQ((std::vector<D>{D::sixteenBitDqt, D::notDecodable}), checkJpegSubset(wide.data(), wide.size()));
}

// Each refusal shows the one message (a zero size none) and leaves nothing to decode.
TEST(JpegMarkers, RefusalsShowTheHeaderMessage) {
  std::vector<std::string> messages;
  const JpegMessages collect{[](void* to, const char* text) { static_cast<decltype(messages)*>(to)->push_back(text); },
                             &messages};
  const Parts p;
  const Bytes frame = join({kSoi, p.q0, p.q1, p.frame});
  const auto withFrame = [&](const Bytes& sof) { return join({kSoi, p.q0, p.q1, sof, kHuffman, p.tail}); };
  // Three codes of length 1; 765 symbols that fit the code space.
  const Bytes crowded = segment(0xC4, join({{0x00, 3}, Bytes(15, 0), {0, 1, 2}}));
  const Bytes overfull = segment(0xC4, join({{0x10}, Bytes(8, 0), {255, 255}, Bytes(5, 0), {255}, Bytes(765, 1)}));
  using F = JpegHeaderFault;
  const std::tuple<const char*, Bytes, F> cases[] = {
      {"SOF2", withFrame(sof(8, 8, 0x11, 0xC2)), F::unsupportedMarker},
      {"four components", withFrame(sof(8, 8, 0x11, 0xC0, 4)), F::badComponentCount},
      {"no components", withFrame(sof(8, 8, 0x11, 0xC0, 0)), F::badComponentCount},
      {"width 0", withFrame(sof(0, 8)), F::none},
      {"height 0", withFrame(sof(8, 0)), F::none},
      {"SOF9", withFrame(sof(8, 8, 0x11, 0xC9)), F::unsupportedMarker},
      {"DHT 0x02", join({frame, kHuffman, dht({0x02}), p.tail}), F::badTableSelector},
      {"DHT 0x20", join({frame, kHuffman, dht({0x20}), p.tail}), F::badTableSelector},
      {"code space overflow", join({frame, crowded, p.tail}), F::codeSpaceOverflow},
      {"over 256 symbols", join({frame, overfull, p.tail}), F::tooManySymbols},
      {"no table 1", join({kSoi, p.q0, p.frame, kHuffman, p.tail}), F::missingTable},
      {"no AC 1", join({frame, dht({0x00, 0x10, 0x01}), p.tail}), F::missingTable},
      {"scan without frame", join({kSoi, p.q0, p.q1, kHuffman, p.tail}), F::noFrame},
      {"EOI before the scan", join({kSoi, kEoi, p.body()}), F::unsupportedMarker},
      {"fill byte before a marker", join({kSoi, {0xFF}, p.body()}), F::unsupportedMarker},
      {"byte between segments", join({kSoi, {0x00}, p.body()}), F::notAMarker},
      {"cut in a DHT segment", join({frame, Bytes(kHuffman.begin(), kHuffman.begin() + 10)}), F::truncated},
      {"APP length past the end", join({kSoi, {0xFF, 0xE3, 0xFF, 0xF0}, p.body()}), F::truncated},
      {"empty", {}, F::truncated},
      {"SOI only", kSoi, F::truncated}};
  uint8_t pixels[4 * 24 * 8];
  for (const auto& [name, stream, fault] : cases) {
    messages.clear();
    JpegDecoder decoder(collect);
    int32_t width = 0, height = 0, start = 0;
    EXPECT_FALSE(decoder.readHeader(stream.data(), int32_t(stream.size()), width, height, start)) << name;
    EXPECT_EQ(fault, decoder.headerFault()) << name << ": " << jpegHeaderFaultText(decoder.headerFault());
    EXPECT_EQ(std::vector<std::string>(fault != F::none, "Can not read the file header"), messages) << name;
    EXPECT_FALSE(decoder.decodeImage(stream.data(), pixels)) << name;
    EXPECT_EQ(nullptr, decodeJpeg(stream.data(), int32_t(stream.size()))) << name;
  }
}

// Only the header is read: the limits must hold before any pixel buffer is asked for.
TEST(JpegMarkers, FramesUpTo16384ASideAnd256MBOfPixelsAreTakenLargerOnesRefused) {
  const std::tuple<int, int, bool> sizes[] = {{8192, 4096, true}, {16384, 5461, true}, {16384, 5462, false},
                                              {16385, 8, false},  {8, 16385, false},   {4, 16384, true}};
  for (const auto& [width, height, taken] : sizes) {
    const Bytes stream = join({header(width, height), Bits().mcu(0).flush(), kEoi});
    JpegDecoder decoder;
    int32_t w = 0, h = 0, start = 0;
    EXPECT_EQ(taken, decoder.readHeader(stream.data(), int32_t(stream.size()), w, h, start)) << width << "x" << height;
    EXPECT_EQ(taken ? JpegHeaderFault::none : JpegHeaderFault::frameTooLarge, decoder.headerFault());
  }
}

const std::string kCorpus = std::string(TAVRIN_SOURCE_DIR) + "/tests/fuzz/corpus/fuzz_jpeg_decode/";

// Channel c of (x, y) in hard edges, one-pixel checks, saturated colours, a ramp and noise: IDCT values at their most.
int edges(int x, int y, int width, int c) {
  const int check = (x ^ y) & 1 ? 255 : 0, lines = y & 1 ? 250 : 5;
  const int noise = int(uint32_t(x * 7919 + y * 104729) * 2654435761u >> 24);
  const int ramp = x * 255 / std::max(width - 1, 1);
  const int cells[4][3] = {{check, check, check}, {255, 0, x & 2 ? 255 : 0}, {ramp, noise, 40}, {lines, lines, lines}};
  return cells[(x / 8 + y / 8) % 4][c];
}

// cjpeg's pictures decode byte for byte as djpeg -dct fast -nosmooth in C arithmetic (SIMD off): over 40 dB PSNR.
TEST(JpegReference, CjpegPicturesMatchLibjpegTurbo) {
  const auto run = [](const std::string& command) { return std::system(command.c_str()) == 0; };
  if (!run("command -v cjpeg >/dev/null && command -v djpeg >/dev/null")) GTEST_SKIP() << "no cjpeg/djpeg";
  const std::string dir = std::string(TAVRIN_BINARY_DIR) + "/jpeg-tests/", a = dir + "a";
  ASSERT_TRUE(run("mkdir -p '" + dir + "'"));
  const Decoded earth = decodeBoth(readFile(kCorpus + "earth-128x64-pack-picture.jpg")),
                moon = decodeBoth(readFile(kCorpus + "moon-16x16-444.jpg"));
  ASSERT_TRUE(moon.ok && earth.ok);
  // Crops off the MCU grid, or edges(); qualities 25 to 100, restarts, optimised tables; 4:4:4 and 4:2:0.
  const std::tuple<const Decoded*, int, int, int, int> sources[] = {{&earth, 1, 1, 127, 63}, {&earth, 20, 10, 61, 37},
                                                                    {&moon, 4, 4, 7, 5},     {nullptr, 0, 0, 64, 48},
                                                                    {nullptr, 0, 0, 41, 23}, {nullptr, 0, 0, 1, 1}};
  const char* const options[] = {"-quality 100", "-quality 90 -optimize", "-quality 75 -restart 2B -optimize",
                                 "-quality 50 -restart 1", "-quality 25 -restart 3B"};
  for (const auto& [picture, x0, y0, width, height] : sources) {
    std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (int i = 0; i < 3 * width * height; ++i) {
      const int x = i / 3 % width, y = i / 3 / width;
      ppm += char(picture ? picture->at(x0 + x, y0 + y)[2 - i % 3] : edges(x, y, width, i % 3));
    }
    std::ofstream(dir + "in.ppm", std::ios::binary) << ppm;
    for (int v = 0; v < 10; ++v) {
      const std::string variant = std::string(v % 2 ? "-sample 2x2 " : "-sample 1x1 ") + options[v / 2];
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " " + variant);
      ASSERT_TRUE(run("cjpeg -baseline " + variant + " -outfile '" + a + ".jpg' '" + dir + "in.ppm'"));
      ASSERT_TRUE(run("JSIMD_FORCENONE=1 djpeg -dct fast -nosmooth -pnm -outfile '" + a + ".ppm' '" + a + ".jpg'"));
      const Decoded mine = decodeBoth(readFile(a + ".jpg"));
      const Bytes theirs = readFile(a + ".ppm");
      Bytes rgb;  // as djpeg writes it: rows top-down, R G B
      for (int i = 0; mine.ok && i < 3 * width * height; ++i)
        rgb.push_back(mine.at(i / 3 % width, i / 3 / width)[2 - i % 3]);
      ASSERT_TRUE(mine.ok && theirs.size() >= rgb.size());
      EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), theirs.end() - long(rgb.size()))) << "not libjpeg-turbo's";
    }
  }
}

// Data packs split by their length fields against the resource size (the tool's tests split and build good ones).
Bytes pack(uint8_t countByte, const std::vector<Bytes>& images) {
  Bytes out = {countByte};
  for (const Bytes& image : images) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(image.size() >> shift));
    out.insert(out.end(), image.begin(), image.end());
  }
  return out;
}

TEST(DataPack, RefusesPacksThatDoNotAddUp) {
  const Bytes good = pack(2, {{1, 2, 3, 4, 5}, {9, 8, 7}});
  Bytes longFirst = good, longSecond = good, extra = good, huge = pack(1, {{1, 2}});
  extra.push_back(0);
  longFirst[1] = 200;
  longSecond[10] = 4;  // one byte past the end
  huge[4] = 0x80;      // 2^31 + 2
  using F = DataPackFault;
  const std::tuple<Bytes, int32_t, F> cases[] = {
      {{}, 1, F::noCountByte},           {{1}, 1, F::lengthPastEnd},       {{1, 5, 0}, 1, F::lengthPastEnd},
      {longFirst, 2, F::imagePastEnd},   {longSecond, 2, F::imagePastEnd}, {pack(2, {{1, 2, 3}}), 2, F::lengthPastEnd},
      {pack(1, {{}}), 1, F::emptyImage}, {huge, 1, F::imageTooLarge},      {extra, 2, F::extraBytes},
      {good, 1, F::extraBytes}};  // the last: one image read from a two-image pack
  for (const auto& [bytes, count, expected] : cases) {
    PackImage images[2] = {};
    F fault = F::none;
    EXPECT_FALSE(readDataPack(bytes.data(), bytes.size(), count, images, &fault)) << bytes.size();
    EXPECT_EQ(expected, fault) << dataPackFaultText(fault);
  }
}

// 8 x 8; 8 x 16 light above (luma 128 + 100), dark below (128 - 100); 64 x 8 cut inside its scan, or with EOI after
// a short scan; a scan of one bits, which no code of the test tables begins with.
const Bytes kGood = picture(8, 8, Bits().mcu(80, 40, -40)), kUpright = picture(8, 16, Bits().mcu(800).mcu(-1600));
const Bytes kScan = Bits().mcu(800).mcu(-1600).mcu(1600).mcu(-1600).mcu(1600).mcu(-1600).mcu(1600).mcu(-1600).flush();
const Bytes kCut = join({header(64, 8), Bytes(kScan.begin(), kScan.end() - 6)}), kFilled = join({kCut, kEoi});
const Bytes kBadCodes = join({header(8, 8), Bits{std::string(256, '1')}.flush(), kEoi});

// The pack tool run as a user runs it in a folder of these files (`limit`: a file-size limit, in 512-byte blocks).
// Texts are found in their stream ("": it stays empty); a refusal changes no file, and no run leaves a temporary one.
struct Tool {
  const std::string dir = TAVRIN_BINARY_DIR "/datapack-tests/";
  using Case = std::tuple<const char*, int, const char*, const char*>;  // arguments, status, standard output, error
  Tool() {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "folder");
    const Bytes two = pack(2, {kGood, kUpright}), count3 = join({{3}, Bytes(two.begin() + 1, two.end())});
    Bytes overlong = two, first = pack(2, {kFilled, kGood}), second = pack(2, {kGood, kFilled}), empty, noise(64, 63);
    overlong[5 + kGood.size()] += 1;  // the second image's length one past the end
    const Bytes codes = pack(1, {kBadCodes}), bmp = {'B', 'M', 0, 0}, old = {'o', 'l', 'd'},
                earth = readFile(kCorpus + "earth-128x64-pack-picture.jpg");
    const char* const names[] = {"good.jpg",  "upright.jpg", "cut.jpg",     "filled.jpg", "two.pack", "count3.pack",
                                 "long.pack", "first.pack",  "second.pack", "codes.pack", "noise",    "empty",
                                 "a.bmp",     "earth.jpg",   "o.bmp",       "p.pack"};
    const Bytes* contents[] = {&kGood,  &kUpright, &kCut,  &kFilled, &two, &count3, &overlong, &first,
                               &second, &codes,    &noise, &empty,   &bmp, &earth,  &old,      &old};
    for (int i = 0; i < 16; ++i)
      std::ofstream(dir + names[i], std::ios::binary) << std::string(contents[i]->begin(), contents[i]->end());
    std::filesystem::create_symlink("good.jpg", dir + "link.jpg");
    std::filesystem::create_hard_link(dir + "good.jpg", dir + "hard.jpg");
  }
  std::map<std::string, Bytes> files() const {
    std::map<std::string, Bytes> all;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (!entry.is_directory()) all[entry.path().filename()] = readFile(entry.path());
    return all;
  }
  void expect(const Case& c, int limit = 0) const {
    const auto& [args, status, out, err] = c;
    const auto before = files();
    const std::string limited = limit ? "ulimit -f " + std::to_string(limit) + "; " : "";
    const int code = std::system(("cd '" + dir + "' && (" + limited + "exec '" TAVRIN_BINARY_DIR "/datapack' " + args +
                                  ") >../datapack.out 2>../datapack.err")
                                     .c_str());
    const Bytes o = readFile(dir + "../datapack.out"), e = readFile(dir + "../datapack.err");
    const std::string printed(o.begin(), o.end()), said(e.begin(), e.end());
    EXPECT_EQ(status, WIFEXITED(code) ? WEXITSTATUS(code) : -1) << args;
    EXPECT_TRUE(*out ? printed.find(out) != std::string::npos : printed.empty()) << args << "\n" << printed;
    EXPECT_TRUE(*err ? said.find(err) != std::string::npos : said.empty()) << args << "\n" << said;
    if (status != 0) {
      EXPECT_TRUE(before == files()) << args << ": the folder changed";
    }
    for (const auto& [name, bytes] : files()) EXPECT_EQ(std::string::npos, name.find(".datapack-")) << args << name;
  }
};

TEST(DatapackTool, NamesTheCauseOfEveryRefusalAndTakesOnlyTheOptionsThatApply) {
  const Tool::Case cases[] = {
      {"decode missing.jpg o.bmp", 1, "", "datapack: missing.jpg: no such file\n"},
      {"decode folder o.bmp", 1, "", "datapack: folder: a directory, not a file\n"},
      {"decode empty o.bmp", 1, "", "datapack: empty: an empty file\n"},
      {"decode a.bmp o.bmp", 1, "", "datapack: a.bmp: neither a JPEG nor a pack: it looks like a BMP picture\n"},
      {"decode good.jpg folder", 1, "", "datapack: folder: a directory: the output must be a file\n"},
      {"decode count3.pack o.bmp", 1, "", "datapack: count3.pack: count byte 3, but its lengths lay out 2 images\n"},
      {"verify good.jpg a.bmp noise", 1,
       "good.jpg: not a pack: it looks like a JPEG picture\na.bmp: not a pack: it looks like a BMP picture\n"
       "noise: not a pack: its first byte, the count, is 63, not 1 or 2\n",
       ""},
      {"verify count3.pack", 1, "count3.pack: count byte 3, but its lengths lay out 2 images\n", ""},
      {"verify long.pack", 1, "long.pack: a damaged pack: an image runs past the end of the pack\n", ""},
      {"verify two.pack", 0, "two.pack: image 2: 8 x 16, ", ""},
      {"build p.pack good.jpg noise", 1, "",
       "datapack: noise: not a JPEG\ndatapack: p.pack: not written: a picture outside the decoder's subset (--force "
       "packs it anyway)\n"},
      {"build p.pack filled.jpg", 1, "", "datapack: filled.jpg: the scan's data ends before the picture does"},
      {"build --force p.pack noise", 0, "p.pack: 69 bytes, image 1 64 bytes\n",
       "datapack: noise: warning: not a JPEG\n"},
      {"build p.pack good.jpg upright.jpg", 0, "p.pack: 1251 bytes, image 1 620 bytes, image 2 622 bytes\n", ""},
      {"decode --image 2 p.pack o.bmp", 0, "o.bmp: 8 x 16\n", ""},
      {"decode two.pack o.bmp", 0, "o.bmp: 8 x 8\n", ""},
      {"decode --image 2 two.pack o.bmp", 0, "o.bmp: 8 x 16\n", ""},
      {"decode --image x two.pack o.bmp", 2, "",
       "datapack: --image takes a positive number (1 or 2), not \"x\"\nusage: datapack decode "},
      {"decode --image 0 two.pack o.bmp", 2, "", "not \"0\""},
      {"decode --image 3 two.pack o.bmp", 2, "", "datapack: two.pack holds 2 images: there is no image 3\n"},
      {"decode --image 1 good.jpg o.bmp", 2, "", "datapack: --image picks a picture of a pack, and good.jpg is a JPEG"},
      {"verify --image 1 two.pack", 2, "",
       "datapack: verify takes no option --image\nusage: datapack verify PACK...\n"},
      {"build p.pack", 2, "", "datapack: build takes OUT and one or two pictures\n"},
      {"decode --help", 0, "usage: datapack build [--force] OUT IN.jpg [IN2.jpg]\n", ""}};
  const Tool tool;
  for (const auto& c : cases) tool.expect(c);
}

// The same file under another spelling, through a symbolic or a hard link, as the output; and a failed write (a
// file-size limit of 2048 bytes), to a file that is there or not. Without the limit the write replaces the file.
TEST(DatapackTool, NeverWritesOverAnInputAndAFailedWriteLeavesTheOldFile) {
  const Tool tool;
  for (const char* args :
       {"decode good.jpg good.jpg", "decode good.jpg folder/../good.jpg", "decode link.jpg good.jpg",
        "decode good.jpg link.jpg", "build hard.jpg good.jpg", "build good.jpg upright.jpg hard.jpg"})
    tool.expect({args, 1, "", "the same file as the input"});
  const Tool::Case failed[] = {
      {"decode earth.jpg o.bmp", 1, "", "datapack: o.bmp: cannot write: File too large; o.bmp is left as it was\n"},
      {"build p.pack earth.jpg good.jpg", 1, "", "datapack: p.pack: cannot write: File too large; p.pack is left"},
      {"decode earth.jpg new.bmp", 1, "", "datapack: new.bmp: cannot write: File too large; nothing written\n"}};
  for (const auto& c : failed) tool.expect(c, 4);
  tool.expect({"decode earth.jpg o.bmp", 0, "o.bmp: 128 x 64\n", ""});
  EXPECT_EQ(54u + 128 * 64 * 3, readFile(tool.dir + "o.bmp").size());
}

// Whatever the decoder had to make up is said as verify says it, in any image of a pack; decode writes nothing then
// unless told to keep what decoded.
TEST(DatapackTool, DamagedPicturesAreNeverDecodedInSilence) {
  const Tool::Case cases[] = {
      {"decode cut.jpg o.bmp", 1, "",
       "datapack: cut.jpg: does not end with EOI after the scan\ndatapack: cut.jpg: the scan's data ends before the "
       "picture does (cut short or damaged): the decoder fills the rest with zero bits\n"},
      {"decode --plain filled.jpg o.bmp", 1, "",
       "datapack: o.bmp: not written: the picture is damaged (--keep-damaged"},
      {"decode --image 2 second.pack o.bmp", 1, "", "datapack: second.pack: image 2: the scan's data ends"},
      {"verify first.pack", 1, "first.pack: image 1: the scan's data ends", ""},
      {"verify second.pack", 1, "second.pack: image 2: the scan's data ends", ""},
      {"verify codes.pack", 1, "codes.pack: image 1: the scan holds codes that no Huffman table has (damaged data)\n",
       ""},
      {"decode --keep-damaged cut.jpg o.bmp", 0, "o.bmp: 64 x 8\n", "datapack: cut.jpg: warning: does not end"}};
  const Tool tool;
  for (const auto& c : cases) tool.expect(c);
}

// Rows bottom-up under a positive height: the first row in the file is the picture's bottom.
TEST(DatapackTool, DecodesIntoABmpThatStandsTheRightWayUp) {
  const Tool tool;
  tool.expect({"decode upright.jpg o.bmp", 0, "o.bmp: 8 x 16\n", ""});
  const Bytes bmp = readFile(tool.dir + "o.bmp");
  ASSERT_EQ(54u + 16 * 24, bmp.size());
  EXPECT_EQ((Bytes{8, 0, 0, 0, 16, 0, 0, 0}), Bytes(bmp.begin() + 18, bmp.begin() + 26));  // width, height
  EXPECT_EQ(Bytes(24, 28), Bytes(bmp.begin() + 54, bmp.begin() + 78));
  EXPECT_EQ(Bytes(24, 228), Bytes(bmp.end() - 24, bmp.end()));
}

// The committed atlas: each glyph clear of the next cell; the shipped logo table is the one laid out from it.
TEST(GlyphAtlas, GlyphsStayInTheirCellsAndTheLogoTableFollowsThem) {
  const Bytes atlas = readFile(TAVRIN_SOURCE_DIR "/res/glyphs.bin");
  ASSERT_EQ(65536u, atlas.size());
  for (int g = 0; g < 256; ++g)
    for (int y = 0; y < 16; ++y)
      ASSERT_EQ(0, atlas[size_t(255 - g / 16 * 16 - y) * 256 + size_t(g % 16 * 16 + 15)]) << "glyph " << g;
  LogoLetters laid{};
  ASSERT_TRUE(layOutLogoLetters(atlas.data(), atlas.size(), laid));
  for (std::size_t i = 0; i < logoLetterCount; ++i) {
    EXPECT_EQ(laid[i].shadowX, logoLetters[i].shadowX) << i;
    EXPECT_EQ(laid[i].colorX, logoLetters[i].colorX) << i;
  }
}

}  // namespace
