// The two-tab configuration dialog: the settings page and the about page.
// RunConfiguration hands ConfigDialogProc to DialogBoxParamA with the module
// that holds the dialogs; the pages come from the same module.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void UpdateDependentControls();
void MarkChanged();

// The dialog is laid out in dialog units around a picture of fixed pixels, drawn for 96 DPI. Where Windows lets one
// thread be unaware of the display's scale (Windows 10 from 1607), this makes the calling thread so: Windows then
// lays the dialog out as at 96 DPI and stretches it whole, while the saver's own windows stay per-monitor aware.
// Elsewhere the dialog grows with its font and scales its picture to match. Call before the dialog is created.
void UseUnawareDialogThread();
