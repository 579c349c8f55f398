// The saver's code in this process: the settings store on Wine's registry.
#include <gtest/gtest.h>
#include <windows.h>


#include "config/settings.h"
#include "config/settings_store_win.h"
#include "tools/harness/harness_win.h"

using namespace harness;

namespace {

// The registry under the settings rules (settings_test.cpp holds them, and the values): a DWORD made for every value;
// data of other types and sizes read as its first four bytes, zero-filled; longer data replaced by the default.
TEST(SettingsStore, AMissingKeyGetsTwelveDwordsAndOtherDataIsReadByItsFirstFourBytes) {
  deleteSettingsKey();
  Settings settings = initialSettings();
  ASSERT_TRUE(LoadSettings(settings, nullptr));
  for (const SettingRow& row : settingRows) EXPECT_NE(storedSetting(row.name), kNotStored) << row.name;
  const BYTE text[] = {'7', 0}, amount[] = {0xB8, 0x0B}, eight[] = {1, 0, 0, 0, 0, 0, 0, 0};
  writeValue(settingsKey, "Camera Speed", REG_SZ, text, sizeof text);
  writeValue(settingsKey, "Stars Amount", REG_BINARY, amount, sizeof amount);
  writeValue(settingsKey, "Show Earth", REG_BINARY, eight, sizeof eight);
  ASSERT_TRUE(LoadSettings(settings, nullptr));
  EXPECT_EQ(settings.cameraSpeed, 55u) << "'7' and a zero";
  EXPECT_EQ(settings.starsAmount, 3000u);
  EXPECT_TRUE(settings.showEarth) << "eight bytes: the default";
  EXPECT_EQ(storedSetting("Show Earth"), 1u) << "rewritten as a DWORD";
  EXPECT_EQ(storedSetting("Camera Speed"), kNotStored) << "kept as a string";
}

}  // namespace
