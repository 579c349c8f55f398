// What a user installs: the version resource of tavrin.scr, and the NSIS
// installer and uninstaller run silently under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

const char uninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavrin";

std::string queryVersionString(const std::vector<char>& info, const char* name) {
  char* text = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text) return {};
  return text;
}

TEST(VersionResource, ReadsBackTheBuildsVersion) {
  const std::string saver = saverPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(saver.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(saver.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  char numbers[32];
  snprintf(numbers, sizeof numbers, "%u.%u.%u", unsigned{HIWORD(fixed->dwFileVersionMS)},
           unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)});
  EXPECT_STREQ(numbers, TAVRIN_VERSION_TEXT);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(queryVersionString(info, "ProductName"), "Tavrin Screen Saver");
  EXPECT_EQ(queryVersionString(info, "FileVersion"), TAVRIN_VERSION_TEXT);
  EXPECT_EQ(queryVersionString(info, "ProductVersion"), TAVRIN_VERSION_TEXT);
  EXPECT_EQ(queryVersionString(info, "OriginalFilename"), "tavrin.scr");
  EXPECT_NE(queryVersionString(info, "LegalCopyright").find("Copyright"), std::string::npos);
}

std::string systemFolderFile(const char* name) {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\" + name;
}

std::string installFolder() {
  char folder[MAX_PATH] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%\\Tavrin", folder, MAX_PATH);
  return folder;
}

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool uninstallEntryExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::string activeSaver() {
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return value;
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    setup = siblingPath("tavrin-setup-" TAVRIN_VERSION_TEXT ".exe");
    if (!fileExists(setup)) GTEST_SKIP() << "no installer at " << setup << " (makensis was not found at build time)";
    uninstallAll();
  }
  void TearDown() override { uninstallAll(); }

  static bool run(const std::string& program, const std::string& arguments, DWORD* code = nullptr) {
    ChildProcess process;
    DWORD exitCode = 1234;
    const bool ended = process.start(arguments, program) && process.waitForExit(60000, &exitCode);
    if (code) *code = exitCode;
    return ended;
  }
  // The uninstaller copies itself away and returns at once; its copy does
  // the work, so the test waits for the files to go.
  static bool uninstallSilently() {
    const std::string uninstaller = installFolder() + "\\uninstall.exe";
    if (!fileExists(uninstaller)) return false;
    if (!run(uninstaller, "/S")) return false;
    return waitUntil([&] { return !fileExists(uninstaller) && !fileExists(systemFolderFile("tavrin.scr")); }, 60000);
  }
  static void uninstallAll() {
    while (uninstallSilently()) {
    }
  }
  std::string setup;
};

TEST_F(Installer, SilentInstallMakesTavrinTheActiveSaverAndItRuns) {
  DWORD code = 1234;
  ASSERT_TRUE(run(setup, "/S", &code));
  EXPECT_EQ(code, 0u);
  const std::string installed = systemFolderFile("tavrin.scr");
  ASSERT_TRUE(fileExists(installed));
  char shortPath[MAX_PATH] = {};
  GetShortPathNameA(installed.c_str(), shortPath, MAX_PATH);
  EXPECT_STREQ(activeSaver().c_str(), shortPath);
  EXPECT_TRUE(uninstallEntryExists());
  EXPECT_TRUE(fileExists(installFolder() + "\\uninstall.exe"));

  writeDefaultSettings();
  writeSetting("Texture Quality", 0);
  ChildProcess saver;
  ASSERT_TRUE(saver.start("/s", installed));
  HWND window = waitForSaverWindow(saver.id(), 20000);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  ASSERT_TRUE(saver.waitForExit(10000, &code));
  EXPECT_EQ(code, 0u);

  ChildProcess configuration;
  ASSERT_TRUE(configuration.start("/c", installed));
  HWND dialog = waitForWindow("#32770", "Tavrin Screen Saver Configurator", configuration.id(), 20000);
  ASSERT_NE(dialog, nullptr);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(configuration.waitForExit(10000, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(Installer, SilentUninstallLeavesNoTraceButTheUsersSettings) {
  ASSERT_TRUE(run(setup, "/S"));
  writeDefaultSettings();
  ASSERT_TRUE(uninstallSilently());
  EXPECT_FALSE(fileExists(systemFolderFile("tavrin.scr")));
  EXPECT_FALSE(fileExists(installFolder()));
  EXPECT_FALSE(uninstallEntryExists());
  EXPECT_EQ(activeSaver(), "");
  DWORD value = 0;
  EXPECT_TRUE(readSetting("Stars Amount", &value)) << "a silent uninstall keeps the settings";
}

TEST_F(Installer, InstallingTwiceAndUninstallingOnceLeavesNothing) {
  ASSERT_TRUE(run(setup, "/S"));
  ASSERT_TRUE(run(setup, "/S"));
  ASSERT_TRUE(uninstallSilently());
  EXPECT_FALSE(fileExists(systemFolderFile("tavrin.scr")));
  EXPECT_FALSE(fileExists(installFolder()));
  EXPECT_FALSE(uninstallEntryExists());
  EXPECT_EQ(activeSaver(), "");
  EXPECT_FALSE(uninstallSilently()) << "nothing left to uninstall";
}

TEST_F(Installer, AnotherActiveSaverIsLeftAlone) {
  ASSERT_TRUE(run(setup, "/S"));
  HKEY desktop = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop), ERROR_SUCCESS);
  const char other[] = "C:\\windows\\system32\\other.scr";
  RegSetValueExA(desktop, "SCRNSAVE.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
  RegCloseKey(desktop);
  ASSERT_TRUE(uninstallSilently());
  EXPECT_EQ(activeSaver(), other);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop), ERROR_SUCCESS);
  RegDeleteValueA(desktop, "SCRNSAVE.EXE");
  RegCloseKey(desktop);
}

}  // namespace
