// The registry side of the settings: the key, reading with defaults written
// back, and writing the settings page's controls.
#include "config/settings_store.h"

#include <commctrl.h>

#include "config/config_dialog.h"
#include "config/settings.h"
#include "res/resource_ids.h"
#include "scene/scene.h"

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

bool QueryDword(HKEY key, const char* name, uint32_t* value, uint32_t defaultValue) {
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
    showRegistryError(nullptr, "Failed to query regestry value!");
    return false;
  }
  return true;
}

bool WriteDword(HKEY key, const char* name, uint32_t number) {
  const DWORD stored = number;
  if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored) != ERROR_SUCCESS) {
    showRegistryError(nullptr, "Failed to write regestry value!");
    return false;
  }
  return true;
}

bool LoadSettings() {
  HKEY key = openSettingsKey();
  if (!key) {
    showRegistryError(saverWindow, "Failed to open regestry key!");
    return false;
  }
  for (const SettingValue& value : settingValues) {
    uint32_t stored = 0;
    QueryDword(key, value.name, &stored, value.defaultValue);
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

bool SaveSettings() {
  HKEY key = openSettingsKey();
  if (!key) {
    showRegistryError(nullptr, "Failed to open regestry key!");
    return false;
  }
  // Every value is written even when one fails; each failure shows its own message.
  WriteDword(key, "Show Earth", checkedNumber(IDC_SHOW_EARTH));
  WriteDword(key, "Show Stars", checkedNumber(IDC_SHOW_STARS));
  WriteDword(key, "Smooth Stars", checkedNumber(IDC_SMOOTH_STARS));
  WriteDword(key, "Stars Amount", controlNumber(IDC_STARS_AMOUNT, TBM_GETPOS));
  WriteDword(key, "Random Camera", checkedNumber(IDC_RANDOM_CAMERA));
  WriteDword(key, "Show Info", checkedNumber(IDC_SHOW_INFO));
  WriteDword(key, "Show FPS", checkedNumber(IDC_SHOW_FPS));
  WriteDword(key, "Show Time", checkedNumber(IDC_SHOW_TIME));
  WriteDword(key, "Animation Speed", controlNumber(IDC_ANIMATION_SPEED, TBM_GETPOS));
  WriteDword(key, "Camera Speed", controlNumber(IDC_CAMERA_SPEED, TBM_GETPOS));
  WriteDword(key, "Texture Filtartion", controlNumber(IDC_FILTRATION, CB_GETCURSEL));
  WriteDword(key, "Texture Quality", controlNumber(IDC_QUALITY, CB_GETCURSEL));
  RegCloseKey(key);
  return true;
}
