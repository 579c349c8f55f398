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
#include <shellapi.h>

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

void initialiseDialog(HWND dialog) {
  // The pages are in the module the dialog itself came from.
  const HINSTANCE resources = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  HWND tabs = GetDlgItem(dialog, IDC_TABS);
  insertTab(tabs, 0, "Settings");
  insertTab(tabs, 1, "About");
  state.settingsPage = CreateDialogParamA(resources, MAKEINTRESOURCEA(IDD_SETTINGS_PAGE), dialog, SettingsPageProc, 0);
  state.aboutPage = CreateDialogParamA(resources, MAKEINTRESOURCEA(IDD_ABOUT_PAGE), dialog, AboutPageProc, 0);
  placePage(state.aboutPage, tabs);
  placePage(state.settingsPage, tabs);
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

// A link's target lives in the string table beside the texts the user reads.
void openLink(HWND page, UINT target, const char* program) {
  char text[256] = {};
  const HINSTANCE resources = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(page, GWLP_HINSTANCE));
  if (LoadStringA(resources, target, text, sizeof text) <= 0) return;
  // With a program the target is its argument; without one the shell opens the target itself.
  ShellExecuteA(nullptr, "open", program ? program : text, program ? text : nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

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
    HDC context = reinterpret_cast<HDC>(wParam);
    SetTextColor(context, RGB(0, 0, 255));
    SetBkColor(context, GetSysColor(COLOR_BTNFACE));
    // The rest of the link's rectangle: the page's own face colour.
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
  }
  if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
    if (LOWORD(wParam) == IDC_WEB_LINK) openLink(page, IDS_WEB_TARGET, "explorer");
    if (LOWORD(wParam) == IDC_MAIL_LINK) openLink(page, IDS_MAIL_TARGET, nullptr);
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
