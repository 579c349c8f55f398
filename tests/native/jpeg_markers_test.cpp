// The header reader: which segment orders and shapes it takes, what it
// refuses, and that every refusal shows the one message (and a zero size
// none).
#include <gtest/gtest.h>

#include "tests/native/jpeg_test_support.h"

namespace {

using jpegtest::Bytes;
using jpegtest::JpegWriter;

// Entropy data of one 8 x 8 MCU with DC-only blocks Y 80, Cb 40, Cr -40.
Bytes dcData() {
  jpegtest::TestCodes codes;
  jpegtest::BitWriter bits;
  jpegtest::writeBlock(bits, codes.block(), 80);
  jpegtest::writeBlock(bits, codes.block(), 40);
  jpegtest::writeBlock(bits, codes.block(), -40);
  bits.flush();
  return bits.bytes;
}

JpegWriter& frame8(JpegWriter& writer) {
  return writer.frame(0xC0, 8, 8, {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}});
}

JpegWriter& tables(JpegWriter& writer) {
  return writer.dht({{0x00, jpegtest::dcTable()}})
      .dht({{0x10, jpegtest::acTable()}})
      .dht({{0x01, jpegtest::dcTable()}})
      .dht({{0x11, jpegtest::acTable()}});
}

// Luma table raw 2 (DC multiplier 8), chroma raw 3 (12), in separate segments.
Bytes reference() {
  JpegWriter writer;
  writer.soi().app0().dqt({{0x00, jpegtest::flatQuant(2)}}).dqt({{0x01, jpegtest::flatQuant(3)}});
  frame8(writer);
  tables(writer).sos3().data(dcData()).eoi();
  return writer.bytes;
}

Bytes pixelsOf(const Bytes& stream) {
  jpegtest::MessageLog log;
  const jpegtest::Decoded plain = jpegtest::decodeInto(stream, true);
  const jpegtest::Decoded fast = jpegtest::decodeInto(stream, false);
  EXPECT_TRUE(plain.ok);
  EXPECT_EQ(plain.pixels, fast.pixels);
  EXPECT_TRUE(jpegtest::MessageLog::messages().empty());
  return plain.pixels;
}

TEST(JpegMarkers, ReferencePictureDecodes) {
  const Bytes pixels = pixelsOf(reference());
  ASSERT_EQ(size_t(24 * 8), pixels.size());
  // Y (80 x 8) >> 5 = 20 -> 148; Cb (40 x 12) >> 5 = 15 -> 143; Cr -> 113.
  EXPECT_EQ(148 + ((116130 * 15 + 32768) >> 16), pixels[0]);
  EXPECT_EQ(148 + ((91881 * -15 + 32768) >> 16), pixels[2]);
}

TEST(JpegMarkers, SoiIsOptionalAndMayRepeat) {
  const Bytes expected = pixelsOf(reference());
  const Bytes whole = reference();
  const Bytes withoutSoi(whole.begin() + 2, whole.end());
  EXPECT_EQ(expected, pixelsOf(withoutSoi));

  JpegWriter repeated;
  repeated.soi().soi().app0().dqt({{0x00, jpegtest::flatQuant(2)}}).soi();
  repeated.dqt({{0x01, jpegtest::flatQuant(3)}});
  frame8(repeated).soi();
  tables(repeated).sos3().data(dcData()).eoi();
  EXPECT_EQ(expected, pixelsOf(repeated.bytes));
}

TEST(JpegMarkers, ApplicationAndCommentSegmentsAreSkipped) {
  JpegWriter writer;
  writer.soi().segment(0xEF, Bytes(300, 0xFF)).segment(0xFE, {}).app0();
  writer.dqt({{0x00, jpegtest::flatQuant(2)}}).segment(0xE1, {'E', 'x', 'i', 'f', 0xD8, 0xD9});
  writer.dqt({{0x01, jpegtest::flatQuant(3)}});
  frame8(writer);
  tables(writer).segment(0xFE, {'h', 'i'}).sos3().data(dcData()).eoi();
  EXPECT_EQ(pixelsOf(reference()), pixelsOf(writer.bytes));
}

TEST(JpegMarkers, QuantisationTablesShareASegmentAndTq2FillsTable1) {
  const Bytes expected = pixelsOf(reference());

  JpegWriter shared;
  shared.soi().dqt({{0x00, jpegtest::flatQuant(2)}, {0x01, jpegtest::flatQuant(3)}});
  frame8(shared);
  tables(shared).sos3().data(dcData()).eoi();
  EXPECT_EQ(expected, pixelsOf(shared.bytes));

  JpegWriter tq2;
  tq2.soi().dqt({{0x00, jpegtest::flatQuant(2)}}).dqt({{0x02, jpegtest::flatQuant(3)}});
  frame8(tq2);
  tables(tq2).sos3().data(dcData()).eoi();
  EXPECT_EQ(expected, pixelsOf(tq2.bytes));

  JpegWriter swapped;  // the control: the tables matter
  swapped.soi().dqt({{0x00, jpegtest::flatQuant(3)}, {0x01, jpegtest::flatQuant(2)}});
  frame8(swapped);
  tables(swapped).sos3().data(dcData()).eoi();
  EXPECT_NE(expected, pixelsOf(swapped.bytes));
}

TEST(JpegMarkers, FourHuffmanTablesInOneSegment) {
  JpegWriter writer;
  writer.soi().dqt({{0x00, jpegtest::flatQuant(2)}}).dqt({{0x01, jpegtest::flatQuant(3)}});
  frame8(writer);
  writer.dht({{0x00, jpegtest::dcTable()},
              {0x10, jpegtest::acTable()},
              {0x01, jpegtest::dcTable()},
              {0x11, jpegtest::acTable()}});
  writer.sos3().data(dcData()).eoi();
  EXPECT_EQ(pixelsOf(reference()), pixelsOf(writer.bytes));
}

TEST(JpegMarkers, LumaSamplingChoosesTheMcu) {
  for (const auto& entry : {std::pair<uint8_t, int>{0x11, 8}, {0x22, 16}, {0x21, 16}, {0x12, 16}}) {
    const Bytes header = jpegtest::headerFor(32, 32, entry.first).bytes;
    JpegDecoder decoder;
    int32_t width = 0;
    int32_t height = 0;
    int32_t headerLength = 0;
    ASSERT_TRUE(decoder.readHeader(header.data(), int32_t(header.size()), width, height, headerLength));
    EXPECT_EQ(entry.second, decoder.mcuPixels()) << "sampling " << int(entry.first);
    EXPECT_EQ(int32_t(header.size()), headerLength);
  }
}

// The refusals. Each case changes the reference picture in one place.
struct Refusal {
  const char* name;
  Bytes stream;
  JpegHeaderFault fault;
};

Bytes withFrame(uint8_t code, int components, uint8_t precision = 8) {
  JpegWriter writer;
  writer.soi().dqt({{0x00, jpegtest::flatQuant(2)}}).dqt({{0x01, jpegtest::flatQuant(3)}});
  std::vector<jpegtest::FrameComponent> list;
  for (int i = 0; i < components; ++i) list.push_back({uint8_t(i + 1), 0x11, uint8_t(i == 0 ? 0 : 1)});
  writer.frame(code, 8, 8, list, precision);
  tables(writer).sos3().data(dcData()).eoi();
  return writer.bytes;
}

Bytes withHuffman(uint8_t selector, const jpegtest::HuffmanDefinition& table) {
  JpegWriter writer;
  writer.soi().dqt({{0x00, jpegtest::flatQuant(2)}}).dqt({{0x01, jpegtest::flatQuant(3)}});
  frame8(writer);
  tables(writer).dht({{selector, table}}).sos3().data(dcData()).eoi();
  return writer.bytes;
}

std::vector<Refusal> refusals() {
  std::vector<Refusal> cases;
  cases.push_back({"progressive frame", withFrame(0xC2, 3), JpegHeaderFault::unsupportedMarker});
  cases.push_back({"lossless frame", withFrame(0xC3, 3), JpegHeaderFault::unsupportedMarker});
  cases.push_back({"arithmetic frame", withFrame(0xC9, 3), JpegHeaderFault::unsupportedMarker});
  cases.push_back({"four components", withFrame(0xC0, 4), JpegHeaderFault::badComponentCount});
  cases.push_back({"no components", withFrame(0xC0, 0), JpegHeaderFault::badComponentCount});
  cases.push_back({"DHT selector 0x02", withHuffman(0x02, jpegtest::dcTable()), JpegHeaderFault::badTableSelector});
  cases.push_back({"DHT selector 0x20", withHuffman(0x20, jpegtest::dcTable()), JpegHeaderFault::badTableSelector});

  jpegtest::HuffmanDefinition crowded;  // 3 codes of length 1
  crowded.bits[1] = 3;
  crowded.values = {0, 1, 2};
  cases.push_back({"code space overflow", withHuffman(0x00, crowded), JpegHeaderFault::codeSpaceOverflow});
  jpegtest::HuffmanDefinition overfull;  // a full length-9 space, then one more
  overfull.bits[9] = 255;
  overfull.bits[10] = 255;
  overfull.bits[16] = 255;
  overfull.values.assign(765, 1);
  cases.push_back({"over 256 symbols", withHuffman(0x10, overfull), JpegHeaderFault::tooManySymbols});

  {
    JpegWriter writer;  // no table 1
    writer.soi().dqt({{0x00, jpegtest::flatQuant(2)}});
    frame8(writer);
    tables(writer).sos3().data(dcData()).eoi();
    cases.push_back({"missing quantisation table", writer.bytes, JpegHeaderFault::missingTable});
  }
  {
    JpegWriter writer;  // no AC 1
    writer.soi().dqt({{0x00, jpegtest::flatQuant(2)}, {0x01, jpegtest::flatQuant(3)}});
    frame8(writer);
    writer.dht({{0x00, jpegtest::dcTable()}, {0x10, jpegtest::acTable()}, {0x01, jpegtest::dcTable()}});
    writer.sos3().data(dcData()).eoi();
    cases.push_back({"missing Huffman table", writer.bytes, JpegHeaderFault::missingTable});
  }
  {
    JpegWriter writer;
    writer.soi().dqt({{0x00, jpegtest::flatQuant(2)}, {0x01, jpegtest::flatQuant(3)}});
    tables(writer).sos3().data(dcData()).eoi();
    cases.push_back({"scan without frame", writer.bytes, JpegHeaderFault::noFrame});
  }
  {
    Bytes early = reference();
    early.insert(early.begin() + 2, {0xFF, 0xD9});
    cases.push_back({"EOI before the scan", early, JpegHeaderFault::unsupportedMarker});
    Bytes fill = reference();
    fill.insert(fill.begin() + 2, 0xFF);
    cases.push_back({"fill byte before a marker", fill, JpegHeaderFault::unsupportedMarker});
    Bytes gap = reference();
    gap.insert(gap.begin() + 2, 0x00);
    cases.push_back({"byte between segments", gap, JpegHeaderFault::notAMarker});
    Bytes restart = reference();
    restart.insert(restart.begin() + 2, {0xFF, 0xD3});
    cases.push_back({"RSTn in the header", restart, JpegHeaderFault::unsupportedMarker});
  }
  {
    const Bytes whole = reference();
    size_t dht = 0;  // the first DHT marker
    while (dht + 1 < whole.size() && !(whole[dht] == 0xFF && whole[dht + 1] == 0xC4)) ++dht;
    const Bytes cut(whole.begin(), whole.begin() + long(dht + 12));
    cases.push_back({"cut in a segment", cut, JpegHeaderFault::truncated});
    Bytes longApp = reference();
    longApp.insert(longApp.begin() + 2, {0xFF, 0xE3, 0xFF, 0xF0});
    cases.push_back({"APP length past the end", longApp, JpegHeaderFault::truncated});
    cases.push_back({"empty", Bytes(), JpegHeaderFault::truncated});
    cases.push_back({"SOI only", Bytes{0xFF, 0xD8}, JpegHeaderFault::truncated});
  }
  return cases;
}

TEST(JpegMarkers, RefusalsShowTheHeaderMessage) {
  for (const Refusal& c : refusals()) {
    jpegtest::MessageLog log;
    JpegDecoder decoder;
    int32_t width = 0;
    int32_t height = 0;
    int32_t headerLength = 0;
    EXPECT_FALSE(decoder.readHeader(c.stream.data(), int32_t(c.stream.size()), width, height, headerLength)) << c.name;
    EXPECT_EQ(c.fault, decoder.headerFault()) << c.name << ": " << jpegHeaderFaultText(decoder.headerFault());
    ASSERT_EQ(size_t(1), jpegtest::MessageLog::messages().size()) << c.name;
    EXPECT_EQ("Can not read the file header", jpegtest::MessageLog::messages()[0]);
    EXPECT_EQ(nullptr, decodeJpeg(c.stream.data(), int32_t(c.stream.size()))) << c.name;
  }
}

TEST(JpegMarkers, ZeroSizeFailsWithoutMessage) {
  for (const auto& size : {std::pair<int, int>{0, 8}, {8, 0}, {0, 0}}) {
    JpegWriter writer;
    writer.soi().dqt({{0x00, jpegtest::flatQuant(2)}, {0x01, jpegtest::flatQuant(3)}});
    writer.frame(0xC0, size.first, size.second, {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}});
    tables(writer).sos3().data(dcData()).eoi();
    jpegtest::MessageLog log;
    EXPECT_EQ(nullptr, decodeJpeg(writer.bytes.data(), int32_t(writer.bytes.size())));
    EXPECT_TRUE(jpegtest::MessageLog::messages().empty());
  }
}

// The scan needs the tables of a header that was read to the end.
TEST(JpegMarkers, NoDecodeWithoutAHeader) {
  uint8_t pixels[24 * 8] = {};
  const Bytes stream = reference();
  JpegDecoder fresh;
  EXPECT_FALSE(fresh.decodeImage(stream.data(), pixels));
  EXPECT_FALSE(fresh.decodeImagePlain(stream.data(), pixels));

  Bytes broken = stream;  // the frame is read, then the header fails
  for (size_t i = 0; i + 1 < broken.size(); ++i) {
    if (broken[i] == 0xFF && broken[i + 1] == 0xDA) broken[i + 1] = 0xC2;
  }
  JpegDecoder failed;
  int32_t width = 0;
  int32_t height = 0;
  int32_t headerLength = 0;
  EXPECT_FALSE(failed.readHeader(broken.data(), int32_t(broken.size()), width, height, headerLength));
  EXPECT_FALSE(failed.decodeImage(broken.data(), pixels));
  EXPECT_FALSE(failed.decodeImagePlain(broken.data(), pixels));
}

TEST(JpegMarkers, DecodeJpegHandsOutAnImage) {
  const Bytes stream = reference();
  RgbImage* image = decodeJpeg(stream.data(), int32_t(stream.size()));
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(8, image->width);
  EXPECT_EQ(8, image->height);
  ASSERT_NE(nullptr, image->pixels);
  EXPECT_EQ(0, std::memcmp(image->pixels, pixelsOf(stream).data(), 24 * 8));
  freeRgbImage(image);
  freeRgbImage(nullptr);
  EXPECT_EQ(nullptr, decodeJpeg(nullptr, 100));
  EXPECT_EQ(nullptr, decodeJpeg(stream.data(), -1));
}

}  // namespace
