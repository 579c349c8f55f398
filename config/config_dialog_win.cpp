// The configuration dialog: a picture, a tab control with the settings page
// and the about page, and OK, Cancel and Apply.
//
// The dialog only moves numbers between the settings page's controls and the
// registry: LoadSettings fills `settings`, which the controls show;
// SaveSettings reads the controls themselves. Apply stays disabled until a
// control of the settings page reports a change, so OK on an untouched dialog
// writes nothing.
//
// Does not: validate anything (the settings store does), keep the pages in
// step with each other (they share nothing), or destroy the pages (they go
// with the dialog, as children of its tab control).
#include "config/config_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <initializer_list>

#include "config/settings.h"
#include "config/settings_store.h"
#include "host/host.h"
#include "res/resource_ids.h"

HWND settingsPage = nullptr;
HWND aboutPage = nullptr;
HWND configDialog = nullptr;
bool settingsChanged = false;

namespace {

// The lists' indexes are the stored numbers.
const char* const filtrationNames[] = {"Linear", "Bilinear", "Trilinear"};
const char* const qualityNames[] = {"Low", "Medium", "High"};

struct TrackbarRange {
  int control;
  int low;
  int high;
  int pageSize;
};
const TrackbarRange starsAmountRange = {IDC_STARS_AMOUNT, 3000, 30000, 100};
const TrackbarRange animationSpeedRange = {IDC_ANIMATION_SPEED, 1, 100, 1};
const TrackbarRange cameraSpeedRange = {IDC_CAMERA_SPEED, 1, 100, 1};
const TrackbarRange* const trackbars[] = {&starsAmountRange, &animationSpeedRange, &cameraSpeedRange};

bool isCheckBox(int control) {
  switch (control) {
    case IDC_SHOW_EARTH:
    case IDC_SHOW_STARS:
    case IDC_SMOOTH_STARS:
    case IDC_RANDOM_CAMERA:
    case IDC_SHOW_INFO:
    case IDC_SHOW_FPS:
    case IDC_SHOW_TIME: return true;
    default: return false;
  }
}

bool isTrackbar(HWND page, HWND sender) {
  for (const TrackbarRange* range : trackbars) {
    if (sender && sender == GetDlgItem(page, range->control)) return true;
  }
  return false;
}

bool isChecked(HWND page, int control) { return IsDlgButtonChecked(page, control) == BST_CHECKED; }

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

void fillList(int control, const char* const (&names)[3], int32_t selected) {
  SendDlgItemMessageA(settingsPage, control, CB_RESETCONTENT, 0, 0);
  for (const char* name : names) {
    SendDlgItemMessageA(settingsPage, control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
  SendDlgItemMessageA(settingsPage, control, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// The trackbar itself keeps the position inside its range, which is what
// shows when the settings could not be loaded.
void setUpTrackbar(const TrackbarRange& range, uint32_t position) {
  SendDlgItemMessageA(settingsPage, range.control, TBM_SETRANGE, TRUE, MAKELPARAM(range.low, range.high));
  SendDlgItemMessageA(settingsPage, range.control, TBM_SETPAGESIZE, 0, range.pageSize);
  SendDlgItemMessageA(settingsPage, range.control, TBM_SETPOS, TRUE, static_cast<LPARAM>(position));
}

void setCheck(int control, bool on) {
  SendDlgItemMessageA(settingsPage, control, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// None of these messages makes a control report a change, so the dialog
// opens with Apply disabled.
void showSettings() {
  fillList(IDC_FILTRATION, filtrationNames, settings.textureFiltration);
  fillList(IDC_QUALITY, qualityNames, settings.textureQuality);
  setUpTrackbar(starsAmountRange, settings.starsAmount);
  setUpTrackbar(animationSpeedRange, settings.animationSpeed);
  setUpTrackbar(cameraSpeedRange, settings.cameraSpeed);
  setCheck(IDC_SHOW_EARTH, settings.showEarth);
  setCheck(IDC_SHOW_STARS, settings.showStars);
  setCheck(IDC_SMOOTH_STARS, settings.smoothStars);
  setCheck(IDC_RANDOM_CAMERA, settings.randomCamera);
  setCheck(IDC_SHOW_INFO, settings.showInfo);
  setCheck(IDC_SHOW_FPS, settings.showFps);
  setCheck(IDC_SHOW_TIME, settings.showTime);
}

// A hand over the two links and nowhere else: each link answers its own
// cursor request, so the static-control class everyone shares stays as it is.
LRESULT CALLBACK linkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message != WM_SETCURSOR) return DefSubclassProc(link, message, wParam, lParam);
  SetCursor(LoadCursorA(nullptr, IDC_HAND));
  return TRUE;
}

void useHandCursorOverLinks() {
  for (int link : {IDC_WEB_LINK, IDC_MAIL_LINK}) SetWindowSubclass(GetDlgItem(aboutPage, link), linkProc, 0, 0);
}

void initialiseDialog(HWND dialog) {
  HWND tabs = GetDlgItem(dialog, IDC_TABS);
  insertTab(tabs, 0, "Settings");
  insertTab(tabs, 1, "About");
  settingsPage = CreateDialogParamA(resourceModule, MAKEINTRESOURCEA(IDD_SETTINGS_PAGE), dialog, SettingsPageProc, 0);
  aboutPage = CreateDialogParamA(resourceModule, MAKEINTRESOURCEA(IDD_ABOUT_PAGE), dialog, AboutPageProc, 0);
  placePage(aboutPage, tabs);
  placePage(settingsPage, tabs);
  LoadSettings(dialog);  // on failure it has said so; the controls show what `settings` holds
  showSettings();
  useHandCursorOverLinks();
  UpdateDependentControls();
  ShowWindow(settingsPage, SW_SHOW);
  configDialog = dialog;
}

void showSelectedPage(HWND tabs) {
  const LRESULT selected = SendMessageA(tabs, TCM_GETCURSEL, 0, 0);
  if (selected == 0) {
    ShowWindow(aboutPage, SW_HIDE);
    ShowWindow(settingsPage, SW_SHOW);
  } else if (selected == 1) {
    ShowWindow(settingsPage, SW_HIDE);
    ShowWindow(aboutPage, SW_SHOW);
  }
}

// A save that failed has said why in a box over the dialog; the changes stay
// marked, so that OK or Apply can try again, or Cancel leave them.
void applySettings(HWND dialog) {
  if (!SaveSettings(dialog)) return;
  LoadSettings(dialog);  // `settings` then holds what is stored, range-checked
  settingsChanged = false;
  HWND apply = GetDlgItem(dialog, IDC_APPLY);
  // A disabled button loses the focus to nothing, and with it Escape and
  // Return: OK takes it first.
  if (GetFocus() == apply)
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
  EnableWindow(apply, FALSE);
}

// A link's target lives in the string table beside the texts the user reads.
void openLink(UINT target, const char* program) {
  char text[256] = {};
  if (LoadStringA(resourceModule, target, text, sizeof text) <= 0) return;
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
          if (settingsChanged && !SaveSettings(dialog)) break;
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

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    const int control = LOWORD(wParam);
    const UINT notification = HIWORD(wParam);
    if (isCheckBox(control) && notification == BN_CLICKED) MarkChanged();
    if ((control == IDC_FILTRATION || control == IDC_QUALITY) && notification == CBN_SELCHANGE) MarkChanged();
    if ((control == IDC_SHOW_STARS || control == IDC_SHOW_INFO) && notification == BN_CLICKED) {
      UpdateDependentControls();
    }
  } else if (message == WM_HSCROLL) {
    // Only the end of a drag counts: a drag, a click on the channel and a
    // key press all finish with TB_ENDTRACK.
    if (isTrackbar(page, reinterpret_cast<HWND>(lParam)) && LOWORD(wParam) == TB_ENDTRACK) MarkChanged();
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
    if (LOWORD(wParam) == IDC_WEB_LINK) openLink(IDS_WEB_TARGET, "explorer");
    if (LOWORD(wParam) == IDC_MAIL_LINK) openLink(IDS_MAIL_TARGET, nullptr);
  }
  return 0;
}

void MarkChanged() {
  settingsChanged = true;
  EnableWindow(GetDlgItem(configDialog, IDC_APPLY), TRUE);
}

void UpdateDependentControls() {
  const BOOL stars = isChecked(settingsPage, IDC_SHOW_STARS);
  EnableWindow(GetDlgItem(settingsPage, IDC_SMOOTH_STARS), stars);
  EnableWindow(GetDlgItem(settingsPage, IDC_STARS_AMOUNT), stars);
  EnableWindow(GetDlgItem(settingsPage, IDC_AMOUNT_LABEL), stars);
  const BOOL information = isChecked(settingsPage, IDC_SHOW_INFO);
  EnableWindow(GetDlgItem(settingsPage, IDC_SHOW_FPS), information);
  EnableWindow(GetDlgItem(settingsPage, IDC_SHOW_TIME), information);
}
