// The settings rules on arbitrary stored numbers: every accepted number lies
// in its range, and reading twice gives the same record.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "config/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Settings first;
  for (int i = 0; i < settingCount; ++i) {
    // Registry data of any length: what does not fill four bytes leaves zeros.
    uint32_t stored = 0;
    const size_t offset = static_cast<size_t>(i) * 4;
    if (offset < size) std::memcpy(&stored, data + offset, size - offset < 4 ? size - offset : 4);
    const SettingValue& value = settingValues[i];
    const uint32_t accepted = acceptStoredNumber(value.rule, stored);
    switch (value.rule) {
      case SettingRule::Flag:
        if (accepted > 1) __builtin_trap();
        break;
      case SettingRule::StarsAmount:
        if (accepted < 3000 || accepted > 30000) __builtin_trap();
        break;
      case SettingRule::Speed:
        if (accepted < 1 || accepted > 100) __builtin_trap();
        break;
      case SettingRule::Choice:
        if (accepted > 2) __builtin_trap();
        break;
    }
    if (acceptStoredNumber(value.rule, accepted) != accepted) __builtin_trap();
    storeSetting(first, value.id, stored);
  }
  computeDerivedRates(first);
  if (!(first.animationRate > 0.0f && first.animationRate <= 1.0f)) __builtin_trap();
  if (!(first.cameraRate >= 10.0f && first.cameraRate <= 1000.0f)) __builtin_trap();
  return 0;
}
