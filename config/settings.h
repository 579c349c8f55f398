// The saver's user settings: the record, the one table that describes
// every stored value (its name, default, accepted range and dialog control),
// and the rules that read them from a store of named numbers and write them
// back.
//
// Platform-free. The registry key is one such store (settings_store_win.cpp);
// the tests use one in memory. This file opens nothing and shows nothing
// itself: a failure the user must see goes to the store's report function.
// A stored number outside its range is corrected in memory only; the store
// keeps it.
//
// A new setting is one row of settingRows, its field here and its control in
// the dialog's resource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <variant>

struct Settings {
  bool showEarth;
  bool showStars;
  bool smoothStars;
  uint32_t starsAmount;
  bool randomCamera;
  bool showInfo;
  bool showTime;
  bool showFps;
  uint32_t animationSpeed;
  uint32_t cameraSpeed;
  int32_t textureFiltration;  // 0 linear, 1 bilinear, 2 trilinear
  int32_t textureQuality;     // 0 low, 1 medium, 2 high
  // Derived when the settings are read.
  float animationRate;  // animationSpeed x 0.01: scales the spheres' turn
  float cameraRate;     // cameraSpeed x 10: scales the camera's step
};

// How a stored number is accepted.
enum class SettingRule : uint8_t {
  Flag,      // exactly 1 is on, every other number off
  Unsigned,  // low..high compared unsigned (0xFFFFFFFF is out of range), else the default
  Signed,    // low..high compared signed (0xFFFFFFFF is -1), else the default
};

// The dialog control that shows a value, and what it needs.
enum class ControlKind : uint8_t { CheckBox, Trackbar, List };
struct SettingControl {
  int id;
  ControlKind kind;
  int enabledBy;             // the check box that enables it; 0: always enabled
  int label;                 // a text enabled and disabled with it; 0: none
  int pageSize;              // trackbars: the step of a page
  const char* const* items;  // lists: the names, in the order of the stored numbers
};

using SettingField = std::variant<bool Settings::*, uint32_t Settings::*, int32_t Settings::*>;

struct SettingRow {
  const char* name;  // the value's name, as users' registries already hold it
  SettingField field;
  SettingRule rule;
  uint32_t low;  // accepted numbers (a flag's are 0 and 1)
  uint32_t high;
  uint32_t defaultValue;   // written where the value is missing; used where it is out of range
  uint32_t initial;        // held before any read: what the dialog shows when nothing can be read
  uint32_t writePosition;  // its place among the writes of a save, 1 first (see settings.cpp)
  SettingControl control;
};

// Every row, in the order the values are read: `for (const SettingRow& row : settingRows)`.
struct SettingTable {
  const SettingRow* begin() const;
  const SettingRow* end() const;
  size_t size() const { return static_cast<size_t>(end() - begin()); }
};
inline constexpr SettingTable settingRows{};

// The number a row accepts for a stored number: the stored one or the default.
uint32_t acceptStoredNumber(const SettingRow& row, uint32_t stored);

// A row's field as a number, and set from an accepted number.
uint32_t settingNumber(const Settings& settings, const SettingRow& row);
void setSettingNumber(Settings& settings, const SettingRow& row, uint32_t number);

// animationRate and cameraRate from the two speeds, in single precision.
void computeDerivedRates(Settings& settings);

// The settings before any read: each row's initial value, and their rates.
Settings initialSettings();

// A store of named 32-bit numbers. `get` fails for a missing or unreadable
// value; `report` shows a failure to the user.
struct ValueStore {
  void* context;
  bool (*get)(void* context, const char* name, uint32_t* number);
  bool (*put)(void* context, const char* name, uint32_t number);
  void (*report)(void* context, const char* text);
};

// Reads one value; a value that cannot be read gets `defaultValue`, which is
// written back in its place ("Failed to query regestry value!" when that
// fails too). False only when the write-back failed.
bool QueryDword(const ValueStore& store, const char* name, uint32_t* value, uint32_t defaultValue);

// Writes one value; "Failed to write regestry value!" when it fails.
bool WriteDword(const ValueStore& store, const char* name, uint32_t number);

// Every value read in the table's order and range-checked into `settings`,
// with the rates.
void readSettings(const ValueStore& store, Settings& settings);

// Every value written in the order of the rows' write positions, each even
// when an earlier one failed; true when every write succeeded.
bool writeSettings(const ValueStore& store, const Settings& settings);
