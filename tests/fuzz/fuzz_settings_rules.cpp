// The settings rules on arbitrary stored numbers: accepted ones lie in their range and stay; so do the rates.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "config/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t ranges[][2] = {{0, 1}, {3000, 30000}, {1, 100}, {0, 2}};  // by SettingRule
  Settings loaded;
  for (int i = 0; i < settingCount; ++i) {
    // Registry data of any length: what does not fill four bytes leaves zeros.
    uint32_t stored = 0;
    const size_t offset = size_t(i) * 4;
    if (offset < size) std::memcpy(&stored, data + offset, size - offset < 4 ? size - offset : 4);
    const SettingRule rule = settingValues[i].rule;
    const uint32_t accepted = acceptStoredNumber(rule, stored);
    if (accepted < ranges[int(rule)][0] || accepted > ranges[int(rule)][1]) __builtin_trap();
    if (acceptStoredNumber(rule, accepted) != accepted) __builtin_trap();
    storeSetting(loaded, settingValues[i].id, stored);
  }
  computeDerivedRates(loaded);
  if (!(loaded.animationRate > 0.0f && loaded.animationRate <= 1.0f)) __builtin_trap();
  if (!(loaded.cameraRate >= 10.0f && loaded.cameraRate <= 1000.0f)) __builtin_trap();
  return 0;
}
