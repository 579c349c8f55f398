// The real tavrin.scr /c driven with the messages a user's clicks produce; controls, registry and exit code read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

class ConfigDialog : public ::testing::Test {
 protected:
  void SetUp() override { writeDefaultSettings(); }
  void TearDown() override {
    saver.reset();
    deleteSettingsKey();
  }

  // Starts tavrin.scr (ending one still running) and waits for the dialog's pages; with null, waits for the dialog
  // of the process already started.
  bool open(const char* arguments = "/c") {
    if (arguments) saver = std::make_unique<ChildProcess>();
    settingsPage = aboutPage = nullptr;
    dialog = !arguments || saver->start(arguments)
                 ? waitForWindow("#32770", "Tavrin Screen Saver Configurator", saver->id(), 10000)
                 : nullptr;
    const auto opened = [&] {
      tabs = GetDlgItem(dialog, IDC_TABS);
      for (HWND page = GetWindow(dialog, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT)) {
        if (GetDlgItem(page, IDC_SHOW_EARTH)) settingsPage = page;
        if (GetDlgItem(page, IDC_WEB_LINK)) aboutPage = page;
      }
      return aboutPage && IsWindowVisible(dialog) && IsWindowVisible(settingsPage);
    };
    return dialog && waitUntil(opened, 10000);
  }
  HWND item(int control) const { return GetDlgItem(settingsPage, control); }
  LRESULT send(int control, UINT message, WPARAM w = 0, LPARAM l = 0) const {
    return SendMessageA(item(control), message, w, l);
  }
  bool checked(int control) const { return send(control, BM_GETCHECK) == BST_CHECKED; }
  int enabled(std::initializer_list<int> controls) const {
    return int(std::count_if(controls.begin(), controls.end(), [&](int c) { return IsWindowEnabled(item(c)); }));
  }
  bool applyEnabled() const { return IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY)) != FALSE; }
  void click(int control) const { send(control, BM_CLICK); }
  void press(int button) const { SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0); }
  void choose(int control, int index) const {
    send(control, CB_SETCURSEL, index);
    SendMessageA(settingsPage, WM_COMMAND, MAKEWPARAM(control, CBN_SELCHANGE), LPARAM(item(control)));
  }
  void drag(int control, int to, WORD request = TB_THUMBTRACK) const {
    send(control, TBM_SETPOS, TRUE, to);
    SendMessageA(settingsPage, WM_HSCROLL, MAKEWPARAM(request, to), LPARAM(item(control)));
  }

  // The dialog's keyboard focus, read from this process.
  HWND focus() const {
    GUITHREADINFO info = {sizeof info, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
    GetGUIThreadInfo(saver->threadId(), &info);
    return info.hwndFocus;
  }
  // A real key press, then time for the dialog to take it.
  void key(BYTE code, bool shift = false) const {
    if (shift) keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(code, 0, 0, 0);
    keybd_event(code, 0, KEYEVENTF_KEYUP, 0);
    if (shift) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    waitUntil([] { return false; }, 150);
  }
  bool toFront() const {
    SetForegroundWindow(dialog);
    return waitUntil([&] { return GetForegroundWindow() == dialog; }, 3000);
  }

  std::unique_ptr<ChildProcess> saver;
  HWND dialog = nullptr, tabs = nullptr, settingsPage = nullptr, aboutPage = nullptr;
};

TEST_F(ConfigDialog, ShowsTheStoredValuesAsTheStoreCorrectsThemWithApplyDisabledAndTheAboutTab) {
  // Only exactly 1 is on; out of range, the stars' 30001 is 10000 and the filtration's 3 is 2.
  const std::pair<const char*, DWORD> values[] = {
      {"Show Earth", 0},         {"Show Stars", 2},      {"Stars Amount", 30001}, {"Camera Speed", 77},
      {"Texture Filtartion", 3}, {"Texture Quality", 0}, {"Show FPS", 0}};
  for (const auto& [name, value] : values) writeSetting(name, value);
  ASSERT_TRUE(open());
  for (int box : {IDC_SHOW_EARTH, IDC_SHOW_STARS, IDC_SHOW_FPS}) EXPECT_FALSE(checked(box)) << box;
  for (int box : {IDC_SMOOTH_STARS, IDC_RANDOM_CAMERA, IDC_SHOW_INFO, IDC_SHOW_TIME}) EXPECT_TRUE(checked(box)) << box;
  EXPECT_EQ(send(IDC_STARS_AMOUNT, TBM_GETPOS), 10000);
  EXPECT_EQ(send(IDC_CAMERA_SPEED, TBM_GETPOS), 77);
  EXPECT_EQ(windowText(item(IDC_FILTRATION)), "Trilinear");
  EXPECT_EQ(windowText(item(IDC_QUALITY)), "Low");
  std::vector<std::tuple<LRESULT, LRESULT, LRESULT>> ranges;  // low, high and page size of each trackbar
  for (int bar : {IDC_STARS_AMOUNT, IDC_ANIMATION_SPEED, IDC_CAMERA_SPEED})
    ranges.emplace_back(send(bar, TBM_GETRANGEMIN), send(bar, TBM_GETRANGEMAX), send(bar, TBM_GETPAGESIZE));
  EXPECT_EQ(ranges, (decltype(ranges){{3000, 30000, 100}, {1, 100, 1}, {1, 100, 1}}));
  EXPECT_EQ(enabled({IDC_SMOOTH_STARS, IDC_AMOUNT_LABEL, IDC_STARS_AMOUNT, IDC_SHOW_FPS}), 1) << "stars are off";
  EXPECT_FALSE(applyEnabled());
  // Without TCS_BUTTONS a new focus is a new choice, notified as a click's.
  SendMessageA(tabs, TCM_SETCURFOCUS, 1, 0);
  EXPECT_TRUE(IsWindowVisible(aboutPage) && !IsWindowVisible(settingsPage));
  SendMessageA(tabs, TCM_SETCURFOCUS, 0, 0);
  EXPECT_TRUE(IsWindowVisible(settingsPage) && !IsWindowVisible(aboutPage));
  EXPECT_FALSE(applyEnabled()) << "switching pages is not a change";
  press(IDCANCEL);
  EXPECT_EQ(saver->exitCode(10000), 0);
  EXPECT_EQ(storedSetting("Stars Amount"), 30001u) << "opening corrects in memory only";
}

TEST_F(ConfigDialog, ShowStarsAndShowInformationSwitchTheirDependantsWhoseStateOkStillSaves) {
  writeDefaultSettings({{"Smooth Stars", 0}, {"Texture Quality", 0}});
  ASSERT_TRUE(open());
  const auto stars = {IDC_SMOOTH_STARS, IDC_AMOUNT_LABEL, IDC_STARS_AMOUNT}, info = {IDC_SHOW_FPS, IDC_SHOW_TIME};
  ASSERT_EQ(enabled(stars) + enabled(info), 5);
  click(IDC_SMOOTH_STARS);  // on, then its frame off
  click(IDC_SHOW_STARS);
  EXPECT_EQ(enabled(stars), 0);
  EXPECT_EQ(enabled(info), 2) << "the information frame does not follow the stars";
  click(IDC_SHOW_INFO);
  EXPECT_EQ(enabled(info), 0);
  click(IDC_SHOW_STARS);
  EXPECT_EQ(enabled(stars), 3) << "the stars frame does not follow the information";
  click(IDC_SHOW_INFO);
  EXPECT_EQ(enabled(stars) + enabled(info), 5);
  click(IDC_SHOW_STARS);
  click(IDC_SHOW_TIME);  // off, then its frame off
  click(IDC_SHOW_INFO);
  choose(IDC_QUALITY, 2);  // "High"
  press(IDOK);
  EXPECT_EQ(saver->exitCode(10000), 1);
  EXPECT_EQ(storedSetting("Texture Quality"), 2u);
  for (const char* off : {"Show Stars", "Show Info", "Show Time"}) EXPECT_EQ(storedSetting(off), 0u) << off;
  for (const char* on : {"Smooth Stars", "Show FPS"}) EXPECT_EQ(storedSetting(on), 1u) << on;
}

// Tab and Shift+Tab run through every enabled control of the settings page and the dialog, the tab control among
// them, whose arrow keys switch the pages. A mouse click on Apply gives it the focus, then disables it: Escape and
// Return must still end the dialog.
TEST_F(ConfigDialog, TheKeyboardReachesEveryControlAndStillEndsTheDialogAfterApply) {
  for (const auto& [ending, code] : {std::pair<BYTE, int>{VK_ESCAPE, 0}, {VK_RETURN, 1}}) {
    ASSERT_TRUE(open());
    ASSERT_TRUE(toFront());
    HWND ok = GetDlgItem(dialog, IDOK);
    for (int i = 0; ending == VK_ESCAPE && i < 20 && focus() != ok; ++i) key(VK_TAB);
    std::vector<HWND> forward, backward;
    while (ending == VK_ESCAPE && (forward.empty() || forward.back() != ok) && forward.size() < 20) {
      key(VK_TAB);
      forward.push_back(focus());
    }
    while (ending == VK_ESCAPE && (backward.empty() || backward.front() != ok) && backward.size() < 20) {
      key(VK_TAB, true);
      backward.insert(backward.begin(), focus());
    }
    if (ending == VK_ESCAPE) {  // twelve settings, the tab control, Cancel and OK (Apply is disabled), both ways
      EXPECT_EQ(forward.size(), 15u);
      std::rotate(backward.begin(), backward.begin() + 1, backward.end());
      EXPECT_EQ(forward, backward);
      for (HWND control : {item(IDC_SHOW_EARTH), item(IDC_STARS_AMOUNT), item(IDC_QUALITY), tabs})
        EXPECT_EQ(std::count(forward.begin(), forward.end(), control), 1) << GetDlgCtrlID(control);
      key(VK_TAB);  // from OK, past the disabled Apply
      ASSERT_EQ(focus(), tabs);
      key(VK_RIGHT);
      EXPECT_TRUE(IsWindowVisible(aboutPage));
      key(VK_LEFT);
      EXPECT_TRUE(IsWindowVisible(settingsPage));
    }
    click(IDC_SHOW_EARTH);
    RECT apply;
    GetWindowRect(GetDlgItem(dialog, IDC_APPLY), &apply);
    SetCursorPos((apply.left + apply.right) / 2, (apply.top + apply.bottom) / 2);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    ASSERT_TRUE(waitUntil([&] { return !applyEnabled(); }, 3000));
    EXPECT_EQ(focus(), ok) << "the disabled Apply had the focus: OK takes it";
    key(ending);
    EXPECT_EQ(saver->exitCode(5000), code) << "key " << int(ending);
  }
}

// The pointer is a hand over the two links, and over other texts the page's own (cursor handles are the other
// process's, so shapes are told apart by comparison).
TEST_F(ConfigDialog, TheHandCursorShowsOverTheLinksOnly) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(toFront());
  SendMessageA(tabs, TCM_SETCURFOCUS, 1, 0);
  const auto cursorOver = [&](HWND control, int x = -1) {
    RECT r;
    GetWindowRect(control, &r);
    SetCursorPos(x < 0 ? (r.left + r.right) / 2 : r.left + x, x < 0 ? (r.top + r.bottom) / 2 : r.top + x);
    waitUntil([] { return false; }, 300);
    CURSORINFO info = {sizeof info, 0, nullptr, {}};
    GetCursorInfo(&info);
    return info.hCursor;
  };
  const HCURSOR page = cursorOver(aboutPage, 2), link = cursorOver(GetDlgItem(aboutPage, IDC_WEB_LINK));
  EXPECT_NE(link, page);
  EXPECT_EQ(cursorOver(GetDlgItem(aboutPage, IDC_MAIL_LINK)), link);
  EXPECT_EQ(cursorOver(FindWindowExA(aboutPage, nullptr, "Static", "Contact / Report bugs:")), page);
}

// With the key unreadable: one message over the dialog, which then shows what the settings hold before any load
// (the trackbars keep their ranges); a failed OK says so over the disabled dialog, which stays open for Cancel.
TEST_F(ConfigDialog, WithTheKeyLockedItShowsTheValuesBeforeAnyLoadAndAFailedSaveIsNoConfirmation) {
  LockedSettingsKey locked;
  std::vector<std::string> shown;  // message boxes: text, and whether the dialog owned it and was disabled
  const auto dismissBox = [&](DWORD timeoutMs) {
    HWND box = waitForWindow("#32770", "Error", saver->id(), timeoutMs), owner = GetWindow(box, GW_OWNER);
    if (!box) return false;
    waitUntil([&] { return GetDlgItem(box, 0xFFFF) != nullptr; }, 3000);
    shown.push_back(windowText(GetDlgItem(box, 0xFFFF)) +
                    (windowText(owner) == "Tavrin Screen Saver Configurator" ? " over the dialog" : " elsewhere") +
                    (IsWindowEnabled(owner) ? "" : ", disabled"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return waitUntil([&] { return !IsWindow(box); }, 5000);
  };
  saver = std::make_unique<ChildProcess>();
  ASSERT_TRUE(saver->start("/c"));
  ASSERT_TRUE(dismissBox(10000));
  ASSERT_TRUE(open(nullptr));  // the dialog of the running process
  EXPECT_FALSE(dismissBox(500)) << "a second message";
  for (int box : {IDC_SHOW_EARTH, IDC_SHOW_STARS, IDC_SMOOTH_STARS, IDC_SHOW_INFO, IDC_SHOW_FPS, IDC_SHOW_TIME})
    EXPECT_TRUE(checked(box)) << box;
  EXPECT_FALSE(checked(IDC_RANDOM_CAMERA));
  EXPECT_EQ(send(IDC_STARS_AMOUNT, TBM_GETPOS), 20000);
  EXPECT_EQ(send(IDC_ANIMATION_SPEED, TBM_GETPOS), 1);
  EXPECT_EQ(send(IDC_CAMERA_SPEED, TBM_GETPOS), 1);
  EXPECT_EQ(windowText(item(IDC_FILTRATION)), "Linear");
  EXPECT_EQ(windowText(item(IDC_QUALITY)), "Low");
  click(IDC_SHOW_EARTH);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(dismissBox(10000));
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(dialog) != FALSE; }, 3000)) << "the dialog stays for Cancel";
  EXPECT_TRUE(applyEnabled()) << "nothing was stored";
  press(IDCANCEL);
  EXPECT_EQ(saver->exitCode(10000), 0);
  EXPECT_EQ(shown, (std::vector<std::string>{"Failed to open regestry key! over the dialog, disabled",
                                             "Failed to open regestry key! over the dialog, disabled"}));
}

// Each trackbar first: a drag is a change only once it ends.
TEST_F(ConfigDialog, ApplyComesWithAChangeWritesAllTwelveValuesDisablesItselfAndSurvivesCancel) {
  ASSERT_TRUE(open());
  const std::pair<int, int> drags[] = {{IDC_STARS_AMOUNT, 25000}, {IDC_ANIMATION_SPEED, 1}, {IDC_CAMERA_SPEED, 100}};
  for (const auto& [control, to] : drags) {
    drag(control, 45);
    drag(control, to);
    EXPECT_FALSE(applyEnabled()) << control;
    drag(control, to, TB_ENDTRACK);
    EXPECT_TRUE(applyEnabled()) << control;
    press(IDC_APPLY);
    EXPECT_FALSE(applyEnabled()) << control;
  }
  for (int box : {IDC_SHOW_EARTH, IDC_SMOOTH_STARS, IDC_RANDOM_CAMERA, IDC_SHOW_FPS}) click(box);
  choose(IDC_FILTRATION, 0);
  choose(IDC_QUALITY, 1);
  deleteSettingsKey();  // gone behind the dialog's back: Apply writes every value, changed or not
  press(IDC_APPLY);
  EXPECT_FALSE(applyEnabled());
  const std::pair<const char*, DWORD> expected[] = {
      {"Show Earth", 0},      {"Show Stars", 1},     {"Smooth Stars", 0},       {"Stars Amount", 25000},
      {"Random Camera", 0},   {"Show Info", 1},      {"Show FPS", 0},           {"Show Time", 1},
      {"Animation Speed", 1}, {"Camera Speed", 100}, {"Texture Filtartion", 0}, {"Texture Quality", 1}};
  for (const auto& [name, value] : expected) EXPECT_EQ(storedSetting(name), value) << name << " after Apply";
  press(IDCANCEL);
  EXPECT_EQ(saver->exitCode(10000), 0);
  for (const auto& [name, value] : expected) EXPECT_EQ(storedSetting(name), value) << name << " after Cancel";
}

// The given window owns the dialog, else the one in front; with no argument none (Wine takes small numbers as handles'
// low bits: a free one is found). OK untouched, Cancel, Escape, the close box write nothing of the dialog's.
TEST_F(ConfigDialog, TheGivenWindowOrElseTheForegroundWindowOwnsTheDialogAndOkUntouchedWritesNothing) {
  // Two windows standing in for the control panel: one in front, the other given by its handle.
  HWND windows[2];
  for (HWND& w : windows)
    w = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200, 0, 0, 0, 0);
  const HWND front = windows[0], other = windows[1];
  uintptr_t noWindow = 1234;
  while (IsWindow(HWND(noWindow))) ++noWindow;
  const std::string given = std::to_string(uintptr_t(other));
  // The given window's case comes late: its dialog's end makes it active again, in its own time.
  const std::pair<std::string, HWND> cases[] = {{"/c:0", front},        {"/c:" + std::to_string(noWindow), front},
                                                {"/c " + given, front}, {"/c", front},
                                                {"-C", front},          {"/c:" + given, other},
                                                {"", nullptr}};
  const std::tuple<UINT, WPARAM, int> endings[] = {
      {WM_COMMAND, IDOK, 1}, {WM_COMMAND, IDCANCEL, 0}, {WM_KEYDOWN, VK_ESCAPE, 0}, {WM_SYSCOMMAND, SC_CLOSE, 0}};
  for (size_t i = 0; i < sizeof cases / sizeof *cases; ++i) {
    const auto& [arguments, owner] = cases[i];
    const auto& [message, request, code] = endings[i % 4];
    SCOPED_TRACE("[" + arguments + "]");
    SetForegroundWindow(front);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == front; }, 2000));
    ASSERT_TRUE(open(arguments.c_str()));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
    EXPECT_TRUE(!owner || !IsWindowEnabled(owner)) << "modal to its owner";
    writeSetting("Camera Speed", DWORD(40 + i));
    if (request != IDOK) click(IDC_SHOW_EARTH);
    PostMessageA(dialog, message, request, 0);
    EXPECT_EQ(saver->exitCode(10000), code);
    EXPECT_EQ(storedSetting("Camera Speed"), 40 + i);
  }
  for (HWND window : windows) DestroyWindow(window);  // left behind, one could still be in front later
}

}  // namespace
