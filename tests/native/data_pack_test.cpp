// Data packs: splitting by the length fields against the resource size, the
// committed packs as the saver will find them, and the subset check that the
// pack tool runs on every picture.
#include <gtest/gtest.h>

#include <string>

#include "assets/data_pack.h"
#include "assets/jpeg_subset.h"
#include "tests/native/jpeg_test_support.h"

namespace {

using jpegtest::Bytes;

Bytes pack(uint8_t countByte, const std::vector<Bytes>& images) {
  Bytes out = {countByte};
  for (const Bytes& image : images) {
    const uint32_t length = uint32_t(image.size());
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(length >> shift));
    out.insert(out.end(), image.begin(), image.end());
  }
  return out;
}

TEST(DataPack, SplitsOneAndTwoImagePacks) {
  const Bytes first = {1, 2, 3, 4, 5};
  const Bytes second = {9, 8, 7};
  for (uint8_t countByte : {uint8_t(2), uint8_t(0), uint8_t(7), uint8_t(255)}) {  // never read
    const Bytes two = pack(countByte, {first, second});
    PackImage images[2] = {};
    ASSERT_TRUE(readDataPack(two.data(), two.size(), 2, images));
    EXPECT_EQ(two.data() + 5, images[0].data);
    EXPECT_EQ(5, images[0].length);
    EXPECT_EQ(two.data() + 9 + 5, images[1].data);  // offset 9 + L1
    EXPECT_EQ(3, images[1].length);
  }
  const Bytes one = pack(1, {first});
  PackImage image = {};
  ASSERT_TRUE(readDataPack(one.data(), one.size(), 1, &image));
  EXPECT_EQ(one.data() + 5, image.data);
  EXPECT_EQ(one, makeDataPack(&image, 1));
}

TEST(DataPack, RefusesPacksThatDoNotAddUp) {
  const Bytes good = pack(2, {{1, 2, 3, 4, 5}, {9, 8, 7}});
  struct Case {
    const char* name;
    Bytes bytes;
    int32_t count;
    DataPackFault fault;
  };
  Bytes longFirst = good;
  longFirst[1] = 200;  // the first length runs past the end
  Bytes longSecond = good;
  longSecond[10] = 4;  // the second one by one byte
  Bytes huge = pack(1, {{1, 2}});
  huge[4] = 0x80;  // 2^31 + 2
  Bytes extra = good;
  extra.push_back(0);
  const Case cases[] = {
      {"empty", {}, 1, DataPackFault::noCountByte},
      {"count byte only", {1}, 1, DataPackFault::lengthPastEnd},
      {"half a length", {1, 5, 0}, 1, DataPackFault::lengthPastEnd},
      {"first image past the end", longFirst, 2, DataPackFault::imagePastEnd},
      {"second image past the end", longSecond, 2, DataPackFault::imagePastEnd},
      {"second length missing", pack(2, {{1, 2, 3}}), 2, DataPackFault::lengthPastEnd},
      {"zero length", pack(1, {{}}), 1, DataPackFault::emptyImage},
      {"length over 2^31 - 1", huge, 1, DataPackFault::imageTooLarge},
      {"extra bytes after the last image", extra, 2, DataPackFault::extraBytes},
      {"one image read from a two-image pack", good, 1, DataPackFault::extraBytes},
  };
  for (const Case& c : cases) {
    PackImage images[2] = {};
    DataPackFault fault = DataPackFault::none;
    EXPECT_FALSE(readDataPack(c.bytes.data(), c.bytes.size(), c.count, images, &fault)) << c.name;
    EXPECT_EQ(c.fault, fault) << c.name << ": " << dataPackFaultText(fault);
  }
}

struct CommittedPack {
  const char* file;
  int32_t count;
  size_t size;
  int32_t sizes[2][2];
};

// Sizes as documented in res/README.md and planned for the saver's start-up.
const CommittedPack kPacks[] = {
    {"sunglow.pack", 1, 7518, {{256, 256}, {0, 0}}},
    {"surface-low.pack", 2, 129709, {{1024, 512}, {128, 64}}},
    {"surface-medium.pack", 2, 571942, {{2048, 1024}, {256, 128}}},
    {"surface-high.pack", 2, 2078262, {{4096, 2048}, {512, 256}}},
};

TEST(DataPack, CommittedPacksHoldTheirPictures) {
  for (const CommittedPack& p : kPacks) {
    const Bytes bytes = jpegtest::readFile(std::string(TAVRIN_SOURCE_DIR) + "/res/" + p.file);
    ASSERT_EQ(p.size, bytes.size()) << p.file;
    EXPECT_EQ(p.count, dataPackCountByte(bytes.data(), bytes.size()));
    PackImage images[2] = {};
    ASSERT_TRUE(readDataPack(bytes.data(), bytes.size(), p.count, images)) << p.file;
    for (int32_t i = 0; i < p.count; ++i) {
      EXPECT_TRUE(checkJpegSubset(images[i].data, size_t(images[i].length)).empty()) << p.file << " " << i;
      JpegDecoder decoder;
      int32_t width = 0;
      int32_t height = 0;
      int32_t headerLength = 0;
      ASSERT_TRUE(decoder.readHeader(images[i].data, images[i].length, width, height, headerLength));
      EXPECT_EQ(p.sizes[i][0], width) << p.file;
      EXPECT_EQ(p.sizes[i][1], height) << p.file;
    }
  }
}

// The glow is stored red/blue exchanged; on screen (GL_RGB from B, G, R) it
// is warm: the stored blue byte (shown as red) at least the stored red byte.
// Its edges are black and its middle white.
TEST(DataPack, SunGlowIsRoundWarmAndBlackAtTheEdges) {
  const Bytes jpeg = jpegtest::resourceImage("sunglow.pack", 0);
  const jpegtest::Decoded glow = jpegtest::decodeInto(jpeg, false);
  ASSERT_TRUE(glow.ok);
  for (int i = 0; i < 256; ++i) {
    for (const auto& xy : {std::pair<int, int>{i, 0}, {i, 255}, {0, i}, {255, i}, {i, 8}, {8, i}}) {
      const uint8_t* p = glow.pixel(xy.first, xy.second);
      ASSERT_EQ(0, p[0] | p[1] | p[2]) << xy.first << "," << xy.second;
    }
  }
  const uint8_t* centre = glow.pixel(128, 128);
  EXPECT_GE(centre[0] + centre[1] + centre[2], 3 * 250);
  const uint8_t* rim = glow.pixel(128, 60);  // partway out: warm, not white
  EXPECT_GT(rim[0], rim[2] + 20);
  EXPECT_LT(std::abs(int(glow.pixel(60, 128)[0]) - int(rim[0])), 4);  // round
}

// Departures, each from one change to a good picture.
TEST(JpegSubset, ListsEveryDeparture) {
  const auto good = [](uint8_t sof, uint8_t sampling, bool dri) {
    jpegtest::TestCodes codes;
    jpegtest::BitWriter bits;
    const int blocks = sampling == 0x11 ? 3 : 6;
    for (int b = 0; b < blocks; ++b) jpegtest::writeBlock(bits, codes.block(), 10);
    bits.flush();
    jpegtest::JpegWriter writer;
    writer.soi().app0().dqt({{0x00, jpegtest::flatQuant(4)}}).dqt({{0x01, jpegtest::flatQuant(5)}});
    writer.frame(sof, 16, 16, {{1, sampling, 0}, {2, 0x11, 1}, {3, 0x11, 1}});
    writer.dht({{0x00, jpegtest::dcTable()}}).dht({{0x10, jpegtest::acTable()}});
    writer.dht({{0x01, jpegtest::dcTable()}}).dht({{0x11, jpegtest::acTable()}});
    if (dri) writer.dri(1);
    writer.sos3().data(bits.bytes);
    for (int m = 1; m < (sampling == 0x11 ? 4 : 1); ++m) {
      if (dri) writer.marker(uint8_t(0xD0 + m - 1));
      writer.data(bits.bytes);
    }
    return writer.eoi().bytes;
  };
  EXPECT_TRUE(checkJpegSubset(good(0xC0, 0x11, false).data(), good(0xC0, 0x11, false).size()).empty());

  const auto departures = [](const Bytes& stream) { return checkJpegSubset(stream.data(), stream.size()); };
  const auto has = [](const std::vector<JpegDeparture>& list, JpegDeparture d) {
    for (JpegDeparture x : list) {
      if (x == d) return true;
    }
    return false;
  };
  EXPECT_TRUE(has(departures(good(0xC0, 0x22, false)), JpegDeparture::notOneByOne));
  EXPECT_TRUE(has(departures(good(0xC0, 0x11, true)), JpegDeparture::restartInterval));
  const auto progressive = departures(good(0xC2, 0x11, false));
  EXPECT_TRUE(has(progressive, JpegDeparture::notBaselineFrame));
  EXPECT_TRUE(has(progressive, JpegDeparture::notDecodable));

  Bytes noEoi = good(0xC0, 0x11, false);
  noEoi.resize(noEoi.size() - 2);
  EXPECT_TRUE(has(departures(noEoi), JpegDeparture::noEoi));
  Bytes noSoi = good(0xC0, 0x11, false);
  noSoi.erase(noSoi.begin(), noSoi.begin() + 2);
  EXPECT_TRUE(has(departures(noSoi), JpegDeparture::noSoi));

  jpegtest::JpegWriter shared;  // both tables in one DQT segment, one with 16-bit entries
  shared.soi().dqt({{0x00, jpegtest::flatQuant(4)}, {0x11, Bytes(128, 1)}});
  const auto sharedList = departures(shared.eoi().bytes);
  EXPECT_TRUE(has(sharedList, JpegDeparture::sharedDqtSegment));
  EXPECT_TRUE(has(sharedList, JpegDeparture::sixteenBitDqt));
  EXPECT_TRUE(has(sharedList, JpegDeparture::notOneScan));
  EXPECT_TRUE(has(sharedList, JpegDeparture::missingHuffmanTable));

  jpegtest::JpegWriter twoComponents;
  twoComponents.soi().frame(0xC0, 8, 8, {{1, 0x11, 1}, {2, 0x11, 0}}).dht({{0x21, jpegtest::dcTable()}});
  twoComponents.segment(0xDA, {1, 1, 0x11, 0, 63, 0});
  const auto twoList = departures(twoComponents.eoi().bytes);
  EXPECT_TRUE(has(twoList, JpegDeparture::notThreeComponents));
  EXPECT_TRUE(has(twoList, JpegDeparture::quantAssignment));
  EXPECT_TRUE(has(twoList, JpegDeparture::huffmanSelector));
  EXPECT_TRUE(has(twoList, JpegDeparture::scanComponents));
  EXPECT_TRUE(has(twoList, JpegDeparture::scanTables));
  EXPECT_TRUE(has(twoList, JpegDeparture::notDecodable));

  for (int i = 0; i <= int(JpegDeparture::notDecodable); ++i) {
    EXPECT_STRNE("unknown departure", jpegDepartureText(JpegDeparture(i)));
  }
}

}  // namespace
