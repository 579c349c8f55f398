// The configuration dialog of the real tavrin.scr, driven from outside with the messages a
// user's clicks produce, read back from its controls, the registry and the exit code.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "res/resource_ids.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

DWORD stored(const char* name) {
  DWORD value = 0xBAADF00D, type = 0;
  EXPECT_TRUE(readSetting(name, &value, &type) && type == REG_DWORD) << name;
  return value;
}

class ConfigDialog : public ::testing::Test {
 protected:
  void SetUp() override { writeDefaultSettings(); }
  void TearDown() override {
    saver.reset();
    deleteSettingsKey();
  }

  // Starts tavrin.scr (ending one still running) and waits for the dialog's pages.
  bool open(const std::string& arguments = "/c") {
    saver = std::make_unique<ChildProcess>();
    settingsPage = aboutPage = nullptr;
    dialog = saver->start(arguments) ? waitForWindow("#32770", "Tavrin Screen Saver Configurator", saver->id(), 10000)
                                     : nullptr;
    const auto opened = [&] {
      tabs = GetDlgItem(dialog, IDC_TABS);
      for (HWND page = GetWindow(tabs, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT)) {
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
    int count = 0;
    for (int control : controls) count += IsWindowEnabled(item(control)) != FALSE;
    return count;
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
  int exitCode() { return saver->waitForExit(10000, &code) ? int(code) : 1000; }  // 1000: did not end

  std::unique_ptr<ChildProcess> saver;
  HWND dialog = nullptr, tabs = nullptr, settingsPage = nullptr, aboutPage = nullptr;
  DWORD code = 0;
};

using ConfigOpening = ConfigDialog;

TEST_F(ConfigOpening, ShowsTheStoredValuesAsTheStoreCorrectsThemWithApplyDisabledAndTheAboutTab) {
  // Only exactly 1 is on; out of range, the stars' 30001 is 10000 and the filtration's 3 is 2.
  const std::pair<const char*, DWORD> values[] = {
      {"Show Earth", 0},         {"Show Stars", 2},      {"Stars Amount", 30001}, {"Camera Speed", 77},
      {"Texture Filtartion", 3}, {"Texture Quality", 0}, {"Show FPS", 0}};
  for (const auto& [name, value] : values) writeSetting(name, value);
  ASSERT_TRUE(open());
  EXPECT_FALSE(checked(IDC_SHOW_EARTH) || checked(IDC_SHOW_STARS) || checked(IDC_SHOW_FPS));
  EXPECT_TRUE(checked(IDC_SMOOTH_STARS) && checked(IDC_RANDOM_CAMERA) && checked(IDC_SHOW_INFO) &&
              checked(IDC_SHOW_TIME));
  EXPECT_EQ(send(IDC_STARS_AMOUNT, TBM_GETPOS), 10000);
  EXPECT_EQ(send(IDC_CAMERA_SPEED, TBM_GETPOS), 77);
  EXPECT_EQ(windowText(item(IDC_FILTRATION)), "Trilinear");
  EXPECT_EQ(windowText(item(IDC_QUALITY)), "Low");
  EXPECT_EQ(enabled({IDC_SMOOTH_STARS, IDC_AMOUNT_LABEL, IDC_STARS_AMOUNT, IDC_SHOW_FPS}), 1) << "stars are off";
  EXPECT_FALSE(applyEnabled());
  // Without TCS_BUTTONS a new focus is a new choice, notified as a click's.
  SendMessageA(tabs, TCM_SETCURFOCUS, 1, 0);
  EXPECT_TRUE(IsWindowVisible(aboutPage) && !IsWindowVisible(settingsPage));
  SendMessageA(tabs, TCM_SETCURFOCUS, 0, 0);
  EXPECT_TRUE(IsWindowVisible(settingsPage) && !IsWindowVisible(aboutPage));
  EXPECT_FALSE(applyEnabled()) << "switching pages is not a change";
  press(IDCANCEL);
  EXPECT_EQ(exitCode(), 0);
  EXPECT_EQ(stored("Stars Amount"), 30001u) << "opening corrects in memory only";
}

using ConfigDependents = ConfigDialog;

TEST_F(ConfigDependents, ShowStarsAndShowInformationSwitchTheirDependantsWhoseStateOkStillSaves) {
  writeSetting("Smooth Stars", 0);
  writeSetting("Texture Quality", 0);
  ASSERT_TRUE(open());
  const auto stars = {IDC_SMOOTH_STARS, IDC_AMOUNT_LABEL, IDC_STARS_AMOUNT}, info = {IDC_SHOW_FPS, IDC_SHOW_TIME};
  ASSERT_EQ(enabled(stars) + enabled(info), 5);
  click(IDC_SMOOTH_STARS);  // on, then its frame off
  click(IDC_SHOW_STARS);
  EXPECT_EQ(enabled(stars), 0);
  click(IDC_SHOW_INFO);
  EXPECT_EQ(enabled(info), 0);
  click(IDC_SHOW_STARS);
  click(IDC_SHOW_INFO);
  EXPECT_EQ(enabled(stars) + enabled(info), 5);
  click(IDC_SHOW_STARS);
  click(IDC_SHOW_TIME);  // off, then its frame off
  click(IDC_SHOW_INFO);
  choose(IDC_QUALITY, 2);  // "High"
  press(IDOK);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(stored("Texture Quality"), 2u);
  for (const char* off : {"Show Stars", "Show Info", "Show Time"}) EXPECT_EQ(stored(off), 0u) << off;
  for (const char* on : {"Smooth Stars", "Show FPS"}) EXPECT_EQ(stored(on), 1u) << on;
}

using ConfigApply = ConfigDialog;

// Each trackbar first: a drag is a change only once it ends.
TEST_F(ConfigApply, ApplyComesWithAChangeWritesAllTwelveValuesDisablesItselfAndSurvivesCancel) {
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
  for (const char* after : {"Apply", "Cancel"}) {
    if (after[0] == 'C') {
      press(IDCANCEL);
      EXPECT_EQ(exitCode(), 0);
    }
    for (const auto& [name, value] : expected) EXPECT_EQ(stored(name), value) << name << " after " << after;
  }
}

using ConfigModes = ConfigDialog;

// The given window owns the dialog, else the window in front; with no argument none. A number
// that names no window is found first (Wine takes small numbers as handles' low bits).
TEST_F(ConfigModes, TheGivenWindowOrElseTheForegroundWindowOwnsTheDialog) {
  // Two windows standing in for the control panel: one in front, the other given by its handle.
  const HWND windows[2] = {
      CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200, 0, 0, 0, 0),
      CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200, 0, 0, 0, 0)};
  const HWND front = windows[0], other = windows[1];
  uintptr_t noWindow = 1234;
  while (IsWindow(HWND(noWindow))) ++noWindow;
  const std::string given = std::to_string(uintptr_t(other));
  // The given window's case comes late: its dialog's end makes it active again, in its own time.
  const std::pair<std::string, HWND> cases[] = {{"/c:0", front},        {"/c:" + std::to_string(noWindow), front},
                                                {"/c " + given, front}, {"/c", front},
                                                {"-C", front},          {"/c:" + given, other},
                                                {"", nullptr}};
  for (const auto& [arguments, owner] : cases) {
    SetForegroundWindow(front);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == front; }, 2000));
    ASSERT_TRUE(open(arguments)) << "[" << arguments << "]";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner) << "[" << arguments << "]";
    EXPECT_TRUE(!owner || !IsWindowEnabled(owner)) << "modal to its owner [" << arguments << "]";
    press(IDCANCEL);
    EXPECT_EQ(exitCode(), 0) << "[" << arguments << "]";
  }
  for (HWND window : windows) DestroyWindow(window);  // left behind, one could still be in front later
}

// OK without a change, Escape and the close box after one write nothing; OK ends with 1.
TEST_F(ConfigModes, OkUntouchedEscapeAndTheCloseBoxWriteNothing) {
  const struct {
    UINT message;
    WPARAM request;
    int exitCode;
  } endings[] = {{WM_COMMAND, IDOK, 1}, {WM_KEYDOWN, VK_ESCAPE, 0}, {WM_SYSCOMMAND, SC_CLOSE, 0}};
  for (const auto& e : endings) {
    ASSERT_TRUE(open());
    writeSetting("Camera Speed", 55);
    if (e.message != WM_COMMAND) click(IDC_SHOW_EARTH);
    PostMessageA(dialog, e.message, e.request, 0);
    EXPECT_EQ(exitCode(), e.exitCode) << e.message;
    EXPECT_EQ(stored("Camera Speed"), 55u) << e.message;
  }
}

}  // namespace
