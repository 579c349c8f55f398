// The two-tab configuration dialog (settings and about pages).
#pragma once

#include <windows.h>

extern HWND settingsPage;
extern HWND aboutPage;
extern HWND configDialog;
extern bool settingsChanged;

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void UpdateDependentControls();
void MarkChanged();
