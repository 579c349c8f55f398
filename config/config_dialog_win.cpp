// The configuration dialog: a picture, a tab control with the settings page
// and the about page, and OK, Cancel and Apply.
//
// The dialog only moves numbers between the settings page's controls and the
// store, each control as the settings table describes it: LoadSettings fills
// the dialog's record, which the controls show; Apply and OK read the controls
// back into a record and save that. Apply stays disabled until a control of
// the settings page reports a change, so OK on an untouched dialog writes
// nothing.
//
// Does not: validate anything (the settings rules do), keep the pages in step
// with each other (they share nothing), or destroy the pages (they go with the
// dialog).
#include "config/config_dialog_win.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <initializer_list>

#include "config/settings.h"
#include "config/settings_store_win.h"
#include "res/resource_ids.h"

namespace {

// The one dialog of the process.
struct DialogState {
  HWND configDialog = nullptr;
  HWND settingsPage = nullptr;
  HWND aboutPage = nullptr;
  bool settingsChanged = false;
  bool askingPageColours = false;         // a link's colours: the page's default answer is being asked for
  Settings settings = initialSettings();  // what the controls show until the settings are read
};
DialogState state;

const SettingRow* rowOf(int control) {
  for (const SettingRow& row : settingRows)
    if (row.control.id == control) return &row;
  return nullptr;
}

bool enablesOthers(int control) {
  for (const SettingRow& row : settingRows)
    if (row.control.enabledBy == control) return true;
  return false;
}

LRESULT sendToControl(int control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageA(state.settingsPage, control, message, wParam, lParam);
}

bool isChecked(int control) { return IsDlgButtonChecked(state.settingsPage, control) == BST_CHECKED; }

// A function of a DLL in the system folder, named by its full path (a DLL of that name beside the saver never
// counts), or null when the DLL or the function is missing.
template <typename Function>
Function systemFunction(const char* dll, const char* function) {
  char path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + lstrlenA(dll) >= MAX_PATH) return nullptr;
  lstrcatA(lstrcatA(path, "\\"), dll);
  HMODULE module = LoadLibraryA(path);  // kept: the dialog uses it to its end
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, function))) : nullptr;
}

// None of these messages makes a control report a change, so the dialog
// opens with Apply disabled. A trackbar keeps its position inside its range,
// which is what shows when the settings could not be read.
void showSettings(const Settings& settings) {
  for (const SettingRow& row : settingRows) {
    const SettingControl& control = row.control;
    const uint32_t number = settingNumber(settings, row);
    switch (control.kind) {
      case ControlKind::CheckBox:
        sendToControl(control.id, BM_SETCHECK, number == 1 ? BST_CHECKED : BST_UNCHECKED);
        break;
      case ControlKind::Trackbar:
        sendToControl(control.id, TBM_SETRANGE, TRUE, MAKELPARAM(row.low, row.high));
        sendToControl(control.id, TBM_SETPAGESIZE, 0, control.pageSize);
        sendToControl(control.id, TBM_SETPOS, TRUE, static_cast<LPARAM>(number));
        break;
      case ControlKind::List:
        sendToControl(control.id, CB_RESETCONTENT);
        for (const char* const* item = control.items; *item; ++item)
          sendToControl(control.id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*item));
        sendToControl(control.id, CB_SETCURSEL, number);
        break;
    }
  }
}

// What the controls show, as settings; the controls keep them in range.
Settings shownSettings() {
  Settings settings = state.settings;
  for (const SettingRow& row : settingRows) {
    const int id = row.control.id;
    switch (row.control.kind) {
      case ControlKind::CheckBox: setSettingNumber(settings, row, isChecked(id) ? 1 : 0); break;
      case ControlKind::Trackbar: setSettingNumber(settings, row, uint32_t(sendToControl(id, TBM_GETPOS))); break;
      case ControlKind::List: setSettingNumber(settings, row, uint32_t(sendToControl(id, CB_GETCURSEL))); break;
    }
  }
  return settings;
}

void insertTab(HWND tabs, int index, const char* text) {
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text);  // only read by the control
  SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// Both pages cover the tab control's display area below the row of tabs,
// with a small margin to its frame. They are the tab control's siblings, above
// it: the dialog manager steps into a control-parent window without stopping
// at it, so only as siblings can Tab reach both the tab control (whose arrow
// keys switch the pages) and the page's controls. The tab control clips its
// siblings, so it never paints over the page.
void placePage(HWND page, HWND tabs) {
  RECT item = {};
  RECT client = {};
  SendMessageA(tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  GetClientRect(tabs, &client);
  POINT origin = {client.left + 2, client.top + item.bottom + 2};
  MapWindowPoints(tabs, GetParent(page), &origin, 1);
  SetWindowPos(page, HWND_TOP, origin.x, origin.y, client.right - 6, client.bottom - item.bottom - 6, 0);
}

// A hand over the two links and nowhere else: each link answers its own
// cursor request, so the static-control class everyone shares stays as it is.
LRESULT CALLBACK linkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message != WM_SETCURSOR) return DefSubclassProc(link, message, wParam, lParam);
  SetCursor(LoadCursorA(nullptr, IDC_HAND));
  return TRUE;
}

// The side picture's static: the template's one control without an id (-1).
constexpr int pictureId = 0xFFFF;

// A dialog that grows with the display's scale (its thread could not be left unaware: its DC then reports the
// system's DPI, which its font was made for) takes its picture scaled by the same factor, so that the picture still
// fills the edge beside the tab control. The static takes the size of the picture it is given; without memory for
// the larger picture it keeps the one it has.
void scalePicture(HWND dialog) {
  HWND picture = GetDlgItem(dialog, pictureId);
  HBITMAP shown = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP original = {};  // 0 x 0 while there is none
  if (shown) GetObjectA(shown, sizeof original, &original);
  HDC screen = GetDC(dialog);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  const int width = MulDiv(original.bmWidth, dpi, USER_DEFAULT_SCREEN_DPI);
  const int height = MulDiv(original.bmHeight, dpi, USER_DEFAULT_SCREEN_DPI);
  HBITMAP scaled = dpi != USER_DEFAULT_SCREEN_DPI && width > 0 && height > 0
                       ? CreateCompatibleBitmap(screen, width, height)
                       : nullptr;
  if (scaled) {
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    HGDIOBJ fromBefore = SelectObject(from, shown), toBefore = SelectObject(to, scaled);
    SetStretchBltMode(to, HALFTONE);  // averaged, as Windows' own stretching of a window blurs it
    SetBrushOrgEx(to, 0, 0, nullptr);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, original.bmWidth, original.bmHeight, SRCCOPY);
    SelectObject(from, fromBefore);
    SelectObject(to, toBefore);
    DeleteDC(from);
    DeleteDC(to);
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled));  // shown until the end
  }
  ReleaseDC(dialog, screen);
}

// The shell may hand a link to a handler that runs in this thread through COM, so the thread joins an apartment
// first, as the shell asks of its callers. Done while the dialog opens, so that what it loads is loaded with the
// rest of the dialog.
void initialiseCom() {
  using InitialiseProc = HRESULT(WINAPI*)(void*, DWORD);
  const auto initialise = systemFunction<InitialiseProc>("ole32.dll", "CoInitializeEx");
  if (initialise) initialise(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);  // lives to the end
}

// With visual styles the tab control's body has the theme's background; each page, a dialog of its own, takes the
// same, or it shows as a box of the plain dialog colour on the tab. Without uxtheme, or without styles, nothing.
void textureLikeTheTab(HWND page) {
  using EnableTextureProc = HRESULT(WINAPI*)(HWND, DWORD);
  static const auto enableTexture = systemFunction<EnableTextureProc>("uxtheme.dll", "EnableThemeDialogTexture");
  if (enableTexture) enableTexture(page, ETDT_ENABLETAB);
}

void initialiseDialog(HWND dialog) {
  initialiseCom();
  // The pages are in the module the dialog itself came from.
  const HINSTANCE resources = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  HWND tabs = GetDlgItem(dialog, IDC_TABS);
  scalePicture(dialog);
  insertTab(tabs, 0, "Settings");
  insertTab(tabs, 1, "About");
  state.settingsPage = CreateDialogParamA(resources, MAKEINTRESOURCEA(IDD_SETTINGS_PAGE), dialog, SettingsPageProc, 0);
  state.aboutPage = CreateDialogParamA(resources, MAKEINTRESOURCEA(IDD_ABOUT_PAGE), dialog, AboutPageProc, 0);
  placePage(state.aboutPage, tabs);
  placePage(state.settingsPage, tabs);
  for (HWND page : {state.settingsPage, state.aboutPage}) textureLikeTheTab(page);
  LoadSettings(state.settings, dialog);  // on failure it has said so; the controls show the record as it was
  showSettings(state.settings);
  for (int link : {IDC_WEB_LINK, IDC_MAIL_LINK}) SetWindowSubclass(GetDlgItem(state.aboutPage, link), linkProc, 0, 0);
  state.configDialog = dialog;
  UpdateDependentControls();
  ShowWindow(state.settingsPage, SW_SHOW);
}

void showSelectedPage(HWND tabs) {
  const LRESULT selected = SendMessageA(tabs, TCM_GETCURSEL, 0, 0);
  if (selected == 0) {
    ShowWindow(state.aboutPage, SW_HIDE);
    ShowWindow(state.settingsPage, SW_SHOW);
  } else if (selected == 1) {
    ShowWindow(state.settingsPage, SW_HIDE);
    ShowWindow(state.aboutPage, SW_SHOW);
  }
}

// A save that failed has said why in a box over the dialog; the changes stay
// marked, so that OK or Apply can try again, or Cancel leave them.
void applySettings(HWND dialog) {
  if (!SaveSettings(shownSettings(), dialog)) return;
  LoadSettings(state.settings, dialog);  // the record then holds what is stored, range-checked
  state.settingsChanged = false;
  HWND apply = GetDlgItem(dialog, IDC_APPLY);
  // A disabled button loses the focus to nothing, and with it Escape and
  // Return: OK takes it first.
  if (GetFocus() == apply)
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
  EnableWindow(apply, FALSE);
}

// A link's target lives in the string table beside the texts the user reads. The web address goes to the system's
// explorer, named by its full path: the shell looks for a bare program name in the saver's own folder first, where
// anything called explorer.exe may lie beside a downloaded saver. The shared Windows folder, not the private one
// Terminal Services hands a program that does not declare itself aware of them. A mail address is resolved through
// its association, not searched for.
void openLink(HWND page, UINT target, bool throughExplorer) {
  char text[256] = {};
  char explorer[MAX_PATH] = {};
  const HINSTANCE resources = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(page, GWLP_HINSTANCE));
  if (LoadStringA(resources, target, text, sizeof text) <= 0) return;
  if (!throughExplorer) {
    ShellExecuteA(nullptr, "open", text, nullptr, nullptr, SW_SHOWNORMAL);
    return;
  }
  const UINT length = GetSystemWindowsDirectoryA(explorer, MAX_PATH);
  if (length == 0 || length + sizeof "\\explorer.exe" > MAX_PATH) return;
  lstrcatA(explorer, "\\explorer.exe");
  ShellExecuteA(nullptr, "open", explorer, text, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void UseUnawareDialogThread() {
  using SetContextProc = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
  const auto setContext = reinterpret_cast<SetContextProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  if (setContext) setContext(DPI_AWARENESS_CONTEXT_UNAWARE);
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: initialiseDialog(dialog); return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          // 1 tells the caller the changes were stored: a failed save keeps the dialog open.
          if (state.settingsChanged && !SaveSettings(shownSettings(), dialog)) break;
          EndDialog(dialog, 1);
          break;
        case IDCANCEL:  // also Escape and the close box
          EndDialog(dialog, 0);
          break;
        case IDC_APPLY: applySettings(dialog); break;
        default: break;
      }
      return 0;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (wParam == IDC_TABS && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        showSelectedPage(GetDlgItem(dialog, IDC_TABS));
      }
      return 0;
    }
    default: return 0;
  }
}

INT_PTR CALLBACK SettingsPageProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    const int control = LOWORD(wParam);
    const UINT notification = HIWORD(wParam);
    const SettingRow* row = rowOf(control);
    if (!row) return 0;
    if (row->control.kind == ControlKind::CheckBox && notification == BN_CLICKED) MarkChanged();
    if (row->control.kind == ControlKind::List && notification == CBN_SELCHANGE) MarkChanged();
    if (enablesOthers(control) && notification == BN_CLICKED) UpdateDependentControls();
  } else if (message == WM_HSCROLL && LOWORD(wParam) == TB_ENDTRACK) {
    // Only the end of a drag counts: a drag, a click on the channel and a
    // key press all finish with TB_ENDTRACK.
    const SettingRow* row = rowOf(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
    if (row && row->control.kind == ControlKind::Trackbar) MarkChanged();
  }
  return 0;
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control != GetDlgItem(page, IDC_WEB_LINK) && control != GetDlgItem(page, IDC_MAIL_LINK)) return 0;
    // The rest is the page's own: its face colour, or with visual styles the tab's background under the text. The
    // default handling asks this procedure first, and that inner request is left to it.
    if (state.askingPageColours) return 0;
    state.askingPageColours = true;
    const LRESULT brush = DefDlgProcA(page, message, wParam, lParam);
    state.askingPageColours = false;
    SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 255));
    return static_cast<INT_PTR>(brush);
  }
  if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
    if (LOWORD(wParam) == IDC_WEB_LINK) openLink(page, IDS_WEB_TARGET, true);
    if (LOWORD(wParam) == IDC_MAIL_LINK) openLink(page, IDS_MAIL_TARGET, false);
  }
  return 0;
}

void MarkChanged() {
  state.settingsChanged = true;
  EnableWindow(GetDlgItem(state.configDialog, IDC_APPLY), TRUE);
}

// A disabled control keeps its state, and is still saved.
void UpdateDependentControls() {
  for (const SettingRow& row : settingRows) {
    if (!row.control.enabledBy) continue;
    const BOOL enabled = isChecked(row.control.enabledBy);
    EnableWindow(GetDlgItem(state.settingsPage, row.control.id), enabled);
    if (row.control.label) EnableWindow(GetDlgItem(state.settingsPage, row.control.label), enabled);
  }
}
