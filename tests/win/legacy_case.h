// Helpers of the tests of the older Windows family: a folder per test holding
// a copy of the saver and the stand-in password modules it should find beside
// itself, the Wine setting that makes one program see the older family, and
// the user settings the password scheme reads. Everything a helper changes in
// the registry it puts back when it goes.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace legacy_test {

// <tests>\legacy-cases\<name>, emptied at the start. The stand-in modules
// built with the tests are in <tests>\legacy-modules: PASSWORD.CPL, MPR.DLL
// and BARE.DLL (none of their functions).
class CaseFolder {
 public:
  explicit CaseFolder(const std::string& name);
  CaseFolder(const CaseFolder&) = delete;
  CaseFolder& operator=(const CaseFolder&) = delete;
  ~CaseFolder();

  std::string path(const std::string& file) const { return folder_ + "\\" + file; }
  std::string folder() const { return folder_; }
  // tavrin.scr, tavrin_probe.scr or one of the modules, under another name.
  bool addSaver(const std::string& as);
  bool addProbe(const std::string& as);
  bool addModule(const char* built, const std::string& as);
  // Wine then reports the older family (GetVersionExA: platform 1) to every
  // program of that file name, until this folder goes.
  bool reportOlderFamily(const std::string& programName);
  // Wine's loader then takes `module` (say "mpr") for programs of that file
  // name from beside the program, never its own built-in one, until this
  // folder goes. A per-program DllOverrides key: Wine reads WINEDLLOVERRIDES
  // from the environment it was started with, so a value a Windows program
  // sets for its child is not seen.
  bool preferOwnModule(const std::string& programName, const char* module);
  // The lines of a file of this folder; none when it is missing.
  std::vector<std::string> lines(const std::string& file) const;
  bool exists(const std::string& file) const;

 private:
  bool setProgramDefault(const std::string& programName, const char* subkey, const char* name, const char* value);

  std::string folder_;
  std::vector<std::string> programsWithDefaults_;
};

// HKCU "Control Panel\Desktop" "ScreenSaveUsePassword" for the test's time;
// the value found at construction is put back by the destructor.
class DesktopPasswordSetting {
 public:
  DesktopPasswordSetting();
  DesktopPasswordSetting(const DesktopPasswordSetting&) = delete;
  DesktopPasswordSetting& operator=(const DesktopPasswordSetting&) = delete;
  ~DesktopPasswordSetting();
  void set(DWORD value);
  void remove();

 private:
  bool hadValue_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> saved_;
};

// How the test PASSWORD.CPL answers (see legacy_password_module_win.cpp).
void setPasswordModuleAnswer(const char* name, DWORD value);
void clearPasswordModuleAnswers();

// Environment variables for the child processes started while it lives.
class ChildEnvironment {
 public:
  ChildEnvironment() = default;
  ChildEnvironment(const ChildEnvironment&) = delete;
  ChildEnvironment& operator=(const ChildEnvironment&) = delete;
  ~ChildEnvironment();
  void set(const char* name, const std::string& value);

 private:
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

// "verify <n>" and similar lines carry window handles as decimal numbers.
std::string handleText(HWND window);

}  // namespace legacy_test
