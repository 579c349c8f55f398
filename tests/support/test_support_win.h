// Helpers only the tests need: a settings key nothing may read or write, and a saver with one data pack replaced.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/harness/harness_win.h"

namespace harness {

// While it lives, the settings key (made if missing) has an access list that grants nothing: every way the store
// can fail at once.
class LockedSettingsKey {
 public:
  LockedSettingsKey();
  LockedSettingsKey(const LockedSettingsKey&) = delete;
  LockedSettingsKey& operator=(const LockedSettingsKey&) = delete;
  ~LockedSettingsKey();

 private:
  HKEY key_ = nullptr;  // opened before the lock, so that it can lift it
};

// Writes to `copy` a copy of `source` (a saver) whose DATAPACK resource `packId` holds `bytes`, or none when `bytes`
// is null.
bool copySaverWithPack(const std::string& copy, int packId, const std::vector<uint8_t>* bytes,
                       const std::string& source = saverPath());

}  // namespace harness
