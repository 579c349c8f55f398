#include "config/settings.h"

#include <iterator>

#include "res/resource_ids.h"

namespace {

// The lists' names; a name's index is the number stored.
const char* const filtrationNames[] = {"Linear", "Bilinear", "Trilinear", nullptr};
const char* const qualityNames[] = {"Low", "Medium", "High", nullptr};

constexpr SettingControl checkBox(int id, int enabledBy = 0) {
  return {id, ControlKind::CheckBox, enabledBy, 0, 0, nullptr};
}
constexpr SettingControl trackbar(int id, int pageSize, int enabledBy = 0, int label = 0) {
  return {id, ControlKind::Trackbar, enabledBy, label, pageSize, nullptr};
}
constexpr SettingControl list(int id, const char* const* items) { return {id, ControlKind::List, 0, 0, 0, items}; }

using Rule = SettingRule;

}  // namespace

// "Texture Filtartion" is misspelt, but it is the name every installed copy
// has written to users' registries: renaming it would lose their choice. The
// values before any read are not the defaults: they are what a dialog shows
// when the key cannot be read, and the saver does not start then.
//
// A save writes "Show FPS" before "Show Time", the other way round from the
// read. The order of the writes is the order of their failure messages and
// what a watcher of the key sees, so it stays the one users know; each row
// carries its place in it, and the table stays the only list to edit.
constexpr SettingRow rows[] = {
    // name, field, rule, low, high, default, before any read, place among the writes, control
    {"Show Earth", &Settings::showEarth, Rule::Flag, 0, 1, 1, 1, 1, checkBox(IDC_SHOW_EARTH)},
    {"Show Stars", &Settings::showStars, Rule::Flag, 0, 1, 1, 1, 2, checkBox(IDC_SHOW_STARS)},
    {"Smooth Stars", &Settings::smoothStars, Rule::Flag, 0, 1, 1, 1, 3, checkBox(IDC_SMOOTH_STARS, IDC_SHOW_STARS)},
    {"Stars Amount", &Settings::starsAmount, Rule::Unsigned, 3000, 30000, 10000, 20000, 4,
     trackbar(IDC_STARS_AMOUNT, 100, IDC_SHOW_STARS, IDC_AMOUNT_LABEL)},
    {"Random Camera", &Settings::randomCamera, Rule::Flag, 0, 1, 1, 0, 5, checkBox(IDC_RANDOM_CAMERA)},
    {"Show Info", &Settings::showInfo, Rule::Flag, 0, 1, 1, 1, 6, checkBox(IDC_SHOW_INFO)},
    {"Show Time", &Settings::showTime, Rule::Flag, 0, 1, 1, 1, 8, checkBox(IDC_SHOW_TIME, IDC_SHOW_INFO)},
    {"Show FPS", &Settings::showFps, Rule::Flag, 0, 1, 1, 1, 7, checkBox(IDC_SHOW_FPS, IDC_SHOW_INFO)},
    {"Animation Speed", &Settings::animationSpeed, Rule::Unsigned, 1, 100, 30, 0, 9, trackbar(IDC_ANIMATION_SPEED, 1)},
    {"Camera Speed", &Settings::cameraSpeed, Rule::Unsigned, 1, 100, 30, 0, 10, trackbar(IDC_CAMERA_SPEED, 1)},
    {"Texture Filtartion", &Settings::textureFiltration, Rule::Signed, 0, 2, 2, 0, 11,
     list(IDC_FILTRATION, filtrationNames)},
    {"Texture Quality", &Settings::textureQuality, Rule::Signed, 0, 2, 2, 0, 12, list(IDC_QUALITY, qualityNames)},
};

// Each place among the writes, 1 to the number of rows, belongs to exactly
// one row: then a save writes every value once.
constexpr bool writePositionsAreAnOrder() {
  for (size_t position = 1; position <= std::size(rows); ++position) {
    size_t holders = 0;
    for (const SettingRow& row : rows) holders += row.writePosition == position ? 1 : 0;
    if (holders != 1) return false;
  }
  return true;
}
static_assert(writePositionsAreAnOrder(), "each row needs its own place among the writes, from 1 up");

const SettingRow* SettingTable::begin() const { return rows; }
const SettingRow* SettingTable::end() const { return std::end(rows); }

uint32_t acceptStoredNumber(const SettingRow& row, uint32_t stored) {
  switch (row.rule) {
    case Rule::Flag: return stored == 1 ? 1u : 0u;
    case Rule::Unsigned: return stored >= row.low && stored <= row.high ? stored : row.defaultValue;
    case Rule::Signed: {
      const int32_t value = static_cast<int32_t>(stored);
      const bool inRange = value >= static_cast<int32_t>(row.low) && value <= static_cast<int32_t>(row.high);
      return inRange ? stored : row.defaultValue;
    }
  }
  return row.defaultValue;
}

uint32_t settingNumber(const Settings& settings, const SettingRow& row) {
  return std::visit([&](auto field) { return static_cast<uint32_t>(settings.*field); }, row.field);
}

void setSettingNumber(Settings& settings, const SettingRow& row, uint32_t number) {
  std::visit(
      [&](auto field) {
        using Field = std::remove_reference_t<decltype(settings.*field)>;
        settings.*field = static_cast<Field>(number);
      },
      row.field);
}

void computeDerivedRates(Settings& settings) {
  // Single precision on purpose: speed 30 gives 0.29999998, not the float
  // nearest 0.3, and the spheres' pace has always been that number.
  const float hundredth = 0.01f;
  settings.animationRate = static_cast<float>(settings.animationSpeed) * hundredth;
  settings.cameraRate = static_cast<float>(settings.cameraSpeed) * 10.0f;
}

Settings initialSettings() {
  Settings settings{};
  for (const SettingRow& row : settingRows) setSettingNumber(settings, row, row.initial);
  // Never used: nothing is drawn with settings that could not be read.
  settings.animationRate = 0.0004f;
  settings.cameraRate = 0.0004f;
  return settings;
}

bool QueryDword(const ValueStore& store, const char* name, uint32_t* value, uint32_t defaultValue) {
  if (store.get(store.context, name, value)) return true;
  *value = defaultValue;
  if (store.put(store.context, name, defaultValue)) return true;
  store.report(store.context, "Failed to query regestry value!");
  return false;
}

bool WriteDword(const ValueStore& store, const char* name, uint32_t number) {
  if (store.put(store.context, name, number)) return true;
  store.report(store.context, "Failed to write regestry value!");
  return false;
}

void readSettings(const ValueStore& store, Settings& settings) {
  for (const SettingRow& row : settingRows) {
    uint32_t stored = 0;
    QueryDword(store, row.name, &stored, row.defaultValue);  // the default is used either way
    setSettingNumber(settings, row, acceptStoredNumber(row, stored));
  }
  computeDerivedRates(settings);
}

bool writeSettings(const ValueStore& store, const Settings& settings) {
  bool written = true;
  for (uint32_t position = 1; position <= settingRows.size(); ++position) {
    for (const SettingRow& row : settingRows) {
      if (row.writePosition == position) written = WriteDword(store, row.name, settingNumber(settings, row)) && written;
    }
  }
  return written;
}
