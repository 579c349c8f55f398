// Bad input against the real saver: damaged packs, registry garbage, random command lines and window
// messages. TAVRIN_RANDOM_RUNS, _MESSAGES and _SEED change the random runs (tools/soak.sh runs more).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "config/settings.h"
#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"
#include "tests/win/probe_log.h"

using namespace tavrin_test;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

namespace {

int environmentNumber(const char* name, int fallback) {
  char text[32] = {};
  return GetEnvironmentVariableA(name, text, sizeof text) ? std::atoi(text) : fallback;
}

void writeQuickSettings() {
  writeDefaultSettings();
  writeSetting("Texture Quality", 0);  // pack 107: the smallest, the quickest to start and to copy
}

struct DamagedRun {
  Texts messages, captions;  // of the message boxes, in order
  bool windowShown = false;
  int exitCode = 1000;
};

// Starts a copy of the saver with pack `id` replaced (or missing), answers its
// message boxes, and ends it with a key if it runs.
DamagedRun runWithPack(int id, const Bytes* pack) {
  DamagedRun run;
  const std::string copy = siblingPath("damaged.scr");
  ChildProcess saver;
  if (!copySaverWithPack(copy, id, pack) || !saver.start("/s", copy)) return run;
  for (HWND box = nullptr, window = nullptr;;) {
    // The window exists during the start already; it shows once the start is done.
    waitUntil(
        [&] {
          box = waitForWindow("#32770", nullptr, saver.id(), 0);
          window = waitForSaverWindow(saver.id(), 0);
          return box || !saver.running() || (window && IsWindowVisible(window));
        },
        10000);
    if (!box) {
      run.windowShown = window && IsWindowVisible(window);
      run.exitCode = run.windowShown ? saver.endWithKey(window) : saver.exitCode();
      return run;
    }
    std::string text;  // a box is found as soon as it exists; its text comes with its controls
    waitUntil([&] { return !(text = messageBoxText(box)).empty(); }, 3000);
    run.messages.push_back(text);
    run.captions.push_back(windowText(box));
    dismissMessageBox(box);
  }
}

TEST(DamagedResources, EachShowsExactlyItsMessagesDrawsNothingAndEndsCleanly) {
  writeQuickSettings();
  HMODULE saver = LoadLibraryExA(saverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC resource = FindResourceA(saver, MAKEINTRESOURCEA(IDR_PACK_LOW), "DATAPACK");
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(saver, resource)));
  const Bytes pack(bytes, bytes + SizeofResource(saver, resource));
  FreeLibrary(saver);
  // A pack is a count byte, then each picture as a 32-bit little-endian length and its bytes.
  const size_t firstLength = pack[1] | pack[2] << 8 | pack[3] << 16 | static_cast<size_t>(pack[4]) << 24;
  const Bytes picture(pack.begin() + 5, pack.begin() + 5 + firstLength);
  auto withFirst = [&](const Bytes& replacement, size_t length) {  // the first picture replaced, its length as given
    Bytes result = {pack[0], uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)};
    result.insert(result.end(), replacement.begin(), replacement.end());
    result.insert(result.end(), pack.begin() + 5 + firstLength, pack.end());
    return result;
  };
  Bytes progressive = picture;  // the baseline frame marker made a progressive one
  const uint8_t baseline[] = {0xFF, 0xC0};
  const auto frame = std::search(progressive.begin() + 2, progressive.end(), baseline, baseline + 2);
  ASSERT_NE(frame, progressive.end());
  frame[1] = 0xC2;
  const uint8_t startOfScan[] = {0xFF, 0xDA};
  const size_t scan = std::search(picture.begin(), picture.end(), startOfScan, startOfScan + 2) - picture.begin();
  ASSERT_LT(scan, picture.size());

  const Texts textures = {"Failed to load textures!"};
  const Texts header = {"Can not read the file header", "Failed to load textures!"};
  const Bytes cutInHeader(picture.begin(), picture.begin() + 300);
  const Bytes cutInScan(picture.begin(), picture.begin() + (scan + picture.size()) / 2);
  const Bytes empty,
      pastEnd = withFirst(picture, 0x7FFFFFF0u), progressivePack = withFirst(progressive, picture.size()),
      cutInHeaderPack = withFirst(cutInHeader, 300), cutInScanPack = withFirst(cutInScan, cutInScan.size());
  const struct {
    const char* what;
    int pack;
    const Bytes* bytes;
    Texts messages;
  } cases[] = {
      {"missing low pack", IDR_PACK_LOW, nullptr, textures},
      {"missing sun glow pack", IDR_PACK_SUN_GLOW, nullptr, textures},
      {"missing glyph pack", IDR_PACK_GLYPHS, nullptr, textures},
      {"progressive picture", IDR_PACK_LOW, &progressivePack, header},
      {"picture cut in its header", IDR_PACK_LOW, &cutInHeaderPack, header},
      {"length past the end", IDR_PACK_LOW, &pastEnd, textures},
      {"zero-length pack", IDR_PACK_LOW, &empty, textures},
      {"picture cut in its scan",
       IDR_PACK_LOW,
       &cutInScanPack,
       {}},  // zero bits past the end: wrong pixels, no message
  };
  for (const auto& c : cases) {
    const DamagedRun run = runWithPack(c.pack, c.bytes);
    EXPECT_EQ(run.messages, c.messages) << c.what;
    EXPECT_EQ(run.captions, Texts(c.messages.size(), "Error")) << c.what;
    EXPECT_EQ(run.windowShown, c.messages.empty()) << c.what;
    EXPECT_EQ(run.exitCode, c.messages.empty() ? 0 : -1) << c.what;
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
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    // The rules applied to what a four-byte read gives (data shorter than 4 bytes fills the low bytes, the rest
    // stays zero), the default where the read fails.
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
    std::string used;  // logged at the first frame
    waitUntil(
        [&] {
          for (const std::string& line : fileLines(log)) used = line.rfind("settings ", 0) == 0 ? line : used;
          return !used.empty() || !saver.running();
        },
        30000);
    EXPECT_EQ(used, settingsLine(expected)) << "run " << run;
    EXPECT_EQ(saver.endWithKey(waitForSaverWindow(saver.id(), 1000)), 0) << "run " << run;

    for (int v = 0; v < settingCount; ++v) {
      const auto& kind = kinds[(v + run) % settingCount];
      const uint32_t fallback = settingValues[v].defaultValue;
      Bytes stored(70000);
      DWORD type = 0, size = static_cast<DWORD>(stored.size());
      RegQueryValueExA(key, settingValues[v].name, nullptr, &type, stored.data(), &size);
      stored.resize(size);
      EXPECT_EQ(type, fits[v] ? kind.type : REG_DWORD) << settingValues[v].name << " run " << run;
      EXPECT_EQ(stored, fits[v] ? kind.bytes
                                : Bytes(reinterpret_cast<const uint8_t*>(&fallback),
                                        reinterpret_cast<const uint8_t*>(&fallback + 1)))
          << settingValues[v].name << " run " << run;
    }
    RegCloseKey(key);
  }
  deleteSettingsKey();
}

// Mostly switch-like bytes, with high bytes, quotes, tabs, long digit runs and very long texts mixed in.
std::string randomArguments(std::mt19937& random) {
  static const char pieces[] = " -/sSpPlLcCaAxX:\"\t0123456789";
  const int kind = static_cast<int>(random() % 10);
  if (kind == 1) return "/p " + std::string(12 + random() % 30, '9');
  if (kind == 2) return "/c:" + std::to_string(random());
  if (kind == 3) return "/p " + std::to_string(random() % 300);  // small handles can be real windows
  std::string text(kind == 0 ? 2000 + random() % 6000 : random() % 24, ' ');
  for (char& c : text) {
    const unsigned choice = random() % 100;
    c = static_cast<char>(choice < 70   ? pieces[random() % (sizeof pieces - 1)]
                          : choice < 85 ? 0x80 + random() % 0x80
                                        : 1 + random() % 0x7F);
  }
  return text;
}

TEST(RandomCommandLines, EveryRunEndsWithADefinedCodeAndLeavesNoWindow) {
  writeQuickSettings();
  const int runs = environmentNumber("TAVRIN_RANDOM_RUNS", 80);
  std::mt19937 random(static_cast<unsigned>(environmentNumber("TAVRIN_RANDOM_SEED", 20261206)));
  int seen[3] = {};
  for (int i = 0; i < runs; ++i) {
    const std::string arguments = randomArguments(random);
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
  writeQuickSettings();
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
    if (std::count(ending, ending + sizeof ending / sizeof *ending, m) || (m >= WM_KEYFIRST && m <= WM_KEYLAST) ||
        (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST)) {
      continue;
    }
    // Posted: the system refuses to post messages that carry pointers.
    PostMessageA(window, m, random() % 4 ? static_cast<WPARAM>(random()) << (random() % 32) : 0,
                 random() % 4 ? static_cast<LPARAM>(random()) << (random() % 32) : 0);
    DWORD_PTR answer = 0;
    if (i % 500 == 0) {
      ASSERT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer)) << "after " << i;
    }
  }
  EXPECT_EQ(saver.endWithKey(window), 0);
}

}  // namespace
