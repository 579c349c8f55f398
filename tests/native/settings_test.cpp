// The settings rules on a store in memory: what an empty store gets, each range at its edges, the rates, what is
// written back or reported when the store refuses a write. Expectations are the stored values' own table, typed out.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "config/settings.h"

namespace {

struct MemoryStore {
  std::map<std::string, uint32_t> values;
  std::set<std::string> refused;                         // names whose writes fail
  std::vector<std::pair<std::string, uint32_t>> writes;  // every write asked for, in order
  std::vector<std::string> reports;

  ValueStore store() {
    return {this,
            [](void* self, const char* name, uint32_t* number) {
              const auto& stored = static_cast<MemoryStore*>(self)->values;
              const auto found = stored.find(name);
              if (found != stored.end()) *number = found->second;
              return found != stored.end();
            },
            [](void* self, const char* name, uint32_t number) {
              auto* memory = static_cast<MemoryStore*>(self);
              memory->writes.emplace_back(name, number);
              if (memory->refused.count(name)) return false;
              memory->values[name] = number;
              return true;
            },
            [](void* self, const char* text) { static_cast<MemoryStore*>(self)->reports.push_back(text); }};
  }
};

// The fields in the order the values are read.
std::vector<int64_t> fields(const Settings& s) {
  return {s.showEarth, s.showStars, s.smoothStars,    s.starsAmount, s.randomCamera,      s.showInfo,
          s.showTime,  s.showFps,   s.animationSpeed, s.cameraSpeed, s.textureFiltration, s.textureQuality};
}

using Writes = std::vector<std::pair<std::string, uint32_t>>;

TEST(SettingsRead, AnEmptyStoreGetsTheTwelveDefaultsWrittenBackAndTheRates) {
  MemoryStore memory;
  Settings settings = initialSettings();
  readSettings(memory.store(), settings);
  const Writes defaults = {{"Show Earth", 1},       {"Show Stars", 1},         {"Smooth Stars", 1},
                           {"Stars Amount", 10000}, {"Random Camera", 1},      {"Show Info", 1},
                           {"Show Time", 1},        {"Show FPS", 1},           {"Animation Speed", 30},
                           {"Camera Speed", 30},    {"Texture Filtartion", 2}, {"Texture Quality", 2}};
  EXPECT_EQ(memory.writes, defaults) << "in the order of the reads";
  EXPECT_EQ(fields(settings), (std::vector<int64_t>{1, 1, 1, 10000, 1, 1, 1, 1, 30, 30, 2, 2}));
  EXPECT_EQ(settings.animationRate, 0.29999998f) << "30 x the float 0.01, not the float nearest 0.3";
  EXPECT_EQ(settings.cameraRate, 300.0f);
  EXPECT_TRUE(memory.reports.empty());
}

// Flags: exactly 1 is on. Amounts and speeds compare unsigned, the two choices signed (0xFFFFFFFF is -1); out of
// range reads as the default, and the store keeps what it holds.
TEST(SettingsRead, EachRangeAtItsEdges) {
  const std::tuple<const char*, uint32_t, int, int64_t> cases[] = {
      {"Stars Amount", 2999, 3, 10000},  {"Stars Amount", 3000, 3, 3000},
      {"Stars Amount", 30000, 3, 30000}, {"Stars Amount", 30001, 3, 10000},
      {"Stars Amount", ~0u, 3, 10000},   {"Animation Speed", 0, 8, 30},
      {"Animation Speed", 1, 8, 1},      {"Animation Speed", 100, 8, 100},
      {"Animation Speed", 101, 8, 30},   {"Camera Speed", 0, 9, 30},
      {"Camera Speed", 1, 9, 1},         {"Camera Speed", 100, 9, 100},
      {"Camera Speed", ~0u, 9, 30},      {"Texture Filtartion", 0, 10, 0},
      {"Texture Filtartion", 3, 10, 2},  {"Texture Filtartion", ~0u, 10, 2},
      {"Texture Quality", 0, 11, 0},     {"Texture Quality", 1u << 31, 11, 2},
      {"Show Stars", 2, 1, 0},           {"Show Earth", 0x101, 0, 0},
      {"Random Camera", 0, 4, 0},        {"Show Time", 0, 6, 0}};
  for (const auto& [name, stored, field, expected] : cases) {
    MemoryStore memory;
    memory.values[name] = stored;
    Settings settings = initialSettings();
    readSettings(memory.store(), settings);
    EXPECT_EQ(fields(settings)[size_t(field)], expected) << name << " " << stored;
    EXPECT_EQ(memory.values[name], stored) << name << " is kept as stored";
  }
  MemoryStore fastest;
  fastest.values = {{"Animation Speed", 100}, {"Camera Speed", 1}};
  Settings settings = initialSettings();
  readSettings(fastest.store(), settings);
  EXPECT_EQ(settings.animationRate, 1.0f);
  EXPECT_EQ(settings.cameraRate, 10.0f);
}

// A missing value whose default cannot be written back is reported once and read as its default; a write that fails
// is reported and the others are still written, in the order of a save.
TEST(SettingsStoreFailures, AFailedWriteBackOrWriteIsReportedAndTheRestGoesOn) {
  MemoryStore memory;
  memory.refused = {"Stars Amount"};
  Settings settings = initialSettings();
  readSettings(memory.store(), settings);
  EXPECT_EQ(settings.starsAmount, 10000u);
  EXPECT_EQ(memory.reports, std::vector<std::string>{"Failed to query regestry value!"});

  MemoryStore target;
  target.refused = {"Show Earth", "Camera Speed"};
  settings.cameraSpeed = 77;
  settings.showTime = false;
  EXPECT_FALSE(writeSettings(target.store(), settings));
  EXPECT_EQ(target.reports, std::vector<std::string>(2, "Failed to write regestry value!"));
  const Writes saved = {{"Show Earth", 1},       {"Show Stars", 1},         {"Smooth Stars", 1},
                        {"Stars Amount", 10000}, {"Random Camera", 1},      {"Show Info", 1},
                        {"Show FPS", 1},         {"Show Time", 0},          {"Animation Speed", 30},
                        {"Camera Speed", 77},    {"Texture Filtartion", 2}, {"Texture Quality", 2}};
  EXPECT_EQ(target.writes, saved) << "each once, Show FPS before Show Time";
  MemoryStore whole;
  EXPECT_TRUE(writeSettings(whole.store(), settings));
}

}  // namespace
