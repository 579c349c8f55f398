// The settings store against Wine's real registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "config/settings.h"
#include "config/settings_store.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    deleteSettingsKey();
    settings = Settings{};
  }
  void TearDown() override { deleteSettingsKey(); }
  static DWORD stored(const char* name, DWORD* type = nullptr) {
    DWORD value = 0xBAADF00D;
    EXPECT_TRUE(readSetting(name, &value, type)) << name;
    return value;
  }
};

TEST_F(SettingsStore, MissingKeyGetsAllTwelveDefaultsWritten) {
  ASSERT_TRUE(LoadSettings());
  for (const SettingValue& value : settingValues) {
    DWORD type = 0;
    EXPECT_EQ(stored(value.name, &type), value.defaultValue) << value.name;
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << value.name;
  }
  EXPECT_TRUE(settings.showEarth && settings.showStars && settings.smoothStars && settings.randomCamera);
  EXPECT_TRUE(settings.showInfo && settings.showTime && settings.showFps);
  EXPECT_EQ(settings.starsAmount, 10000u);
  EXPECT_EQ(settings.animationSpeed, 30u);
  EXPECT_EQ(settings.cameraSpeed, 30u);
  EXPECT_EQ(settings.textureFiltration, 2);
  EXPECT_EQ(settings.textureQuality, 2);
  EXPECT_EQ(settings.animationRate, 0.29999998f);
  EXPECT_EQ(settings.cameraRate, 300.0f);
}

TEST_F(SettingsStore, OutOfRangeNumbersAreCorrectedInMemoryOnly) {
  struct Case {
    const char* name;
    DWORD storedValue;
    uint32_t Settings::*field;
    uint32_t expected;
  };
  const Case cases[] = {
      {"Stars Amount", 2999, &Settings::starsAmount, 10000},    {"Stars Amount", 3000, &Settings::starsAmount, 3000},
      {"Stars Amount", 30000, &Settings::starsAmount, 30000},   {"Stars Amount", 30001, &Settings::starsAmount, 10000},
      {"Animation Speed", 0, &Settings::animationSpeed, 30},    {"Animation Speed", 1, &Settings::animationSpeed, 1},
      {"Animation Speed", 100, &Settings::animationSpeed, 100}, {"Animation Speed", 101, &Settings::animationSpeed, 30},
      {"Camera Speed", 0xFFFFFFFF, &Settings::cameraSpeed, 30}, {"Camera Speed", 100, &Settings::cameraSpeed, 100},
  };
  for (const Case& c : cases) {
    writeSetting(c.name, c.storedValue);
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(settings.*(c.field), c.expected) << c.name << " " << c.storedValue;
    EXPECT_EQ(stored(c.name), c.storedValue) << "the registry keeps what it holds";
  }
  for (const char* name : {"Texture Quality", "Texture Filtartion"}) {
    for (DWORD value : {0xFFFFFFFFu, 0u, 2u, 3u}) {
      writeSetting(name, value);
      ASSERT_TRUE(LoadSettings());
      const int32_t field =
          std::strcmp(name, "Texture Quality") == 0 ? settings.textureQuality : settings.textureFiltration;
      EXPECT_EQ(field, value <= 2 ? static_cast<int32_t>(value) : 2) << name << " " << value;
      EXPECT_EQ(stored(name), value);
    }
  }
  writeSetting("Show Stars", 2);
  ASSERT_TRUE(LoadSettings());
  EXPECT_FALSE(settings.showStars);
  EXPECT_EQ(stored("Show Stars"), 2u);
}

TEST_F(SettingsStore, DataLongerThanFourBytesIsReplacedByTheDefaultAsADword) {
  const char text[] = "30000 stars";
  writeSettingRaw("Stars Amount", REG_SZ, text, sizeof text);
  const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  writeSettingRaw("Show Earth", REG_BINARY, eight, sizeof eight);
  ASSERT_TRUE(LoadSettings());
  DWORD type = 0;
  EXPECT_EQ(stored("Stars Amount", &type), 10000u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored("Show Earth", &type), 1u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(settings.starsAmount, 10000u);
}

TEST_F(SettingsStore, ShortDataFillsTheLowBytesAndTheRestIsZero) {
  const unsigned char two[2] = {0x10, 0x27};  // 10000
  writeSettingRaw("Stars Amount", REG_BINARY, two, sizeof two);
  const unsigned char one[1] = {1};
  writeSettingRaw("Show Stars", REG_BINARY, one, sizeof one);
  writeSettingRaw("Show Earth", REG_BINARY, one, 0);
  ASSERT_TRUE(LoadSettings());
  EXPECT_EQ(settings.starsAmount, 10000u);
  EXPECT_TRUE(settings.showStars);
  EXPECT_FALSE(settings.showEarth) << "no data reads as 0";
  DWORD type = 0;
  stored("Stars Amount", &type);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY)) << "readable data is not rewritten";
}

TEST_F(SettingsStore, RatesFollowTheStoredSpeeds) {
  writeSetting("Animation Speed", 100);
  writeSetting("Camera Speed", 1);
  ASSERT_TRUE(LoadSettings());
  EXPECT_EQ(settings.animationRate, 1.0f);
  EXPECT_EQ(settings.cameraRate, 10.0f);
}

TEST_F(SettingsStore, WriteDwordStoresAFourByteDword) {
  ASSERT_TRUE(LoadSettings());
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
  EXPECT_TRUE(WriteDword(key, "Camera Speed", 77));
  EXPECT_TRUE(WriteDword(key, "Texture Quality", 0xFFFFFFFFu));
  RegCloseKey(key);
  DWORD type = 0;
  EXPECT_EQ(stored("Camera Speed", &type), 77u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored("Texture Quality"), 0xFFFFFFFFu);
  ASSERT_TRUE(LoadSettings());
  EXPECT_EQ(settings.cameraSpeed, 77u);
  EXPECT_EQ(settings.textureQuality, 2);
}

}  // namespace
