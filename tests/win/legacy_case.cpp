#include "tests/win/legacy_case.h"

#include <windows.h>

#include <cstring>
#include <fstream>

#include "tests/support/win_test_support.h"

namespace legacy_test {

namespace {

const char desktopKey[] = "Control Panel\\Desktop";
const char usePasswordValue[] = "ScreenSaveUsePassword";
const char answersKey[] = "Software\\Orvane\\TavrinTests\\Password";
const char testsKey[] = "Software\\Orvane\\TavrinTests";
const char appDefaultsKey[] = "Software\\Wine\\AppDefaults\\";

void removeFolder(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name != "." && name != "..") DeleteFileA((folder + "\\" + name).c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

CaseFolder::CaseFolder(const std::string& name) {
  const std::string cases = tavrin_test::siblingPath("legacy-cases");
  CreateDirectoryA(cases.c_str(), nullptr);
  folder_ = cases + "\\" + name;
  removeFolder(folder_);
  CreateDirectoryA(folder_.c_str(), nullptr);
}

CaseFolder::~CaseFolder() {
  for (const std::string& program : programsWithDefaults_) {
    RegDeleteTreeA(HKEY_CURRENT_USER, (appDefaultsKey + program).c_str());
  }
  removeFolder(folder_);
  RemoveDirectoryA(tavrin_test::siblingPath("legacy-cases").c_str());  // only when no other case is left
}

bool CaseFolder::addSaver(const std::string& as) {
  return CopyFileA(tavrin_test::saverPath().c_str(), path(as).c_str(), FALSE) != FALSE;
}

bool CaseFolder::addProbe(const std::string& as) {
  return CopyFileA(tavrin_test::siblingPath("tavrin_probe.scr").c_str(), path(as).c_str(), FALSE) != FALSE;
}

bool CaseFolder::addModule(const char* built, const std::string& as) {
  const std::string source = tavrin_test::siblingPath("legacy-modules\\") + built;
  return CopyFileA(source.c_str(), path(as).c_str(), FALSE) != FALSE;
}

bool CaseFolder::setProgramDefault(const std::string& programName, const char* subkey, const char* name,
                                   const char* value) {
  std::string keyName = appDefaultsKey + programName;
  if (subkey) keyName += std::string("\\") + subkey;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const bool written = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                      static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  programsWithDefaults_.push_back(programName);
  return written;
}

bool CaseFolder::reportOlderFamily(const std::string& programName) {
  return setProgramDefault(programName, nullptr, "Version", "win98");
}

bool CaseFolder::preferOwnModule(const std::string& programName, const char* module) {
  return setProgramDefault(programName, "DllOverrides", module, "native");
}

std::vector<std::string> CaseFolder::lines(const std::string& file) const {
  std::vector<std::string> result;
  std::ifstream in(path(file));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    result.push_back(line);
  }
  return result;
}

bool CaseFolder::exists(const std::string& file) const {
  return GetFileAttributesA(path(file).c_str()) != INVALID_FILE_ATTRIBUTES;
}

DesktopPasswordSetting::DesktopPasswordSetting() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, desktopKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD size = 0;
  if (RegQueryValueExA(key, usePasswordValue, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
    saved_.resize(size);
    hadValue_ = RegQueryValueExA(key, usePasswordValue, nullptr, &type_, saved_.data(), &size) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
}

DesktopPasswordSetting::~DesktopPasswordSetting() {
  if (!hadValue_) {
    remove();
    return;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, desktopKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, usePasswordValue, 0, type_, saved_.data(), static_cast<DWORD>(saved_.size()));
  RegCloseKey(key);
}

void DesktopPasswordSetting::set(DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, desktopKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, usePasswordValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void DesktopPasswordSetting::remove() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, desktopKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, usePasswordValue);
  RegCloseKey(key);
}

void setPasswordModuleAnswer(const char* name, DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, answersKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void clearPasswordModuleAnswers() {
  RegDeleteTreeA(HKEY_CURRENT_USER, testsKey);
}

ChildEnvironment::~ChildEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    SetEnvironmentVariableA(it->first.c_str(), it->second.first ? it->second.second.c_str() : nullptr);
  }
}

void ChildEnvironment::set(const char* name, const std::string& value) {
  char old[4096] = {};
  const DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
  saved_.push_back({name, {length > 0 && length < sizeof old, old}});
  SetEnvironmentVariableA(name, value.c_str());
}

std::string handleText(HWND window) {
  return std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
}

}  // namespace legacy_test
