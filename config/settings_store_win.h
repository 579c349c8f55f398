// The settings in the registry: HKEY_CURRENT_USER\Software\Orvane\Tavrin, one
// REG_DWORD value per row of the settings table. The rules (defaults written
// back, ranges) are settings.cpp's; this is only the store they run on.
//
// Every message box is owned by `owner` (the saver window, or the dialog),
// so that it comes up in front of it and keeps it disabled meanwhile.
#pragma once

#include <windows.h>

#include "config/settings.h"

// Reads all twelve values into `settings`; false only when the key cannot be
// opened or created ("Failed to open regestry key!"), `settings` unchanged.
bool LoadSettings(Settings& settings, HWND owner);

// Writes all twelve values; false when the key cannot be opened or any value
// could not be written (each failure has shown its box).
bool SaveSettings(const Settings& settings, HWND owner);
