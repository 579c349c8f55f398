#include "config/settings_store_win.h"

namespace {

const char settingsKeyPath[] = "Software\\Orvane\\Tavrin";

struct RegistryStore {
  HKEY key;
  HWND owner;
};

bool getNumber(void* context, const char* name, uint32_t* number) {
  // Zero first: data shorter than four bytes fills only the low bytes. The
  // type is not checked; anything longer than four bytes fails the read.
  DWORD value = 0;
  DWORD size = sizeof value;
  const HKEY key = static_cast<RegistryStore*>(context)->key;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
    return false;
  }
  *number = value;
  return true;
}

bool putNumber(void* context, const char* name, uint32_t number) {
  const DWORD value = number;
  const HKEY key = static_cast<RegistryStore*>(context)->key;
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

// Every box of the store, owned by the window that asked.
void report(void* context, const char* text) {
  MessageBoxA(static_cast<RegistryStore*>(context)->owner, text, "Error", MB_OK | MB_ICONERROR);
}

// The key, made when missing; false, having said so, when it can be neither opened nor made.
bool openSettingsKey(RegistryStore& registry) {
  if (RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                      nullptr, &registry.key, nullptr) == ERROR_SUCCESS) {
    return true;
  }
  report(&registry, "Failed to open regestry key!");
  return false;
}

}  // namespace

bool LoadSettings(Settings& settings, HWND owner) {
  RegistryStore registry{nullptr, owner};
  if (!openSettingsKey(registry)) return false;
  readSettings({&registry, getNumber, putNumber, report}, settings);
  RegCloseKey(registry.key);
  return true;
}

bool SaveSettings(const Settings& settings, HWND owner) {
  RegistryStore registry{nullptr, owner};
  if (!openSettingsKey(registry)) return false;
  const bool written = writeSettings({&registry, getNumber, putNumber, report}, settings);
  RegCloseKey(registry.key);
  return written;
}
