// The saver's twelve user settings: the record, the registry value names with
// their defaults, and the rules that turn a stored number into a setting.
//
// Platform-free: the registry itself is reached through settings_store_win.cpp.
// What this file does not do: it never writes anything back. A stored number
// outside its range is corrected in memory only; the registry keeps it.
#pragma once

#include <cstdint>

struct Settings {
  bool showEarth = true;
  bool showStars = true;
  bool smoothStars = true;
  uint32_t starsAmount = 20000;
  bool randomCamera = false;
  bool showInfo = true;
  bool showTime = true;
  bool showFps = true;
  uint32_t animationSpeed = 0;
  uint32_t cameraSpeed = 0;
  int32_t textureFiltration = 0;
  int32_t textureQuality = 0;
  // Derived when the settings are loaded.
  float animationRate = 0.0004f;  // animationSpeed x 0.01: degrees scale of the sphere turn
  float cameraRate = 0.0004f;     // cameraSpeed x 10: scales the camera's step
};

// The one process-wide record. Until the first load it holds the values above,
// which is what a dialog shows when the key cannot be opened.
extern Settings settings;

// The stored values, in the order they are read.
enum class SettingId : uint8_t {
  ShowEarth,
  ShowStars,
  SmoothStars,
  StarsAmount,
  RandomCamera,
  ShowInfo,
  ShowTime,
  ShowFps,
  AnimationSpeed,
  CameraSpeed,
  TextureFiltration,
  TextureQuality,
};
constexpr int settingCount = 12;

// How a stored number is accepted.
enum class SettingRule : uint8_t {
  Flag,         // exactly 1 is on, every other number off
  StarsAmount,  // 3000..30000, else 10000 (unsigned compare)
  Speed,        // 1..100, else 30 (unsigned compare)
  Choice,       // 0..2 compared signed, else 2
};

struct SettingValue {
  SettingId id;
  const char* name;  // registry value name, as users' registries already hold it
  uint32_t defaultValue;
  SettingRule rule;
};

// All twelve, in read order.
extern const SettingValue settingValues[settingCount];

// The number a rule accepts for a stored number (the stored one or the rule's fallback).
uint32_t acceptStoredNumber(SettingRule rule, uint32_t stored);

// Applies the rule of `id` to `stored` and puts the result into its field.
void storeSetting(Settings& target, SettingId id, uint32_t stored);

// animationRate and cameraRate from the two speeds, in single precision.
void computeDerivedRates(Settings& target);
