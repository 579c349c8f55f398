// What a user installs: the version resource, and the NSIS installer and uninstaller run silently.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

TEST(VersionResource, ReadsBackTheBuildsVersion) {
  const std::string saver = saverPath();
  std::vector<char> info(GetFileVersionInfoSizeA(saver.c_str(), nullptr));
  ASSERT_TRUE(!info.empty() && GetFileVersionInfoA(saver.c_str(), 0, DWORD(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  char *name = nullptr, *version = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
              VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName", (void**)&name, &length) &&
              VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileVersion", (void**)&version, &length));
  EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
                "." + std::to_string(HIWORD(fixed->dwFileVersionLS)),
            TAVRIN_VERSION_TEXT);
  EXPECT_STREQ(name, "Tavrin Screen Saver");
  EXPECT_STREQ(version, TAVRIN_VERSION_TEXT);
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!exists(setup)) GTEST_SKIP() << "no installer at " << setup << " (makensis was not found at build time)";
    while (uninstallSilently()) continue;
  }
  void TearDown() override {
    while (uninstallSilently()) continue;
  }

  static bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
  static bool run(const std::string& program, DWORD* code = nullptr) {
    ChildProcess process;
    return process.start("/S", program) && process.waitForExit(60000, code);
  }
  // The uninstaller returns at once; its copy does the work and removes the folder last.
  bool uninstallSilently() const {
    return exists(uninstaller) && run(uninstaller) && waitUntil([&] { return !exists(folder); }, 60000);
  }
  static std::string activeSaver() {
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
  }
  static bool uninstallEntry() {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavrin", 0, KEY_READ,
                  &key);
    return key && RegCloseKey(key) == ERROR_SUCCESS;
  }
  void expectNoTrace() const {
    EXPECT_FALSE(exists(installed));
    EXPECT_FALSE(uninstallEntry());
    EXPECT_EQ(activeSaver(), "");
  }

  const std::string setup = siblingPath("tavrin-setup-" TAVRIN_VERSION_TEXT ".exe");
  const std::string installed = "C:\\windows\\system32\\tavrin.scr";  // the prefix's 64-bit system folder
  const std::string folder = "C:\\Program Files\\Tavrin", uninstaller = folder + "\\uninstall.exe";
};

TEST_F(Installer, SilentInstallMakesTavrinTheActiveSaverAndItRuns) {
  DWORD code = 1234;
  ASSERT_TRUE(run(setup, &code) && code == 0) << code;
  ASSERT_TRUE(exists(installed) && exists(uninstaller) && uninstallEntry());
  char shortPath[MAX_PATH] = {};
  GetShortPathNameA(installed.c_str(), shortPath, MAX_PATH);
  EXPECT_EQ(activeSaver(), shortPath);

  writeDefaultSettings();
  ChildProcess saver, configuration;
  ASSERT_TRUE(saver.start("/s", installed));
  HWND window = waitForSaverWindow(saver.id(), 20000);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(saver.waitForExit(10000, &code) && code == 0) << code;
  ASSERT_TRUE(configuration.start("/c", installed));
  HWND dialog = waitForWindow("#32770", "Tavrin Screen Saver Configurator", configuration.id(), 20000);
  ASSERT_NE(dialog, nullptr);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(configuration.waitForExit(10000, &code) && code == 0) << code;
}

TEST_F(Installer, SilentUninstallLeavesNoTraceButTheUsersSettings) {
  ASSERT_TRUE(run(setup));
  writeDefaultSettings();
  ASSERT_TRUE(uninstallSilently());
  expectNoTrace();
  EXPECT_TRUE(readSetting("Stars Amount", nullptr)) << "a silent uninstall keeps the settings";
}

TEST_F(Installer, InstallingTwiceAndUninstallingOnceLeavesNothing) {
  ASSERT_TRUE(run(setup) && run(setup));
  ASSERT_TRUE(uninstallSilently());
  expectNoTrace();
  EXPECT_FALSE(exists(uninstaller)) << "nothing left to uninstall";
}

}  // namespace
