// The configuration dialog. (The pages arrive with the dialog resources.)
#include "config/config_dialog.h"

HWND settingsPage = nullptr;
HWND aboutPage = nullptr;
HWND configDialog = nullptr;
bool settingsChanged = false;

INT_PTR CALLBACK ConfigDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
