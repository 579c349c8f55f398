// The settings in the registry: HKEY_CURRENT_USER\Software\Orvane\Tavrin,
// twelve REG_DWORD values. Missing or unreadable values are written back with
// their defaults; out-of-range numbers are corrected in memory only.
#pragma once

#include <windows.h>

#include <cstdint>

// Fills `settings`; false only when the key cannot be opened or created.
bool LoadSettings();
// Writes the controls of the settings page; false only when the key cannot be opened.
bool SaveSettings();
bool QueryDword(HKEY key, const char* name, uint32_t* value, uint32_t defaultValue);
bool WriteDword(HKEY key, const char* name, uint32_t number);
