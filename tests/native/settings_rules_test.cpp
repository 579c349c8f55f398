#include <gtest/gtest.h>

#include "config/settings.h"

namespace {

uint32_t accept(SettingId id, uint32_t stored) {
  Settings s;
  storeSetting(s, id, stored);
  switch (id) {
    case SettingId::StarsAmount:
      return s.starsAmount;
    case SettingId::AnimationSpeed:
      return s.animationSpeed;
    case SettingId::CameraSpeed:
      return s.cameraSpeed;
    case SettingId::TextureFiltration:
      return static_cast<uint32_t>(s.textureFiltration);
    case SettingId::TextureQuality:
      return static_cast<uint32_t>(s.textureQuality);
    case SettingId::ShowStars:
      return s.showStars;
    default:
      return 0xDEADu;
  }
}

TEST(SettingsRules, RangesAreAcceptedAtTheirEdgesAndReplacedJustOutside) {
  EXPECT_EQ(accept(SettingId::StarsAmount, 2999), 10000u);
  EXPECT_EQ(accept(SettingId::StarsAmount, 3000), 3000u);
  EXPECT_EQ(accept(SettingId::StarsAmount, 30000), 30000u);
  EXPECT_EQ(accept(SettingId::StarsAmount, 30001), 10000u);
  EXPECT_EQ(accept(SettingId::StarsAmount, 0xFFFFFFFFu), 10000u);
  for (SettingId speed : {SettingId::AnimationSpeed, SettingId::CameraSpeed}) {
    EXPECT_EQ(accept(speed, 0), 30u);
    EXPECT_EQ(accept(speed, 1), 1u);
    EXPECT_EQ(accept(speed, 100), 100u);
    EXPECT_EQ(accept(speed, 101), 30u);
    EXPECT_EQ(accept(speed, 0xFFFFFFFFu), 30u);
  }
  for (SettingId choice : {SettingId::TextureFiltration, SettingId::TextureQuality}) {
    EXPECT_EQ(accept(choice, 0xFFFFFFFFu), 2u) << "-1 is out of range when compared signed";
    EXPECT_EQ(accept(choice, 0), 0u);
    EXPECT_EQ(accept(choice, 2), 2u);
    EXPECT_EQ(accept(choice, 3), 2u);
    EXPECT_EQ(accept(choice, 0x80000000u), 2u);
  }
}

TEST(SettingsRules, OnlyExactlyOneSwitchesAFlagOn) {
  EXPECT_EQ(accept(SettingId::ShowStars, 1), 1u);
  EXPECT_EQ(accept(SettingId::ShowStars, 2), 0u);
  EXPECT_EQ(accept(SettingId::ShowStars, 0), 0u);
  EXPECT_EQ(accept(SettingId::ShowStars, 0x101), 0u);
}

TEST(SettingsRules, EveryValueIsReadInTableOrderWithItsDefault) {
  // Reading each value's default through its own rule gives the saver's defaults.
  Settings s;
  for (int i = 0; i < settingCount; ++i) {
    EXPECT_EQ(static_cast<int>(settingValues[i].id), i);
    storeSetting(s, settingValues[i].id, settingValues[i].defaultValue);
  }
  EXPECT_TRUE(s.showEarth && s.showStars && s.smoothStars && s.randomCamera);
  EXPECT_TRUE(s.showInfo && s.showTime && s.showFps);
  EXPECT_EQ(s.starsAmount, 10000u);
  EXPECT_EQ(s.animationSpeed, 30u);
  EXPECT_EQ(s.cameraSpeed, 30u);
  EXPECT_EQ(s.textureFiltration, 2);
  EXPECT_EQ(s.textureQuality, 2);
}

TEST(SettingsRules, DerivedRatesAreSinglePrecisionProducts) {
  Settings s;
  s.animationSpeed = 30;
  s.cameraSpeed = 30;
  computeDerivedRates(s);
  EXPECT_EQ(s.animationRate, 0.29999998f);
  EXPECT_NE(s.animationRate, 0.3f);
  EXPECT_EQ(s.cameraRate, 300.0f);
  s.animationSpeed = 100;
  computeDerivedRates(s);
  EXPECT_EQ(s.animationRate, 1.0f);
}

}  // namespace
