#include "config/settings.h"

Settings settings;

// "Texture Filtartion" is misspelt, but it is the name every installed copy
// has written to users' registries: renaming it would lose their choice.
const SettingValue settingValues[settingCount] = {
    {SettingId::ShowEarth, "Show Earth", 1, SettingRule::Flag},
    {SettingId::ShowStars, "Show Stars", 1, SettingRule::Flag},
    {SettingId::SmoothStars, "Smooth Stars", 1, SettingRule::Flag},
    {SettingId::StarsAmount, "Stars Amount", 10000, SettingRule::StarsAmount},
    {SettingId::RandomCamera, "Random Camera", 1, SettingRule::Flag},
    {SettingId::ShowInfo, "Show Info", 1, SettingRule::Flag},
    {SettingId::ShowTime, "Show Time", 1, SettingRule::Flag},
    {SettingId::ShowFps, "Show FPS", 1, SettingRule::Flag},
    {SettingId::AnimationSpeed, "Animation Speed", 30, SettingRule::Speed},
    {SettingId::CameraSpeed, "Camera Speed", 30, SettingRule::Speed},
    {SettingId::TextureFiltration, "Texture Filtartion", 2, SettingRule::Choice},
    {SettingId::TextureQuality, "Texture Quality", 2, SettingRule::Choice},
};

uint32_t acceptStoredNumber(SettingRule rule, uint32_t stored) {
  switch (rule) {
    case SettingRule::Flag: return stored == 1 ? 1u : 0u;
    case SettingRule::StarsAmount: return stored >= 3000 && stored <= 30000 ? stored : 10000u;
    case SettingRule::Speed: return stored >= 1 && stored <= 100 ? stored : 30u;
    case SettingRule::Choice: {
      // Compared signed: a stored 0xFFFFFFFF is -1, out of range like 3.
      const int32_t value = static_cast<int32_t>(stored);
      return value >= 0 && value <= 2 ? stored : 2u;
    }
  }
  return stored;
}

void storeSetting(Settings& target, SettingId id, uint32_t stored) {
  const uint32_t value = acceptStoredNumber(settingValues[static_cast<int>(id)].rule, stored);
  const bool on = value == 1;
  switch (id) {
    case SettingId::ShowEarth: target.showEarth = on; break;
    case SettingId::ShowStars: target.showStars = on; break;
    case SettingId::SmoothStars: target.smoothStars = on; break;
    case SettingId::StarsAmount: target.starsAmount = value; break;
    case SettingId::RandomCamera: target.randomCamera = on; break;
    case SettingId::ShowInfo: target.showInfo = on; break;
    case SettingId::ShowTime: target.showTime = on; break;
    case SettingId::ShowFps: target.showFps = on; break;
    case SettingId::AnimationSpeed: target.animationSpeed = value; break;
    case SettingId::CameraSpeed: target.cameraSpeed = value; break;
    case SettingId::TextureFiltration: target.textureFiltration = static_cast<int32_t>(value); break;
    case SettingId::TextureQuality: target.textureQuality = static_cast<int32_t>(value); break;
  }
}

void computeDerivedRates(Settings& target) {
  // Single precision on purpose: speed 30 gives 0.29999998, not the float
  // nearest 0.3, and the sphere's pace has always been that number.
  const float hundredth = 0.01f;
  target.animationRate = static_cast<float>(target.animationSpeed) * hundredth;
  target.cameraRate = static_cast<float>(target.cameraSpeed) * 10.0f;
}
