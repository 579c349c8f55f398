// What a user installs: the installer and the uninstaller, silent. Windows refuses to replace or delete the file of a
// running program, Wine on Linux does not: the test imitates Windows' lock by holding the installed file open without
// FILE_SHARE_WRITE and FILE_SHARE_DELETE, as Windows' loader holds a running image.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/harness/harness_win.h"

using namespace harness;

namespace {

const char* const sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!exists(setup)) GTEST_SKIP() << "no installer at " << setup << " (makensis was not found at build time)";
    TearDown();
  }
  // Also what the restart that a held file waits for would do.
  void TearDown() override {
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    lock = INVALID_HANDLE_VALUE;
    while (uninstallSilently()) continue;
    for (const std::string& file : {installed, installed + ".new"}) DeleteFileA(file.c_str());
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations");
  }

  static bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
  static std::string contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  static int run(const std::string& program, const std::string& arguments = "/S") {
    ChildProcess process;
    return process.start(arguments, program) ? process.exitCode(60000) : 1001;
  }
  // The uninstaller returns at once; its copy does the work and removes the folder last.
  bool uninstallSilently() const {
    return exists(uninstaller) && run(uninstaller) == 0 && waitUntil([&] { return !exists(folder); }, 60000);
  }
  // A string value, or a REG_MULTI_SZ's strings each followed by "|"; "" when there is none.
  static std::string value(HKEY root, const char* key, const char* name) {
    char text[4096] = {};
    DWORD size = sizeof text - 2;
    if (RegGetValueA(root, key, name, RRF_RT_REG_SZ | RRF_RT_REG_MULTI_SZ, nullptr, text, &size)) return "";
    std::string result(text, size ? size - 1 : 0);
    std::replace(result.begin(), result.end(), '\0', '|');
    return result;
  }
  static std::string desktop(const char* name) { return value(HKEY_CURRENT_USER, "Control Panel\\Desktop", name); }
  static std::string entry(const char* name) {
    return value(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavrin", name);
  }
  // The restart's work as Windows keeps it: for each file its source and its target, "" to delete, "!" to replace.
  static std::string pendingRenames() { return value(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations"); }

  const std::string setup = siblingPath("tavrin-setup-" TAVRIN_VERSION_TEXT ".exe");
  const std::string installed = "C:\\windows\\system32\\tavrin.scr";  // the prefix's 64-bit system folder
  const std::string folder = "C:\\Program Files\\Tavrin", uninstaller = folder + "\\uninstall.exe";
  HANDLE lock = INVALID_HANDLE_VALUE;
};

// For an account whose screen saver was off: installed, updated over this saver running full screen (closed first)
// and another copy's preview (left alone), uninstalled; installed again and updated and uninstalled while a preview
// runs and the file stays in use: the file is then replaced or deleted at the next restart, and both end with 3010.
TEST_F(Installer, ClosesThisSaverRunningLeavesAFileInUseToTheRestartWith3010AndUninstallTakesAnySpellingOfItBack) {
  writeValue("Control Panel\\Desktop", "ScreenSaveActive", REG_SZ, "0", 2);
  ASSERT_EQ(run(setup), 0);
  EXPECT_EQ(desktop("ScreenSaveActive"), "1") << "switched on at once";
  char shortPath[MAX_PATH] = {};
  GetShortPathNameA(installed.c_str(), shortPath, MAX_PATH);
  EXPECT_EQ(desktop("SCRNSAVE.EXE"), shortPath);
  const std::string readme = contents(folder + "\\README.txt"), version = entry("DisplayVersion");
  EXPECT_TRUE(readme == contents(siblingPath("tools\\installer\\README.txt"))) << "the downloads' README.txt";
  EXPECT_NE(readme.find(" " + version + "."), std::string::npos) << version << ": the commit, as README.txt names it";
  EXPECT_EQ(version.find(TAVRIN_VERSION_TEXT "+"), 0u) << version;

  writeDefaultSettings();
  HWND parent = createTestWindow(DefWindowProcA, WS_OVERLAPPEDWINDOW, 160, 140, SW_SHOWNOACTIVATE);
  const std::string inParent = "/p " + std::to_string(reinterpret_cast<uintptr_t>(parent));
  const auto previewShown = [&] { return FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", "Preview"); };
  ChildProcess fullScreen, other, preview;
  ASSERT_TRUE(fullScreen.start("/s", installed) && waitForSaverWindow(fullScreen.id()));
  ASSERT_TRUE(other.start(inParent) && waitUntil(previewShown, 20000));
  ASSERT_EQ(run(setup), 0);
  EXPECT_TRUE(contents(installed) == contents(saverPath())) << "not the built saver, byte for byte";
  EXPECT_EQ(fullScreen.exitCode(0), 0) << "closed, as a user ends it";
  EXPECT_TRUE(other.running()) << "a copy elsewhere holds no installed file";
  other.kill();
  // Any spelling of the installed file's path is the user's choice of Tavrin.
  const char spelling[] = "C:/Windows/System32/TAVRIN.SCR";
  writeValue("Control Panel\\Desktop", "SCRNSAVE.EXE", REG_SZ, spelling, sizeof spelling);
  ASSERT_TRUE(uninstallSilently());
  EXPECT_FALSE(exists(installed));
  EXPECT_EQ(entry("DisplayName"), "");
  EXPECT_EQ(desktop("SCRNSAVE.EXE"), "");
  EXPECT_EQ(storedSetting("Stars Amount"), 10000u) << "a silent uninstall keeps the settings";
  EXPECT_EQ(pendingRenames().find(installed), std::string::npos) << "nothing left for a restart";

  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations");  // the uninstaller's own copy
  ASSERT_EQ(run(setup), 0);
  ASSERT_TRUE(preview.start(inParent, installed) && waitUntil(previewShown, 20000));
  lock = CreateFileA(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(run(setup), 3010);
  EXPECT_EQ(preview.exitCode(0), 0) << "closed all the same";
  EXPECT_TRUE(contents(installed + ".new") == contents(saverPath())) << "the new one waits beside the old one";
  const std::string replace = "\\??\\C:\\windows\\system32\\tavrin.scr.new|!\\??\\C:\\windows\\system32\\tavrin.scr|";
  EXPECT_EQ(pendingRenames(), replace);
  // Run in place (_?=), the uninstaller waits and gives its code; it and its folder go at the restart too.
  EXPECT_EQ(run(uninstaller, "/S _?=" + folder), 3010);
  EXPECT_TRUE(exists(installed) && !exists(installed + ".new") && entry("DisplayName").empty());
  EXPECT_EQ(pendingRenames(),
            replace + "\\??\\" + installed + "||\\??\\" + uninstaller + "||\\??\\" + folder + "\\||");
  DestroyWindow(parent);
}

}  // namespace
