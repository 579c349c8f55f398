// The DATAPACK resources as the saver finds them: this test program carries
// the saver's own resources, so a null resource module finds them here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "assets/data_pack.h"
#include "assets/jpeg_decoder.h"
#include "assets/texture_loader.h"
#include "config/settings.h"
#include "host/host.h"
#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"

namespace {

class TextureLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    resourceModule = nullptr;
    lunarMap = earthMap = sunGlowImage = fontAtlasImage = nullptr;
  }
  void TearDown() override {
    resourceModule = nullptr;
    if (dataModule) FreeLibrary(dataModule);
    for (RgbImage* image : {lunarMap, earthMap, sunGlowImage}) freeRgbImage(image);
    delete fontAtlasImage;
  }

  // A copy of the saver whose pack `id` holds `bytes` (none: removed), loaded
  // as a data file and made the resource module.
  bool useSaverCopyWith(uint16_t id, const std::vector<uint8_t>* bytes) {
    const std::string copy = tavrin_test::siblingPath("loader-copy.scr");
    if (!tavrin_test::copySaverWithPack(copy, id, bytes)) return false;
    dataModule = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    resourceModule = dataModule;
    return dataModule != nullptr;
  }

  HMODULE dataModule = nullptr;
};

TEST_F(TextureLoader, EachQualityLoadsItsPackAndAnythingElseTheLargest) {
  const struct {
    int32_t quality;
    int32_t lunarWidth;
    int32_t earthWidth;
  } cases[] = {{0, 1024, 128}, {1, 2048, 256}, {2, 4096, 512}, {3, 4096, 512}, {-1, 4096, 512}};
  for (const auto& c : cases) {
    settings.textureQuality = c.quality;
    ASSERT_TRUE(loadTextures()) << c.quality;
    EXPECT_EQ(lunarMap->width, c.lunarWidth) << c.quality;
    EXPECT_EQ(lunarMap->height, c.lunarWidth / 2) << c.quality;
    EXPECT_EQ(earthMap->width, c.earthWidth) << c.quality;
    EXPECT_EQ(earthMap->height, c.earthWidth / 2) << c.quality;
    EXPECT_EQ(sunGlowImage->width, 256);
    EXPECT_EQ(sunGlowImage->height, 256);
    for (RgbImage* image : {lunarMap, earthMap, sunGlowImage}) freeRgbImage(image);
    delete fontAtlasImage;
    lunarMap = earthMap = sunGlowImage = fontAtlasImage = nullptr;
  }
}

TEST_F(TextureLoader, TheAtlasIsTheResourcesOwnBytes) {
  ASSERT_TRUE(loadFontAtlas(IDR_PACK_GLYPHS));
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_PACK_GLYPHS), "DATAPACK");
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(fontAtlasImage->pixels, LockResource(LoadResource(nullptr, resource)));
  EXPECT_EQ(fontAtlasImage->width, 256);
  EXPECT_EQ(fontAtlasImage->height, 256);
  EXPECT_EQ(SizeofResource(nullptr, resource), 65536u);
}

TEST_F(TextureLoader, PackSizesAreExactlyTheirLengths) {
  // windres must not pad a resource: the loader compares lengths with its size.
  for (uint16_t id : {IDR_PACK_SUN_GLOW, IDR_PACK_LOW, IDR_PACK_MEDIUM, IDR_PACK_HIGH}) {
    uint32_t size = 0;
    const uint8_t* pack = lockDataPack(id, &size);
    ASSERT_NE(pack, nullptr) << id;
    PackImage images[2];
    EXPECT_TRUE(readDataPack(pack, size, id == IDR_PACK_SUN_GLOW ? 1 : 2, images)) << id;
  }
}

TEST_F(TextureLoader, AMissingPackFailsWithoutAMessage) {
  ASSERT_TRUE(useSaverCopyWith(IDR_PACK_HIGH, nullptr));
  EXPECT_FALSE(loadSurfacePack(IDR_PACK_HIGH));
  EXPECT_EQ(lunarMap, nullptr);
  EXPECT_TRUE(loadGlowPack(IDR_PACK_SUN_GLOW)) << "the other packs are still there";
  EXPECT_FALSE(loadSurfacePack(4242));
}

TEST_F(TextureLoader, PacksWhoseLengthsDoNotAddUpAreRefused) {
  uint32_t size = 0;
  const uint8_t* good = lockDataPack(IDR_PACK_LOW, &size);
  ASSERT_NE(good, nullptr);
  std::vector<uint8_t> empty;
  std::vector<uint8_t> longer(good, good + size);
  longer.push_back(0);
  std::vector<uint8_t> shorter(good, good + size - 1);
  std::vector<uint8_t> pastEnd(good, good + size);
  pastEnd[1] = 0xFF;  // the first length now runs past the resource
  pastEnd[2] = 0xFF;
  for (const std::vector<uint8_t>* bad : {&longer, &shorter, &pastEnd, &empty}) {
    ASSERT_TRUE(useSaverCopyWith(IDR_PACK_LOW, bad));
    EXPECT_FALSE(loadSurfacePack(IDR_PACK_LOW)) << bad->size();
    FreeLibrary(dataModule);
    dataModule = nullptr;
    resourceModule = nullptr;
  }
  std::vector<uint8_t> shortAtlas(100, 0);
  ASSERT_TRUE(useSaverCopyWith(IDR_PACK_GLYPHS, &shortAtlas));
  EXPECT_FALSE(loadFontAtlas(IDR_PACK_GLYPHS));
}

}  // namespace
