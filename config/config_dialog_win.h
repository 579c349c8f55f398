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
