// The registry side of the settings: the key, reading with defaults written
// back, and writing the settings page's controls.
#include "config/settings_store.h"

#include <commctrl.h>

#include "config/config_dialog.h"
#include "config/settings.h"
#include "res/resource_ids.h"

static const char settingsKeyPath[] = "Software\\Orvane\\Tavrin";

static void showRegistryError(HWND owner, const char* text) { MessageBoxA(owner, text, "Error", MB_OK | MB_ICONERROR); }

static HKEY openSettingsKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

bool QueryDword(HKEY key, const char* name, uint32_t* value, uint32_t defaultValue, HWND owner) {
  // Zero first: data shorter than four bytes fills only the low bytes. The
  // type is not checked; anything longer than four bytes fails the read.
  DWORD number = 0;
  DWORD size = sizeof number;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) == ERROR_SUCCESS) {
    *value = number;
    return true;
  }
  *value = defaultValue;
  const DWORD stored = defaultValue;
  if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored) != ERROR_SUCCESS) {
    showRegistryError(owner, "Failed to query regestry value!");
    return false;
  }
  return true;
}

bool WriteDword(HKEY key, const char* name, uint32_t number, HWND owner) {
  const DWORD stored = number;
  if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored) != ERROR_SUCCESS) {
    showRegistryError(owner, "Failed to write regestry value!");
    return false;
  }
  return true;
}

bool LoadSettings(HWND owner) {
  HKEY key = openSettingsKey();
  if (!key) {
    showRegistryError(owner, "Failed to open regestry key!");
    return false;
  }
  for (const SettingValue& value : settingValues) {
    uint32_t stored = 0;
    QueryDword(key, value.name, &stored, value.defaultValue, owner);
    storeSetting(settings, value.id, stored);
  }
  RegCloseKey(key);
  computeDerivedRates(settings);
  return true;
}

static uint32_t checkedNumber(int control) {
  return IsDlgButtonChecked(settingsPage, control) == BST_CHECKED ? 1u : 0u;
}

static uint32_t controlNumber(int control, UINT query) {
  return static_cast<uint32_t>(SendDlgItemMessageA(settingsPage, control, query, 0, 0));
}

bool SaveSettings(HWND owner) {
  HKEY key = openSettingsKey();
  if (!key) {
    showRegistryError(owner, "Failed to open regestry key!");
    return false;
  }
  // Every value is written even when one fails; each failure shows its own message.
  bool written = true;
  const auto write = [&](const char* name, uint32_t number) {
    written = WriteDword(key, name, number, owner) && written;
  };
  write("Show Earth", checkedNumber(IDC_SHOW_EARTH));
  write("Show Stars", checkedNumber(IDC_SHOW_STARS));
  write("Smooth Stars", checkedNumber(IDC_SMOOTH_STARS));
  write("Stars Amount", controlNumber(IDC_STARS_AMOUNT, TBM_GETPOS));
  write("Random Camera", checkedNumber(IDC_RANDOM_CAMERA));
  write("Show Info", checkedNumber(IDC_SHOW_INFO));
  write("Show FPS", checkedNumber(IDC_SHOW_FPS));
  write("Show Time", checkedNumber(IDC_SHOW_TIME));
  write("Animation Speed", controlNumber(IDC_ANIMATION_SPEED, TBM_GETPOS));
  write("Camera Speed", controlNumber(IDC_CAMERA_SPEED, TBM_GETPOS));
  write("Texture Filtartion", controlNumber(IDC_FILTRATION, CB_GETCURSEL));
  write("Texture Quality", controlNumber(IDC_QUALITY, CB_GETCURSEL));
  RegCloseKey(key);
  return written;
}
