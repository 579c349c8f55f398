// The settings store against Wine's real registry.
#include <gtest/gtest.h>
#include <windows.h>

#include "config/settings.h"
#include "config/settings_store.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override { deleteSettingsKey(); }
  static void load() {
    settings = Settings{};
    ASSERT_TRUE(LoadSettings());
  }
  static DWORD stored(const char* name, DWORD expectedType = REG_DWORD) {
    DWORD value = 0xBAADF00D, type = 0;
    EXPECT_TRUE(readSetting(name, &value, &type) && type == expectedType) << name << " type " << type;
    return value;
  }
};

TEST_F(SettingsStore, AMissingKeyGetsAllTwelveDefaultsWrittenAsDwords) {
  load();
  for (const SettingValue& value : settingValues) EXPECT_EQ(stored(value.name), value.defaultValue) << value.name;
  EXPECT_EQ(settings.animationRate, 0.29999998f);  // 30 x 0.01 in single precision
  EXPECT_EQ(settings.cameraRate, 300.0f);
}

TEST_F(SettingsStore, NumbersAreCheckedAtTheirRangeEdgesAndTheRegistryKeepsWhatItHolds) {
  const struct {
    const char* name;
    DWORD value, expected;
    int field;  // in `loaded` below
  } cases[] = {
      {"Stars Amount", 2999, 10000, 0},  {"Stars Amount", 3000, 3000, 0}, {"Stars Amount", 30000, 30000, 0},
      {"Stars Amount", 30001, 10000, 0}, {"Animation Speed", 0, 30, 1},   {"Animation Speed", 100, 100, 1},
      {"Camera Speed", 101, 30, 2},      {"Camera Speed", 1, 1, 2},       {"Texture Quality", 0xFFFFFFFF, 2, 3},
      {"Texture Quality", 0, 0, 3},      {"Texture Filtartion", 3, 2, 4}};
  for (const auto& c : cases) {
    writeSetting(c.name, c.value);
    load();
    const DWORD loaded[] = {settings.starsAmount, settings.animationSpeed, settings.cameraSpeed,
                            DWORD(settings.textureQuality), DWORD(settings.textureFiltration)};
    EXPECT_EQ(loaded[c.field], c.expected) << c.name << " " << c.value;
    EXPECT_EQ(stored(c.name), c.value) << c.name;
  }
  EXPECT_EQ(settings.animationRate, 1.0f);  // rates from the last speeds loaded, 100 and 1
  EXPECT_EQ(settings.cameraRate, 10.0f);
}

// More than four bytes: the default, rewritten as a DWORD. Fewer fill the low bytes and stay.
TEST_F(SettingsStore, DataOfOtherSizes) {
  const char text[] = "30000 stars";
  const unsigned char bytes[2] = {0xB8, 0x0B};  // 3000 in two bytes
  writeSettingRaw("Animation Speed", REG_SZ, text, sizeof text);
  writeSettingRaw("Stars Amount", REG_BINARY, bytes, 2);
  writeSettingRaw("Show Earth", REG_BINARY, bytes, 0);
  load();
  EXPECT_EQ(settings.animationSpeed, 30u);
  EXPECT_EQ(stored("Animation Speed"), 30u);
  EXPECT_EQ(settings.starsAmount, 3000u);
  EXPECT_EQ(stored("Stars Amount", REG_BINARY), 3000u);
  EXPECT_FALSE(settings.showEarth);
}

}  // namespace
