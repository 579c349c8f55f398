// The settings in the registry: HKEY_CURRENT_USER\Software\Orvane\Tavrin,
// twelve REG_DWORD values. Missing or unreadable values are written back with
// their defaults; out-of-range numbers are corrected in memory only.
#pragma once

#include <windows.h>

#include <cstdint>

// Every message box of the store is owned by `owner` (the saver window or the
// dialog), so that it comes up in front of it and keeps it disabled meanwhile.

// Fills `settings`; false only when the key cannot be opened or created.
bool LoadSettings(HWND owner);
// Writes the controls of the settings page; false when the key cannot be
// opened or any value could not be written (each failure has shown its box).
bool SaveSettings(HWND owner);
bool QueryDword(HKEY key, const char* name, uint32_t* value, uint32_t defaultValue, HWND owner);
bool WriteDword(HKEY key, const char* name, uint32_t number, HWND owner);
