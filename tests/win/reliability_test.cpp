// Bad input against the real saver: damaged packs, registry garbage, random command lines and window
// messages. TAVRIN_RANDOM_RUNS, _MESSAGES and _SEED change the random runs (tools/soak.sh runs more).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <tuple>

#include "assets/data_pack.h"
#include "assets/texture_loader.h"
#include "config/settings.h"
#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"
#include "tests/win/probe_log.h"

using namespace tavrin_test;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

namespace {

// The settings line the probe logs at its first frame tick, empty before it.
std::string firstFrameSettings(const std::string& log) {
  for (const std::string& line : fileLines(log))
    if (line.rfind("settings ", 0) == 0) return line;
  return {};
}

int environmentNumber(const char* name, int fallback) {
  char text[32] = {};
  return GetEnvironmentVariableA(name, text, sizeof text) ? std::atoi(text) : fallback;
}

TEST(DamagedResources, EachShowsExactlyItsMessagesDrawsNothingAndEndsCleanly) {
  writeDefaultSettings({{"Texture Quality", 0}});  // the smallest pack: quick to start and copy
  uint32_t size = 0;
  const uint8_t* bytes = lockDataPack(IDR_PACK_LOW, &size);  // this program's copy of the saver's resources
  const Bytes pack(bytes, bytes + size);
  PackImage images[2];
  ASSERT_TRUE(readDataPack(pack.data(), pack.size(), 2, images));
  const Bytes picture(images[0].data, images[0].data + images[0].length);
  const auto withFirst = [&](Bytes first) {  // the first picture replaced
    const PackImage parts[] = {{first.data(), int32_t(first.size())}, images[1]};
    return makeDataPack(parts, 2);
  };
  Bytes progressive = picture, pastEnd = pack, longer = pack;
  longer.push_back(0);
  const uint8_t baseline[] = {0xFF, 0xC0}, startOfScan[] = {0xFF, 0xDA};
  const auto frame = std::search(progressive.begin() + 2, progressive.end(), baseline, baseline + 2);
  const size_t scan = std::search(picture.begin(), picture.end(), startOfScan, startOfScan + 2) - picture.begin();
  ASSERT_TRUE(frame != progressive.end() && scan < picture.size());
  frame[1] = 0xC2;    // the frame made a progressive one
  pastEnd[4] = 0x7F;  // the first length runs far past the resource
  const Bytes empty, shortAtlas(100), progressivePack = withFirst(progressive),
                                      cutInHeader = withFirst(Bytes(&picture[0], &picture[300])),
                                      cutInScan = withFirst(Bytes(&picture[0], &picture[(scan + picture.size()) / 2]));
  const Texts textures = {"Failed to load textures!"}, header = {"Can not read the file header", textures[0]};
  const std::tuple<const char*, int, const Bytes*, Texts> cases[] = {
      {"no low pack", IDR_PACK_LOW, nullptr, textures},
      {"no sun glow pack", IDR_PACK_SUN_GLOW, nullptr, textures},
      {"no glyph pack", IDR_PACK_GLYPHS, nullptr, textures},
      {"short glyph pack", IDR_PACK_GLYPHS, &shortAtlas, textures},
      {"progressive", IDR_PACK_LOW, &progressivePack, header},
      {"cut in its header", IDR_PACK_LOW, &cutInHeader, header},
      {"length past the end", IDR_PACK_LOW, &pastEnd, textures},
      {"zero-length pack", IDR_PACK_LOW, &empty, textures},
      {"a byte after the pictures", IDR_PACK_LOW, &longer, textures},
      {"cut in its scan", IDR_PACK_LOW, &cutInScan, {}},  // zero bits past the end: wrong pixels, no message
      {"settings key locked", 0, nullptr, {"Failed to open regestry key!"}}};  // and no pack is read
  // Copies of the probe saver, which logs its first frame tick: the window itself is visible from its creation, so
  // a start that fails shows it for a moment before the quit message ends the loop.
  const std::string copy = siblingPath("damaged.scr"), log = siblingPath("damaged-probe.log");
  const auto framed = [&] { return !firstFrameSettings(log).empty(); };
  for (const auto& [what, id, replacement, messages] : cases) {
    DeleteFileA(log.c_str());
    ChildProcess saver;
    std::unique_ptr<LockedSettingsKey> locked(id ? nullptr : new LockedSettingsKey);
    ASSERT_TRUE(copySaverWithPack(copy, id, replacement, siblingPath("tavrin_probe.scr")) &&
                saver.start("/s", copy, {{"TAVRIN_PROBE_LOG", log}}))
        << what;
    Texts shown, captions;  // of the message boxes, in order
    HWND box = nullptr;
    const auto settled = [&] {  // a message box, the end, or a frame
      box = waitForWindow("#32770", nullptr, saver.id(), 0);
      return box || !saver.running() || framed();
    };
    for (waitUntil(settled, 10000); box; waitUntil(settled, 10000)) {
      std::string text;  // a box is found as soon as it exists; its text (control 0xFFFF) comes with its controls
      waitUntil([&] { return !(text = windowText(GetDlgItem(box, 0xFFFF))).empty(); }, 3000);
      shown.push_back(text);
      captions.push_back(windowText(box) + " over " + windowText(GetWindow(box, GW_OWNER)));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      waitUntil([&] { return !IsWindow(box); }, 5000);
    }
    const bool drawn = framed();
    EXPECT_EQ(drawn, messages.empty()) << what;
    EXPECT_EQ(drawn ? saver.endWithKey(waitForSaverWindow(saver.id(), 1000)) : saver.exitCode(),
              messages.empty() ? 0 : -1)
        << what;
    EXPECT_TRUE(drawn || !framed()) << what << ": a frame before the end";
    EXPECT_EQ(shown, messages) << what;
    EXPECT_EQ(captions, Texts(messages.size(), "Error over Screen Saver")) << what << ": beneath the topmost window";
    const Texts lines = fileLines(log);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return !l.rfind("resource ", 0); }) > 0, id != 0)
        << what << ": a pack read";
  }
}

// Every shape of registry data under the twelve values: in run r value v holds kind (v + r) % 12.
TEST(RegistryGarbage, TheSaverUsesWhatTheRulesGiveAndRewritesOnlyWhatTheyRewrite) {
  const struct {
    DWORD type;
    Bytes bytes;
  } kinds[settingCount] = {
      // clang-format off
      {REG_SZ, {'7', 0}}, {REG_SZ, {'3', '0', '0', '0', '0', ' ', 's', 't', 'a', 'r', 's', 0}},
      {REG_MULTI_SZ, {'1', 0, 0}}, {REG_MULTI_SZ, {'a', 'b', 0, 'c', 'd', 0, 0}},
      {REG_BINARY, {}}, {REG_BINARY, {1}}, {REG_BINARY, {0x10, 0x27}}, {REG_BINARY, {0xB8, 0x0B, 0x00}},
      {REG_BINARY, {0xFF, 0xFF, 0xFF, 0xFF}}, {REG_BINARY, {2, 0, 0, 0, 0, 0, 0, 0}},
      {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}, {REG_BINARY, Bytes(65536, 0x5A)},
      // clang-format on
  };
  const std::string log = siblingPath("garbage-probe.log");
  for (int run = 0; run < settingCount; ++run) {
    deleteSettingsKey();
    HKEY key = nullptr;
    ASSERT_FALSE(
        RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    // The rules on what a four-byte read gives (shorter data fills the low bytes), the default where it fails.
    Settings expected;
    bool fits[settingCount];
    for (int v = 0; v < settingCount; ++v) {
      const auto& kind = kinds[(v + run) % settingCount];
      RegSetValueExA(key, settingValues[v].name, 0, kind.type, kind.bytes.data(),
                     static_cast<DWORD>(kind.bytes.size()));
      DWORD number = 0, size = 4;
      fits[v] = RegQueryValueExA(key, settingValues[v].name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                                 &size) == ERROR_SUCCESS;
      storeSetting(expected, settingValues[v].id, fits[v] ? number : settingValues[v].defaultValue);
    }
    computeDerivedRates(expected);

    DeleteFileA(log.c_str());
    ChildProcess saver;
    ASSERT_TRUE(saver.start("/s", siblingPath("tavrin_probe.scr"), {{"TAVRIN_PROBE_LOG", log}}));
    std::string used;
    waitUntil([&] { return !(used = firstFrameSettings(log)).empty() || !saver.running(); }, 30000);
    EXPECT_EQ(used, settingsLine(expected)) << "run " << run;
    EXPECT_EQ(saver.endWithKey(waitForSaverWindow(saver.id(), 1000)), 0) << "run " << run;

    for (int v = 0; v < settingCount; ++v) {
      const auto& kind = kinds[(v + run) % settingCount];
      const uint32_t fallback = settingValues[v].defaultValue;
      Bytes stored(70000);
      DWORD type = 0, size = static_cast<DWORD>(stored.size());
      RegQueryValueExA(key, settingValues[v].name, nullptr, &type, stored.data(), &size);
      stored.resize(size);
      const auto* fallbackBytes = reinterpret_cast<const uint8_t*>(&fallback);
      EXPECT_TRUE(fits[v] ? type == kind.type && stored == kind.bytes
                          : type == REG_DWORD && stored == Bytes(fallbackBytes, fallbackBytes + 4))
          << settingValues[v].name << " run " << run;
    }
    RegCloseKey(key);
  }
  deleteSettingsKey();
}

TEST(RandomCommandLines, EveryRunEndsWithADefinedCodeAndLeavesNoWindow) {
  writeDefaultSettings({{"Texture Quality", 0}});
  const int runs = environmentNumber("TAVRIN_RANDOM_RUNS", 80);
  std::mt19937 random(static_cast<unsigned>(environmentNumber("TAVRIN_RANDOM_SEED", 20261206)));
  int seen[3] = {};
  static const char pieces[] = " -/sSpPlLcCaAxX:\"\t0123456789";
  for (int i = 0; i < runs; ++i) {
    // Mostly switch-like bytes, with high bytes, quotes, tabs, long digit runs and very long texts mixed in.
    const unsigned kind = random() % 10;
    std::string arguments(kind == 0 ? 2000 + random() % 6000 : random() % 24, ' ');
    for (char& c : arguments) {
      const unsigned choice = random() % 100;
      c = char(choice < 70   ? pieces[random() % (sizeof pieces - 1)]
               : choice < 85 ? 0x80 + random() % 0x80
                             : 1 + random() % 0x7F);
    }
    if (kind == 1) arguments = "/p " + std::string(12 + random() % 30, '9');
    if (kind == 2) arguments = "/c:" + std::to_string(random());
    if (kind == 3) arguments = "/p " + std::to_string(random() % 300);  // small handles can be real windows
    ChildProcess saver;
    // The text follows the quoted program name directly, blank or not.
    ASSERT_TRUE(saver.startRaw(saverPath(), "\"" + saverPath() + "\"" + (i % 2 ? " " : "") + arguments));
    waitUntil([&] { return !saver.running() || visibleWindowOf(saver.id()); }, 20000);
    // Close what showed: a key for the saver, Cancel for the dialog or a message box. A preview inside another
    // program's window (a small handle can be one) is not ours to close: its loop is ended instead.
    for (int attempt = 0; saver.running() && attempt < 40; ++attempt) {
      if (HWND shown = visibleWindowOf(saver.id())) {
        PostMessageA(shown, WM_KEYDOWN, 'A', 0);
        PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
      }
      if (attempt >= 4) PostThreadMessageA(saver.threadId(), WM_QUIT, 0, 0);
      waitUntil([&] { return !saver.running(); }, 250);
    }
    const int code = saver.exitCode(0);
    ASSERT_TRUE(code == 0 || code == 1 || code == -1) << "run " << i << " ended " << code << ": [" << arguments << "]";
    seen[code + 1]++;
    EXPECT_EQ(waitForWindow(nullptr, nullptr, saver.id(), 0), nullptr) << "[" << arguments << "]";
  }
  std::printf("%d runs: %d ended -1, %d ended 0, %d ended 1\n", runs, seen[0], seen[1], seen[2]);
}

TEST(RandomMessages, ARunningSaverSurvivesAnyMessageThatDoesNotEndIt) {
  writeDefaultSettings({{"Texture Quality", 0}});
  ChildProcess saver;
  ASSERT_TRUE(saver.start("/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  // Left out: what ends the saver by design, and input (the input method's keys too, turned into WM_KEYDOWN).
  const UINT ending[] = {WM_CLOSE,         WM_DESTROY,       WM_QUIT,        WM_ACTIVATEAPP, WM_POWERBROADCAST,
                         WM_POWER,         WM_SYSCOMMAND,    WM_NCDESTROY,   WM_ENDSESSION,  WM_NCLBUTTONDOWN,
                         WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN, WM_IME_KEYDOWN, WM_IME_KEYUP};
  std::mt19937 random(static_cast<unsigned>(environmentNumber("TAVRIN_RANDOM_SEED", 20261206)));
  const int messages = environmentNumber("TAVRIN_RANDOM_MESSAGES", 20000);
  for (int i = 0; i < messages; ++i) {
    const UINT m = random() % 3 == 0 ? random() % 0x400 : random() % 0x10000;
    if (std::count(std::begin(ending), std::end(ending), m) || (m >= WM_KEYFIRST && m <= WM_KEYLAST)) continue;
    if (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) continue;
    // Posted: the system refuses to post messages that carry pointers.
    PostMessageA(window, m, random() % 4 ? static_cast<WPARAM>(random()) << (random() % 32) : 0,
                 random() % 4 ? static_cast<LPARAM>(random()) << (random() % 32) : 0);
    DWORD_PTR answer = 0;  // now and then the saver must still answer
    ASSERT_TRUE(i % 500 || SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer)) << i;
  }
  EXPECT_EQ(saver.endWithKey(window), 0);
}

}  // namespace
