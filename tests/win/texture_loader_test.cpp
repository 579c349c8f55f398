// The DATAPACK resources as the saver loads them (from this program's own, or a damaged copy).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "assets/jpeg_decoder.h"
#include "assets/texture_loader.h"
#include "config/settings.h"
#include "host/host.h"
#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"

namespace {

int windowsCreated = 0;

// A hook counts and refuses this thread's windows: a message box returns at once.
TEST(TextureLoader, EachQualityLoadsItsPackAnythingElseTheLargestAndDamageFailsWithoutAMessage) {
  HHOOK hook = SetWindowsHookExA(
      WH_CBT, [](int code, WPARAM, LPARAM) -> LRESULT { return code == HCBT_CREATEWND ? ++windowsCreated : 0; },
      nullptr, GetCurrentThreadId());
  MessageBoxA(nullptr, "seen?", nullptr, MB_OK);
  ASSERT_EQ(windowsCreated, 1) << "a message box goes unseen";
  const auto release = [] {
    for (RgbImage* image : {lunarMap, earthMap, sunGlowImage}) freeRgbImage(image);
    delete fontAtlasImage;
    lunarMap = earthMap = sunGlowImage = fontAtlasImage = nullptr;
  };
  const int qualities[][3] = {{0, 1024, 128}, {1, 2048, 256}, {2, 4096, 512}, {3, 4096, 512}, {-1, 4096, 512}};
  const void* atlas = LockResource(LoadResource(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(106), "DATAPACK")));
  for (const auto& [quality, lunarWidth, earthWidth] : qualities) {
    settings.textureQuality = quality;
    ASSERT_TRUE(loadTextures()) << quality;
    EXPECT_TRUE(lunarMap->width == lunarWidth && lunarMap->height == lunarWidth / 2) << quality;
    EXPECT_TRUE(earthMap->width == earthWidth && earthMap->height == earthWidth / 2) << quality;
    EXPECT_TRUE(sunGlowImage->width == 256 && sunGlowImage->height == 256 && fontAtlasImage->width == 256);
    EXPECT_EQ(fontAtlasImage->pixels, atlas) << "the resource's own bytes";
    release();
  }

  uint32_t size = 0;
  const uint8_t* low = lockDataPack(IDR_PACK_LOW, &size);
  std::vector<uint8_t> longer(low, low + size), shorter(low, low + size - 1), pastEnd(low, low + size), empty,
      shortAtlas(100);
  longer.push_back(0);
  pastEnd[1] = pastEnd[2] = 0xFF;  // the first length now runs past the resource
  const std::pair<int, const std::vector<uint8_t>*> damaged[] = {
      {IDR_PACK_HIGH, nullptr}, {IDR_PACK_GLYPHS, nullptr},    {IDR_PACK_SUN_GLOW, nullptr},
      {IDR_PACK_LOW, &longer},  {IDR_PACK_LOW, &shorter},      {IDR_PACK_LOW, &pastEnd},
      {IDR_PACK_LOW, &empty},   {IDR_PACK_GLYPHS, &shortAtlas}};
  const std::string copy = tavrin_test::siblingPath("loader-copy.scr");
  for (const auto& [id, bytes] : damaged) {  // null bytes: the pack is missing
    ASSERT_TRUE(tavrin_test::copySaverWithPack(copy, uint16_t(id), bytes));
    resourceModule = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    settings.textureQuality = id == IDR_PACK_HIGH ? 2 : 0;
    windowsCreated = 0;
    EXPECT_FALSE(resourceModule == nullptr || loadTextures()) << id << " " << (bytes ? bytes->size() : 0);
    EXPECT_EQ(windowsCreated, 0) << id;
    release();
    FreeLibrary(resourceModule);
  }
  resourceModule = nullptr;
  UnhookWindowsHookEx(hook);
}

}  // namespace
