// Bad input against the real saver: damaged resources, random command lines
// and random window messages. Every run must end with one of the saver's
// own exit codes, show only the saver's own messages, and leave no window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "config/settings.h"
#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

constexpr DWORD exitWait = 15000;

int environmentNumber(const char* name, int fallback) {
  char text[32] = {};
  if (!GetEnvironmentVariableA(name, text, sizeof text)) return fallback;
  return std::atoi(text);
}

// The pack bytes as the saver carries them.
std::vector<uint8_t> packOf(int id) {
  HMODULE saver = LoadLibraryExA(saverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC resource = FindResourceA(saver, MAKEINTRESOURCEA(id), "DATAPACK");
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(saver, resource)));
  std::vector<uint8_t> pack(bytes, bytes + SizeofResource(saver, resource));
  FreeLibrary(saver);
  return pack;
}

uint32_t readLength(const std::vector<uint8_t>& pack, size_t at) {
  return pack[at] | pack[at + 1] << 8 | pack[at + 2] << 16 | static_cast<uint32_t>(pack[at + 3]) << 24;
}

void writeLength(std::vector<uint8_t>& pack, size_t at, uint32_t length) {
  for (int i = 0; i < 4; ++i) pack[at + i] = static_cast<uint8_t>(length >> (8 * i));
}

// A two-image pack whose first picture is replaced by `picture`, lengths kept consistent.
std::vector<uint8_t> withFirstPicture(const std::vector<uint8_t>& pack, const std::vector<uint8_t>& picture) {
  const uint32_t first = readLength(pack, 1);
  std::vector<uint8_t> result(1 + 4);
  result[0] = pack[0];
  writeLength(result, 1, static_cast<uint32_t>(picture.size()));
  result.insert(result.end(), picture.begin(), picture.end());
  result.insert(result.end(), pack.begin() + 5 + first, pack.end());
  return result;
}

std::vector<uint8_t> firstPicture(const std::vector<uint8_t>& pack) {
  const uint32_t first = readLength(pack, 1);
  return std::vector<uint8_t>(pack.begin() + 5, pack.begin() + 5 + first);
}

// Offset of the first byte after the scan header (SOS segment) of a JPEG.
size_t scanStart(const std::vector<uint8_t>& jpeg) {
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const size_t length = static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3];
    if (jpeg[at + 1] == 0xDA) return at + 2 + length;
    at += 2 + length;
  }
  return 0;
}

struct DamagedRun {
  std::vector<std::string> messages;  // texts of the message boxes, in order
  std::vector<std::string> captions;
  DWORD exitCode = 1234;
  bool ended = false;
  bool windowShown = false;
};

// Starts a copy of the saver with pack `id` replaced (or removed), answers its
// message boxes and ends it with a key when it runs.
DamagedRun runWithPack(int id, const std::vector<uint8_t>* pack) {
  DamagedRun run;
  const std::string copy = siblingPath("damaged.scr");
  if (!copySaverWithPack(copy, id, pack)) return run;
  ChildProcess saver;
  if (!saver.start("/s", copy)) return run;
  for (;;) {
    HWND box = nullptr;
    waitUntil(
        [&] {
          box = waitForWindow("#32770", nullptr, saver.id(), 0);
          // The window exists during the start already; it shows once the start is done.
          HWND window = FindWindowA("WindowsScreenSaverClass", "Screen Saver");
          return box || !saver.running() || (window && IsWindowVisible(window));
        },
        10000);
    if (!box) break;
    // A box is found as soon as it exists; its text arrives with its controls.
    std::string text;
    waitUntil([&] { return !(text = messageBoxText(box)).empty(); }, 3000);
    run.messages.push_back(text);
    run.captions.push_back(windowText(box));
    dismissMessageBox(box);
  }
  if (HWND window = FindWindowA("WindowsScreenSaverClass", "Screen Saver")) {
    if (windowProcess(window) == saver.id()) {
      run.windowShown = true;
      PostMessageA(window, WM_KEYDOWN, 'A', 0);
    }
  }
  run.ended = saver.waitForExit(exitWait, &run.exitCode);
  return run;
}

class DamagedResources : public ::testing::Test {
 protected:
  void SetUp() override {
    writeDefaultSettings();
    writeSetting("Texture Quality", 0);  // pack 107: the smallest, quickest to copy around
  }
  static void expectFailedStart(const DamagedRun& run, const std::vector<std::string>& messages) {
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(static_cast<int>(run.exitCode), -1);
    EXPECT_EQ(run.messages, messages);
  }
};

TEST_F(DamagedResources, AMissingPackShowsOnlyTheTexturesMessage) {
  DamagedRun run = runWithPack(IDR_PACK_LOW, nullptr);
  expectFailedStart(run, {"Failed to load textures!"});
  ASSERT_EQ(run.captions.size(), 1u);
  EXPECT_EQ(run.captions[0], "Error");
  expectFailedStart(runWithPack(IDR_PACK_SUN_GLOW, nullptr), {"Failed to load textures!"});
  expectFailedStart(runWithPack(IDR_PACK_GLYPHS, nullptr), {"Failed to load textures!"});
}

TEST_F(DamagedResources, ABadJpegHeaderShowsTheDecodersMessageFirst) {
  const std::vector<uint8_t> pack = packOf(IDR_PACK_LOW);
  std::vector<uint8_t> picture = firstPicture(pack);
  // Turn the baseline frame into a progressive one.
  for (size_t i = 2; i + 1 < picture.size(); ++i) {
    if (picture[i] == 0xFF && picture[i + 1] == 0xC0) {
      picture[i + 1] = 0xC2;
      break;
    }
  }
  const std::vector<uint8_t> progressive = withFirstPicture(pack, picture);
  DamagedRun run = runWithPack(IDR_PACK_LOW, &progressive);
  expectFailedStart(run, {"Can not read the file header", "Failed to load textures!"});
  ASSERT_EQ(run.captions.size(), 2u);
  EXPECT_EQ(run.captions[1], "Error");

  // A picture cut off inside its header is a header failure too.
  const std::vector<uint8_t> cut(picture.begin(), picture.begin() + 300);
  const std::vector<uint8_t> shortHeader = withFirstPicture(pack, cut);
  expectFailedStart(runWithPack(IDR_PACK_LOW, &shortHeader),
                    {"Can not read the file header", "Failed to load textures!"});
}

TEST_F(DamagedResources, PackLengthsThatDoNotAddUpAreRefusedLikeAMissingPack) {
  std::vector<uint8_t> pastEnd = packOf(IDR_PACK_LOW);
  writeLength(pastEnd, 1, 0x7FFFFFF0u);
  expectFailedStart(runWithPack(IDR_PACK_LOW, &pastEnd), {"Failed to load textures!"});
  const std::vector<uint8_t> empty;
  expectFailedStart(runWithPack(IDR_PACK_LOW, &empty), {"Failed to load textures!"});
  std::vector<uint8_t> trailing = packOf(IDR_PACK_LOW);
  trailing.push_back(0);
  expectFailedStart(runWithPack(IDR_PACK_LOW, &trailing), {"Failed to load textures!"});
}

TEST_F(DamagedResources, APictureCutOffInsideItsScanStillRuns) {
  // The decoder feeds zero bits past the end: wrong pixels, no message.
  const std::vector<uint8_t> pack = packOf(IDR_PACK_LOW);
  std::vector<uint8_t> picture = firstPicture(pack);
  const size_t scan = scanStart(picture);
  ASSERT_GT(scan, 0u);
  picture.resize(scan + (picture.size() - scan) / 3);
  const std::vector<uint8_t> truncated = withFirstPicture(pack, picture);
  DamagedRun run = runWithPack(IDR_PACK_LOW, &truncated);
  EXPECT_TRUE(run.messages.empty());
  EXPECT_TRUE(run.windowShown);
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
}

// A random argument text: mostly switch-like bytes, with high bytes, quotes,
// tabs, long digit runs and very long texts mixed in.
std::string randomArguments(std::mt19937& random) {
  static const char pieces[] = " -/sSpPlLcCaAxX:\"\t0123456789";
  std::string text;
  const int kind = static_cast<int>(random() % 10);
  const size_t length = kind == 0 ? 2000 + random() % 6000 : random() % 24;
  for (size_t i = 0; i < length; ++i) {
    const unsigned choice = random() % 100;
    if (choice < 70) {
      text += pieces[random() % (sizeof pieces - 1)];
    } else if (choice < 85) {
      text += static_cast<char>(0x80 + random() % 0x80);
    } else {
      text += static_cast<char>(1 + random() % 0x7F);
    }
  }
  if (kind == 1) text = "/p " + std::string(12 + random() % 30, '9');
  if (kind == 2) text = "/c:" + std::to_string(random());
  if (kind == 3) text = "/p " + std::to_string(random() % 300);  // small handles can be real windows
  return text;
}

bool visibleWindowOf(DWORD process) {
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
    if (windowProcess(window) == process && IsWindowVisible(window)) return true;
  }
  return false;
}

// Ends whatever a run has opened: the saver window, the dialog, a message box.
void closeWindowsOf(DWORD process) {
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
    if (windowProcess(window) != process) continue;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "WindowsScreenSaverClass") {
      PostMessageA(window, WM_KEYDOWN, 'A', 0);
    } else if (std::string(className) == "#32770") {
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  }
}

TEST(RandomCommandLines, EveryRunEndsWithADefinedCodeAndLeavesNoWindow) {
  writeDefaultSettings();
  writeSetting("Texture Quality", 0);
  const int runs = environmentNumber("TAVRIN_RANDOM_RUNS", 80);
  std::mt19937 random(static_cast<unsigned>(environmentNumber("TAVRIN_RANDOM_SEED", 20261206)));
  int seen[4] = {};
  for (int i = 0; i < runs; ++i) {
    const std::string arguments = randomArguments(random);
    ChildProcess saver;
    // The text follows the quoted program name directly, blank or not.
    ASSERT_TRUE(saver.startRaw(saverPath(), "\"" + saverPath() + "\"" + (i % 2 ? " " : "") + arguments));
    // Wait for the end or for a window to show, then close what showed.
    waitUntil([&] { return !saver.running() || visibleWindowOf(saver.id()); }, 20000);
    DWORD code = 1234;
    bool ended = false;
    for (int attempt = 0; !(ended = saver.waitForExit(0, &code)) && attempt < 40; ++attempt) {
      closeWindowsOf(saver.id());
      // A preview inside some other program's window (a small handle can be
      // a real window) is not ours to close: end its loop instead.
      if (attempt >= 4) PostThreadMessageA(saver.threadId(), WM_QUIT, 0, 0);
      waitUntil([&] { return !saver.running(); }, 250);
    }
    ASSERT_TRUE(ended) << "run " << i << " did not end: [" << arguments << "]";
    const int result = static_cast<int>(code);
    EXPECT_TRUE(result == 0 || result == 1 || result == -1)
        << "run " << i << " ended with " << std::hex << code << ": [" << arguments << "]";
    seen[result + 1 < 3 ? result + 1 : 3]++;
    EXPECT_EQ(waitForWindow(nullptr, nullptr, saver.id(), 0), nullptr) << "[" << arguments << "]";
  }
  std::printf("%d runs: %d ended -1, %d ended 0, %d ended 1\n", runs, seen[0], seen[1], seen[2]);
}

TEST(RandomMessages, ARunningSaverSurvivesAnyMessageThatDoesNotEndIt) {
  writeDefaultSettings();
  writeSetting("Texture Quality", 0);
  ChildProcess saver;
  ASSERT_TRUE(saver.start("/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  // Messages that end the saver by design, and the range of keyboard and
  // mouse messages (posting them is input; so are the input method's key
  // messages, which the default handling turns into WM_KEYDOWN).
  auto endsTheSaver = [](UINT message) {
    return message == WM_CLOSE || message == WM_DESTROY || message == WM_QUIT || message == WM_ACTIVATEAPP ||
           message == WM_POWERBROADCAST || message == WM_POWER || message == WM_SYSCOMMAND || message == WM_NCDESTROY ||
           message == WM_ENDSESSION || (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_NCLBUTTONDOWN ||
           message == WM_NCRBUTTONDOWN || message == WM_NCMBUTTONDOWN || message == WM_IME_KEYDOWN ||
           message == WM_IME_KEYUP;
  };
  std::mt19937 random(static_cast<unsigned>(environmentNumber("TAVRIN_RANDOM_SEED", 20261206)));
  const int messages = environmentNumber("TAVRIN_RANDOM_MESSAGES", 20000);
  int posted = 0;
  std::string batch;
  for (int i = 0; i < messages; ++i) {
    UINT message = random() % 3 == 0 ? random() % 0x400 : random() % 0x10000;
    if (endsTheSaver(message)) continue;
    const WPARAM wParam = random() % 4 == 0 ? 0 : static_cast<WPARAM>(random()) << (random() % 32);
    const LPARAM lParam = random() % 4 == 0 ? 0 : static_cast<LPARAM>(random()) << (random() % 32);
    // Posted: the system refuses to post messages that carry pointers.
    if (PostMessageA(window, message, wParam, lParam)) {
      ++posted;
      char entry[64];
      std::snprintf(entry, sizeof entry, " %x(%llx,%llx)", message, static_cast<unsigned long long>(wParam),
                    static_cast<unsigned long long>(lParam));
      batch += entry;
    }
    if (i % 500 == 0) {
      // Let the queue drain and see that the saver still answers.
      DWORD_PTR answer = 0;
      ASSERT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer))
          << "after " << i << (saver.running() ? " (running, not answering)" : " (ended)") << " code " <<
          [&] {
            DWORD c = 0;
            GetExitCodeProcess(saver.handle(), &c);
            return c;
          }()
          << ", the last batch:" << batch;
      batch.clear();
    }
  }
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer));
  EXPECT_TRUE(saver.running());
  std::printf("%d messages posted\n", posted);
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  DWORD code = 1234;
  EXPECT_TRUE(saver.waitForExit(exitWait, &code));
  EXPECT_EQ(code, 0u);
}

// Registry data of every shape under the twelve values. Twelve runs: in run
// r, value v holds garbage kind (v + r) % 12, so every value meets every kind
// and each run checks twelve cases at once.
struct Garbage {
  const char* what;
  DWORD type;
  std::vector<uint8_t> bytes;
};

std::vector<Garbage> garbageKinds() {
  std::vector<Garbage> kinds = {
      {"REG_SZ of 2 bytes", REG_SZ, {'7', 0}},
      {"REG_SZ of 12 bytes", REG_SZ, {'3', '0', '0', '0', '0', ' ', 's', 't', 'a', 'r', 's', 0}},
      {"REG_MULTI_SZ of 3 bytes", REG_MULTI_SZ, {'1', 0, 0}},
      {"REG_MULTI_SZ of 7 bytes", REG_MULTI_SZ, {'a', 'b', 0, 'c', 'd', 0, 0}},
      {"REG_BINARY of 0 bytes", REG_BINARY, {}},
      {"REG_BINARY of 1 byte", REG_BINARY, {1}},
      {"REG_BINARY of 2 bytes", REG_BINARY, {0x10, 0x27}},
      {"REG_BINARY of 3 bytes", REG_BINARY, {0xB8, 0x0B, 0x00}},
      {"REG_BINARY of 4 bytes", REG_BINARY, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"REG_BINARY of 8 bytes", REG_BINARY, {2, 0, 0, 0, 0, 0, 0, 0}},
      {"REG_QWORD", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"REG_BINARY of 64 KB", REG_BINARY, std::vector<uint8_t>(65536, 0x5A)},
  };
  return kinds;
}

// What a four-byte read gives, as the saver reads it: the bytes, zero-filled
// above; nothing when the data does not fit.
bool fourByteRead(const char* name, uint32_t* number, DWORD* type) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG result = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  *number = value;
  return result == ERROR_SUCCESS;
}

std::vector<uint8_t> storedBytes(const char* name, DWORD* type) {
  HKEY key = nullptr;
  std::vector<uint8_t> bytes(70000);
  DWORD size = static_cast<DWORD>(bytes.size());
  if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  RegQueryValueExA(key, name, nullptr, type, bytes.data(), &size);
  RegCloseKey(key);
  bytes.resize(size);
  return bytes;
}

std::string settingsLine(const Settings& s) {
  char line[256];
  std::snprintf(line, sizeof line, "settings %d %d %d %u %d %d %d %d %u %u %d %d %.9g %.9g", s.showEarth, s.showStars,
                s.smoothStars, s.starsAmount, s.randomCamera, s.showInfo, s.showTime, s.showFps, s.animationSpeed,
                s.cameraSpeed, s.textureFiltration, s.textureQuality, s.animationRate, s.cameraRate);
  return line;
}

std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return lines;
  char line[512];
  while (std::fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    lines.push_back(text);
  }
  std::fclose(file);
  return lines;
}

TEST(RegistryGarbage, TheSaverUsesWhatTheRulesGiveAndRewritesOnlyWhatTheyRewrite) {
  const std::vector<Garbage> kinds = garbageKinds();
  const std::string log = siblingPath("garbage-probe.log");
  for (int run = 0; run < settingCount; ++run) {
    deleteSettingsKey();
    for (int v = 0; v < settingCount; ++v) {
      const Garbage& g = kinds[(v + run) % kinds.size()];
      writeSettingRaw(settingValues[v].name, g.type, g.bytes.data(), static_cast<DWORD>(g.bytes.size()));
    }
    // Expected: the rules applied to a four-byte read, defaults where it fails.
    Settings expected;
    std::vector<bool> fits(settingCount);
    for (int v = 0; v < settingCount; ++v) {
      uint32_t number = 0;
      DWORD type = 0;
      fits[v] = fourByteRead(settingValues[v].name, &number, &type);
      storeSetting(expected, settingValues[v].id, fits[v] ? number : settingValues[v].defaultValue);
    }
    computeDerivedRates(expected);

    DeleteFileA(log.c_str());
    ChildProcess saver;
    SetEnvironmentVariableA("TAVRIN_PROBE_LOG", log.c_str());
    ASSERT_TRUE(saver.start("/s", siblingPath("tavrin_probe.scr")));
    SetEnvironmentVariableA("TAVRIN_PROBE_LOG", nullptr);
    std::string used;
    waitUntil(
        [&] {
          for (const std::string& line : readLines(log)) {
            if (line.compare(0, 9, "settings ") == 0) used = line;
          }
          return !used.empty() || !saver.running();
        },
        30000);
    EXPECT_EQ(used, settingsLine(expected)) << "run " << run;
    if (HWND window = waitForSaverWindow(saver.id(), 1000)) PostMessageA(window, WM_KEYDOWN, 'A', 0);
    DWORD code = 1234;
    EXPECT_TRUE(saver.waitForExit(exitWait, &code)) << "run " << run;
    EXPECT_EQ(code, 0u) << "run " << run;

    for (int v = 0; v < settingCount; ++v) {
      const Garbage& g = kinds[(v + run) % kinds.size()];
      DWORD type = 0;
      const std::vector<uint8_t> bytes = storedBytes(settingValues[v].name, &type);
      if (fits[v]) {
        EXPECT_EQ(type, g.type) << settingValues[v].name << ": " << g.what << " was rewritten";
        EXPECT_EQ(bytes, g.bytes) << settingValues[v].name << ": " << g.what << " was rewritten";
      } else {
        const uint32_t fallback = settingValues[v].defaultValue;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << settingValues[v].name << ": " << g.what;
        EXPECT_EQ(bytes, std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&fallback),
                                              reinterpret_cast<const uint8_t*>(&fallback) + 4))
            << settingValues[v].name << ": " << g.what;
      }
    }
  }
  deleteSettingsKey();
}

}  // namespace
