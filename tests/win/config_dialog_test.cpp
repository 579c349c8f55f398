// The configuration dialog of the real tavrin.scr, driven from outside with
// the messages a user's clicks produce, and read back from its controls, the
// registry and the exit code.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "config/settings.h"
#include "config/settings_store.h"
#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

const char dialogTitle[] = "Tavrin Screen Saver Configurator";
constexpr DWORD exitWait = 10000;

// Every value the dialog writes, in the order it writes them.
const char* const storedNames[settingCount] = {
    "Show Earth", "Show Stars", "Smooth Stars",    "Stars Amount", "Random Camera",      "Show Info",
    "Show FPS",   "Show Time",  "Animation Speed", "Camera Speed", "Texture Filtartion", "Texture Quality",
};

DWORD stored(const char* name) {
  DWORD value = 0xBAADF00D;
  readSetting(name, &value);
  return value;
}

bool hasClass(HWND window, const char* name) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  return lstrcmpiA(className, name) == 0;
}

// A real mouse click at a point of a window's client area.
void clickAt(HWND window, POINT point) {
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
}

void pressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

// tavrin.scr in configuration mode, its dialog and the two pages.
class ConfigDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { writeDefaultSettings(); }
  void TearDown() override {
    saver.reset();
    deleteSettingsKey();
  }

  // Starts the saver (ending one that still runs) and waits until the
  // dialog has finished opening.
  bool open(const std::string& arguments = "/c") {
    saver = std::make_unique<ChildProcess>();
    settingsPage = aboutPage = nullptr;
    if (!saver->start(arguments)) return false;
    dialog = waitForWindow("#32770", dialogTitle, saver->id(), 10000);
    if (!dialog) return false;
    // The window is found as soon as it exists; its controls, the pages and
    // finally the shown settings page follow.
    return waitUntil(
        [&] {
          tabs = GetDlgItem(dialog, IDC_TABS);
          findPages();
          return settingsPage && aboutPage && IsWindowVisible(dialog) && IsWindowVisible(settingsPage);
        },
        10000);
  }
  void findPages() {
    for (HWND child = GetWindow(tabs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (GetDlgItem(child, IDC_SHOW_EARTH)) settingsPage = child;
      if (GetDlgItem(child, IDC_WEB_LINK)) aboutPage = child;
    }
  }

  HWND item(int control) const { return GetDlgItem(settingsPage, control); }
  bool checked(int control) const { return SendMessageA(item(control), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool enabled(int control) const { return IsWindowEnabled(item(control)) != FALSE; }
  LRESULT position(int control) const { return SendMessageA(item(control), TBM_GETPOS, 0, 0); }
  LRESULT selection(int control) const { return SendMessageA(item(control), CB_GETCURSEL, 0, 0); }
  bool applyEnabled() const { return IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY)) != FALSE; }

  // What the user's actions send: a click on a check box or a button, a
  // choice in a list, a trackbar drag.
  void click(int control) const { SendMessageA(item(control), BM_CLICK, 0, 0); }
  void press(int button) const { SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0); }
  void choose(int control, int index) const {
    SendMessageA(item(control), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(settingsPage, WM_COMMAND, MAKEWPARAM(control, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item(control)));
  }
  void dragTo(int control, int to) const {
    SendMessageA(item(control), TBM_SETPOS, TRUE, to);
    SendMessageA(settingsPage, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, to), reinterpret_cast<LPARAM>(item(control)));
  }
  void endDrag(int control) const {
    SendMessageA(settingsPage, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(item(control)));
  }

  // The exit code once the dialog has gone; 1000 when it did not end.
  int exitCode() {
    DWORD code = 1000;
    if (!saver->waitForExit(exitWait, &code)) return 1000;
    return static_cast<int>(code);
  }

  // A tab's rectangle, read through memory inside the saver's process (the
  // message carries a pointer).
  RECT tabRect(int index) const {
    RECT rect = {};
    void* remote = VirtualAllocEx(saver->handle(), nullptr, sizeof rect, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return rect;
    if (SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote))) {
      ReadProcessMemory(saver->handle(), remote, &rect, sizeof rect, nullptr);
    }
    VirtualFreeEx(saver->handle(), remote, 0, MEM_RELEASE);
    return rect;
  }
  void clickTab(int index) const {
    const RECT rect = tabRect(index);
    clickAt(tabs, {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
  }
  bool settingsShown() const { return IsWindowVisible(settingsPage) && !IsWindowVisible(aboutPage); }
  bool aboutShown() const { return IsWindowVisible(aboutPage) && !IsWindowVisible(settingsPage); }

  std::unique_ptr<ChildProcess> saver;
  HWND dialog = nullptr;
  HWND tabs = nullptr;
  HWND settingsPage = nullptr;
  HWND aboutPage = nullptr;
};

// --- Opening ------------------------------------------------------------------

using ConfigOpening = ConfigDialogTest;

TEST_F(ConfigOpening, ShowsTheStoredValuesAsTheStoreCorrectsThemWithApplyDisabled) {
  writeSetting("Show Earth", 0);
  writeSetting("Show Stars", 2);  // only exactly 1 is on
  writeSetting("Smooth Stars", 1);
  writeSetting("Stars Amount", 30001);  // out of range: 10000
  writeSetting("Random Camera", 0);
  writeSetting("Show Info", 1);
  writeSetting("Show FPS", 0);
  writeSetting("Show Time", 1);
  writeSetting("Animation Speed", 0);  // out of range: 30
  writeSetting("Camera Speed", 77);
  writeSetting("Texture Filtartion", 0xFFFFFFFF);  // -1: out of range, 2
  writeSetting("Texture Quality", 0);
  ASSERT_TRUE(open());

  EXPECT_FALSE(checked(IDC_SHOW_EARTH));
  EXPECT_FALSE(checked(IDC_SHOW_STARS));
  EXPECT_TRUE(checked(IDC_SMOOTH_STARS));
  EXPECT_FALSE(checked(IDC_RANDOM_CAMERA));
  EXPECT_TRUE(checked(IDC_SHOW_INFO));
  EXPECT_FALSE(checked(IDC_SHOW_FPS));
  EXPECT_TRUE(checked(IDC_SHOW_TIME));
  EXPECT_EQ(position(IDC_STARS_AMOUNT), 10000);
  EXPECT_EQ(position(IDC_ANIMATION_SPEED), 30);
  EXPECT_EQ(position(IDC_CAMERA_SPEED), 77);
  EXPECT_EQ(windowText(item(IDC_FILTRATION)), "Trilinear");
  EXPECT_EQ(windowText(item(IDC_QUALITY)), "Low");
  EXPECT_EQ(SendMessageA(item(IDC_STARS_AMOUNT), TBM_GETRANGEMAX, 0, 0), 30000);

  // The platform's own controls, with no initialisation call of the program's.
  EXPECT_TRUE(hasClass(tabs, WC_TABCONTROLA));
  EXPECT_TRUE(hasClass(item(IDC_STARS_AMOUNT), TRACKBAR_CLASSA));
  EXPECT_EQ(TabCtrl_GetItemCount(tabs), 2);
  EXPECT_EQ(TabCtrl_GetCurSel(tabs), 0);

  // " Show Stars" is off, so its dependants start disabled.
  EXPECT_FALSE(enabled(IDC_SMOOTH_STARS));
  EXPECT_FALSE(enabled(IDC_AMOUNT_LABEL));
  EXPECT_FALSE(enabled(IDC_STARS_AMOUNT));
  EXPECT_TRUE(enabled(IDC_SHOW_FPS));
  EXPECT_FALSE(applyEnabled());
  EXPECT_EQ(stored("Stars Amount"), 30001u) << "opening corrects in memory only";

  press(IDCANCEL);
  EXPECT_EQ(exitCode(), 0);
}

TEST_F(ConfigOpening, OkWithoutAnyChangeWritesNothing) {
  ASSERT_TRUE(open());
  // Changed behind the dialog's back: OK must not put the dialog's numbers over it.
  writeSetting("Camera Speed", 55);
  writeSetting("Texture Quality", 0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  RegDeleteValueA(key, "Show Earth");
  RegCloseKey(key);

  press(IDOK);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(stored("Camera Speed"), 55u);
  EXPECT_EQ(stored("Texture Quality"), 0u);
  EXPECT_FALSE(readSetting("Show Earth", nullptr));
}

// --- Dependent controls ------------------------------------------------------

using ConfigDependents = ConfigDialogTest;

TEST_F(ConfigDependents, ShowStarsAndShowInformationSwitchTheirDependants) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(enabled(IDC_SMOOTH_STARS) && enabled(IDC_AMOUNT_LABEL) && enabled(IDC_STARS_AMOUNT));
  ASSERT_TRUE(enabled(IDC_SHOW_FPS) && enabled(IDC_SHOW_TIME));

  click(IDC_SHOW_STARS);
  EXPECT_FALSE(checked(IDC_SHOW_STARS));
  EXPECT_FALSE(enabled(IDC_SMOOTH_STARS));
  EXPECT_FALSE(enabled(IDC_AMOUNT_LABEL));
  EXPECT_FALSE(enabled(IDC_STARS_AMOUNT));
  EXPECT_TRUE(enabled(IDC_SHOW_FPS) && enabled(IDC_SHOW_TIME)) << "the other frame is left alone";
  EXPECT_TRUE(applyEnabled());

  click(IDC_SHOW_INFO);
  EXPECT_FALSE(enabled(IDC_SHOW_FPS));
  EXPECT_FALSE(enabled(IDC_SHOW_TIME));
  EXPECT_TRUE(checked(IDC_SHOW_FPS)) << "a disabled control keeps its state";

  click(IDC_SHOW_STARS);
  click(IDC_SHOW_INFO);
  EXPECT_TRUE(enabled(IDC_SMOOTH_STARS) && enabled(IDC_AMOUNT_LABEL) && enabled(IDC_STARS_AMOUNT));
  EXPECT_TRUE(enabled(IDC_SHOW_FPS) && enabled(IDC_SHOW_TIME));
  press(IDCANCEL);
  EXPECT_EQ(exitCode(), 0);
}

TEST_F(ConfigDependents, ADisabledControlsStateIsStillSaved) {
  writeSetting("Smooth Stars", 0);
  writeSetting("Show Time", 1);
  ASSERT_TRUE(open());
  click(IDC_SMOOTH_STARS);  // on, then its frame off
  click(IDC_SHOW_STARS);
  click(IDC_SHOW_TIME);  // off, then its frame off
  click(IDC_SHOW_INFO);
  press(IDOK);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(stored("Show Stars"), 0u);
  EXPECT_EQ(stored("Smooth Stars"), 1u);
  EXPECT_EQ(stored("Show Info"), 0u);
  EXPECT_EQ(stored("Show Time"), 0u);
  EXPECT_EQ(stored("Show FPS"), 1u);
}

// --- Apply, OK and Cancel -------------------------------------------------------

using ConfigApply = ConfigDialogTest;

TEST_F(ConfigApply, ATrackbarDragEnablesApplyOnlyWhenItEnds) {
  ASSERT_TRUE(open());
  for (int control : {IDC_STARS_AMOUNT, IDC_ANIMATION_SPEED, IDC_CAMERA_SPEED}) {
    dragTo(control, 40);
    dragTo(control, 45);
    EXPECT_FALSE(applyEnabled()) << control;
    endDrag(control);
    EXPECT_TRUE(applyEnabled()) << control;
    press(IDC_APPLY);
    EXPECT_FALSE(applyEnabled()) << control;
  }
  // Other scroll requests of a trackbar, and a list message that is not a
  // new choice, are not changes either.
  SendMessageA(settingsPage, WM_HSCROLL, MAKEWPARAM(TB_LINEDOWN, 0), reinterpret_cast<LPARAM>(item(IDC_CAMERA_SPEED)));
  SendMessageA(settingsPage, WM_COMMAND, MAKEWPARAM(IDC_QUALITY, CBN_DROPDOWN),
               reinterpret_cast<LPARAM>(item(IDC_QUALITY)));
  EXPECT_FALSE(applyEnabled());
  choose(IDC_QUALITY, 1);
  EXPECT_TRUE(applyEnabled());
  press(IDCANCEL);
  EXPECT_EQ(exitCode(), 0);
}

TEST_F(ConfigApply, ApplyWritesAllTwelveValuesDisablesItselfAndSurvivesCancel) {
  ASSERT_TRUE(open());
  click(IDC_SHOW_EARTH);
  click(IDC_SMOOTH_STARS);
  click(IDC_RANDOM_CAMERA);
  click(IDC_SHOW_FPS);
  dragTo(IDC_STARS_AMOUNT, 25000);
  endDrag(IDC_STARS_AMOUNT);
  dragTo(IDC_ANIMATION_SPEED, 1);
  endDrag(IDC_ANIMATION_SPEED);
  dragTo(IDC_CAMERA_SPEED, 100);
  endDrag(IDC_CAMERA_SPEED);
  choose(IDC_FILTRATION, 0);
  choose(IDC_QUALITY, 1);
  // Gone behind the dialog's back: Apply writes every value, changed or not.
  deleteSettingsKey();

  press(IDC_APPLY);
  EXPECT_FALSE(applyEnabled());
  const DWORD expected[settingCount] = {0, 1, 0, 25000, 0, 1, 0, 1, 1, 100, 0, 1};
  for (int i = 0; i < settingCount; ++i) {
    DWORD type = 0;
    DWORD value = 0xBAADF00D;
    EXPECT_TRUE(readSetting(storedNames[i], &value, &type)) << storedNames[i];
    EXPECT_EQ(value, expected[i]) << storedNames[i];
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << storedNames[i];
  }

  press(IDCANCEL);
  EXPECT_EQ(exitCode(), 0);
  EXPECT_EQ(stored("Stars Amount"), 25000u);
  EXPECT_EQ(stored("Show Earth"), 0u);
}

TEST_F(ConfigApply, OkRightAfterApplyWritesNothingMore) {
  ASSERT_TRUE(open());
  click(IDC_RANDOM_CAMERA);
  press(IDC_APPLY);
  ASSERT_EQ(stored("Random Camera"), 0u);
  writeSetting("Random Camera", 1);  // behind the dialog's back
  press(IDOK);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(stored("Random Camera"), 1u);
}

TEST_F(ConfigApply, ChoosingHighAndOkStoresTwoAndTheSaverReadsIt) {
  writeSetting("Texture Quality", 0);
  ASSERT_TRUE(open());
  ASSERT_EQ(selection(IDC_QUALITY), 0);
  choose(IDC_QUALITY, 2);
  click(IDC_SHOW_EARTH);
  dragTo(IDC_STARS_AMOUNT, 3000);
  endDrag(IDC_STARS_AMOUNT);
  press(IDOK);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(stored("Texture Quality"), 2u);

  // What the saver's next start loads.
  settings = Settings{};
  ASSERT_TRUE(LoadSettings());
  EXPECT_EQ(settings.textureQuality, 2);
  EXPECT_FALSE(settings.showEarth);
  EXPECT_EQ(settings.starsAmount, 3000u);
  EXPECT_TRUE(settings.showStars);
  EXPECT_EQ(settings.cameraSpeed, 30u);
}

// --- Pages ------------------------------------------------------------------

using ConfigPages = ConfigDialogTest;

// Pure blue (the link colour) inside a control's rectangle on the screen.
int bluePixels(HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  const Screenshot shot = captureScreen(&rect);
  int count = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      if (shot.red(x, y) == 0 && shot.green(x, y) == 0 && shot.blue(x, y) == 255) ++count;
    }
  }
  return count;
}

void saveWindowPicture(HWND window, const char* fileName) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  captureScreen(&rect).saveBmp(siblingPath(fileName));
}

TEST_F(ConfigPages, TheTabsSwitchBetweenTheSettingsAndTheAboutPage) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(settingsShown());
  RECT settingsRect = {}, aboutRect = {};
  GetWindowRect(settingsPage, &settingsRect);
  GetWindowRect(aboutPage, &aboutRect);
  EXPECT_TRUE(EqualRect(&settingsRect, &aboutRect)) << "both pages fill the same area";
  waitUntil([] { return false; }, 300);  // let the first paint finish
  saveWindowPicture(dialog, "config-settings.bmp");

  clickTab(1);
  EXPECT_TRUE(waitUntil([&] { return aboutShown(); }, 3000)) << "a click on \"About\"";
  EXPECT_EQ(TabCtrl_GetCurSel(tabs), 1);
  waitUntil([] { return false; }, 300);
  saveWindowPicture(dialog, "config-about.bmp");
  // The links are drawn in pure blue, the label beside them is not.
  EXPECT_GT(bluePixels(GetDlgItem(aboutPage, IDC_MAIL_LINK)), 20);
  EXPECT_GT(bluePixels(GetDlgItem(aboutPage, IDC_WEB_LINK)), 20);
  HWND label = FindWindowExA(aboutPage, nullptr, "Static", "Contact / Report bugs:");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(bluePixels(label), 0);

  // The click left the focus on the tabs: the arrow keys switch back and forth.
  pressKey(VK_LEFT);
  EXPECT_TRUE(waitUntil([&] { return settingsShown(); }, 3000)) << "the left arrow key";
  pressKey(VK_RIGHT);
  EXPECT_TRUE(waitUntil([&] { return aboutShown(); }, 3000)) << "the right arrow key";
  clickTab(0);
  EXPECT_TRUE(waitUntil([&] { return settingsShown(); }, 3000)) << "a click on \"Settings\"";
  EXPECT_FALSE(applyEnabled()) << "switching pages is not a change";
  press(IDCANCEL);
  EXPECT_EQ(exitCode(), 0);
}

// --- Owner and ending -----------------------------------------------------------

class ConfigModes : public ConfigDialogTest {
 protected:
  void SetUp() override {
    ConfigDialogTest::SetUp();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TavrinConfigOwner";
    RegisterClassA(&windowClass);
    owner = CreateWindowExA(0, "TavrinConfigOwner", "Display settings", WS_OVERLAPPEDWINDOW, 40, 40, 300, 200, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
  }
  void TearDown() override {
    ConfigDialogTest::TearDown();
    DestroyWindow(owner);
  }
  HWND dialogOwner() const { return GetWindow(dialog, GW_OWNER); }
  HWND owner = nullptr;
};

TEST_F(ConfigModes, AGivenWindowOwnsTheDialogAndOkEndsWithOne) {
  ASSERT_TRUE(open("/c:" + std::to_string(reinterpret_cast<uintptr_t>(owner))));
  EXPECT_EQ(dialogOwner(), owner);
  EXPECT_FALSE(IsWindowEnabled(owner)) << "the dialog is modal to its owner";
  press(IDOK);
  EXPECT_EQ(exitCode(), 1);
}

TEST_F(ConfigModes, WithoutAUsableHandleTheForegroundWindowOwnsItWithNoArgumentNothingDoes) {
  // A window that is not in front: after a blank instead of a colon its
  // handle is not read at all. Wine takes a small number as a handle's low
  // bits, so a number that happens to name some window is passed over.
  HWND bystander = CreateWindowExA(0, "TavrinConfigOwner", "Bystander", WS_OVERLAPPEDWINDOW, 400, 40, 200, 100, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
  ShowWindow(bystander, SW_SHOWNOACTIVATE);
  uintptr_t noWindow = 1234;
  while (IsWindow(reinterpret_cast<HWND>(noWindow))) ++noWindow;
  const std::string notAWindow = "/c:" + std::to_string(noWindow);
  const std::string blankNotColon = "/c " + std::to_string(reinterpret_cast<uintptr_t>(bystander));
  const struct {
    const char* arguments;
    bool owned;
  } cases[] = {{"/c:0", true},
               {notAWindow.c_str(), true},
               {blankNotColon.c_str(), true},
               {"/c", true},
               {"-C", true},
               {"", false},
               {"/", false}};
  for (const auto& c : cases) {
    SetForegroundWindow(owner);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == owner; }, 2000));
    ASSERT_TRUE(open(c.arguments)) << "[" << c.arguments << "]";
    EXPECT_EQ(dialogOwner(), c.owned ? owner : nullptr) << "[" << c.arguments << "]";
    press(IDCANCEL);
    EXPECT_EQ(exitCode(), 0) << "[" << c.arguments << "]";
  }
  DestroyWindow(bystander);
}

// Escape and the close box both come to the dialog as Cancel.
TEST_F(ConfigModes, EscapeAndTheCloseBoxEndWithZeroAndWriteNothing) {
  for (UINT message : {WM_KEYDOWN, WM_SYSCOMMAND}) {
    ASSERT_TRUE(open());
    click(IDC_SHOW_EARTH);
    if (message == WM_KEYDOWN)
      PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    else
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(exitCode(), 0) << message;
    EXPECT_EQ(stored("Show Earth"), 1u) << message;
  }
}

TEST_F(ConfigModes, EnterAfterAChangeWritesItAndEndsWithOne) {
  ASSERT_TRUE(open());
  click(IDC_SHOW_EARTH);
  PostMessageA(dialog, WM_KEYDOWN, VK_RETURN, 0);  // Enter presses the default button, OK
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(stored("Show Earth"), 0u);
}

}  // namespace
