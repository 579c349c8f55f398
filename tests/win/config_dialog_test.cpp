// The real tavrin.scr /c driven with the messages and input a user's clicks and keys produce; controls, registry and
// exit code read back. A dialog's values are compared whole, in the settings table's order.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/settings.h"
#include "res/resource_ids.h"
#include "tests/support/test_support_win.h"

using namespace harness;
using Numbers = std::vector<long>;

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
  // What the settings' controls show, in the table's order: 1 or 0 for a box, a trackbar's position, a list's index.
  Numbers shown() const {
    Numbers values;
    for (const SettingRow& row : settingRows) {
      char name[32] = {};
      GetClassNameA(item(row.control.id), name, sizeof name);
      const std::string kind = name;
      const UINT query = kind == "Button" ? BM_GETCHECK : kind == "ComboBox" ? CB_GETCURSEL : TBM_GETPOS;
      values.push_back(send(row.control.id, query));
    }
    return values;
  }
  static Numbers stored() {
    Numbers values;
    for (const SettingRow& row : settingRows) values.push_back(long(storedSetting(row.name)));
    return values;
  }
  int enabled(std::initializer_list<int> ids) const {
    return int(std::count_if(ids.begin(), ids.end(), [&](int c) { return IsWindowEnabled(item(c)); }));
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
  HWND focus() const {  // the dialog's, read from this process
    GUITHREADINFO info = {sizeof info, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
    GetGUIThreadInfo(saver->threadId(), &info);
    return info.hwndFocus;
  }
  void key(BYTE code, bool shift = false) const {  // a real key press, then time for the dialog to take it
    if (shift) keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(code, 0, 0, 0);
    keybd_event(code, 0, KEYEVENTF_KEYUP, 0);
    if (shift) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    waitUntil([] { return false; }, 150);
  }
  // The screen's red beside the tab control, below a window of a page and inside it, at its top right.
  std::vector<int> background(HWND window) const {
    RECT inner, tab;
    GetWindowRect(window, &inner), GetWindowRect(tabs, &tab), waitUntil([] { return false; }, 300);  // painted
    const auto red = [](LONG x, LONG y) { return int(captureScreen({x, y, x + 1, y + 1}).red(0, 0)); };
    return {red(tab.left - 4, tab.top + 100), red(inner.left + 10, inner.bottom), red(inner.right - 3, inner.top + 3)};
  }
  bool toFront() const {
    SetForegroundWindow(dialog);
    return waitUntil([&] { return GetForegroundWindow() == dialog; }, 3000);
  }

  std::unique_ptr<ChildProcess> saver;
  HWND dialog = nullptr, tabs = nullptr, settingsPage = nullptr, aboutPage = nullptr;
};

// Owned by the foreground window when /c names no window. Only exactly 1 is on; out of range, the stars' 30001 is 10000
// and the filtration's 3 is 2 (in memory only). The trackbars take their ranges and pages, the stars' dependants follow
// " Show Stars", switching tabs is no change. Each page has the themed tab's background.
TEST_F(ConfigDialog, ShowsTheStoredValuesAsTheRulesReadThemWithApplyDisabledAndTheAboutTabPagesOnTheTabsBackground) {
  writeDefaultSettings({{"Show Earth", 0},
                        {"Show Stars", 2},
                        {"Stars Amount", 30001},
                        {"Camera Speed", 77},
                        {"Texture Filtartion", 3},
                        {"Texture Quality", 0},
                        {"Show FPS", 0}});
  HWND foreground = createTestWindow(DefWindowProcA, WS_OVERLAPPEDWINDOW, 200, 100, SW_SHOW);
  ASSERT_TRUE(open("/c:1"));  // no window has the handle 1
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), foreground);
  EXPECT_EQ(shown(), (Numbers{0, 0, 1, 10000, 1, 1, 1, 0, 30, 77, 2, 0}));
  const auto items = [&](int list) {  // a list's texts in order, as wide text (Wine widens them across processes)
    std::string texts;
    for (LRESULT i = 0, count = send(list, CB_GETCOUNT); i < count; ++i) {
      wchar_t text[32] = {};
      SendMessageW(item(list), CB_GETLBTEXT, WPARAM(i), LPARAM(text));
      texts.append(text, text + wcslen(text)).append(" ");
    }
    return texts;
  };
  EXPECT_EQ(items(IDC_FILTRATION) + items(IDC_QUALITY), "Linear Bilinear Trilinear Low Medium High ");
  Numbers ranges;  // low, high and page size of each trackbar
  for (int bar : {IDC_STARS_AMOUNT, IDC_ANIMATION_SPEED, IDC_CAMERA_SPEED})
    for (UINT query : {TBM_GETRANGEMIN, TBM_GETRANGEMAX, TBM_GETPAGESIZE}) ranges.push_back(long(send(bar, query)));
  EXPECT_EQ(ranges, (Numbers{3000, 30000, 100, 1, 100, 1, 1, 100, 1}));
  EXPECT_EQ(enabled({IDC_SMOOTH_STARS, IDC_AMOUNT_LABEL, IDC_STARS_AMOUNT, IDC_SHOW_FPS}), 1) << "stars are off";
  EXPECT_FALSE(applyEnabled());
  ASSERT_TRUE(toFront());
  const std::vector<int> themed = {245, 255, 255};  // Wine's own style (on in a new prefix): face grey, tab body white
  EXPECT_EQ(background(settingsPage), themed) << "the page, below it the tab's body";
  SendMessageA(tabs, TCM_SETCURFOCUS, 1, 0);  // without TCS_BUTTONS a new focus is a new choice, as a click's
  EXPECT_FALSE(IsWindowVisible(settingsPage)) << "the about page alone";
  EXPECT_EQ(background(GetDlgItem(aboutPage, IDC_WEB_LINK)), themed) << "the about page, and the link's rest";
  EXPECT_FALSE(applyEnabled()) << "switching pages is not a change";
  press(IDOK);
  EXPECT_EQ(saver->exitCode(10000), 1);
  EXPECT_EQ(storedSetting("Stars Amount"), 30001u) << "OK on an untouched dialog writes nothing";
  DestroyWindow(foreground);
}

// Tab and Shift+Tab run through every enabled control of the settings page and the dialog, the tab control among
// them. A mouse click on Apply gives it the focus, then disables it: Escape and
// Return must still end the dialog; neither then writes anything more (Cancel leaves what Apply wrote).
TEST_F(ConfigDialog, TheKeyboardReachesEveryControlAndStillEndsTheDialogAfterApply) {
  for (const auto& [ending, code] : {std::pair<BYTE, int>{VK_ESCAPE, 0}, {VK_RETURN, 1}}) {
    ASSERT_TRUE(open());
    ASSERT_TRUE(toFront());
    HWND ok = GetDlgItem(dialog, IDOK);
    std::vector<HWND> forward, backward;
    for (int i = 0; ending == VK_ESCAPE && i < 20 && focus() != ok; ++i) key(VK_TAB);
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
    }
    click(IDC_SHOW_EARTH);
    RECT apply;
    GetWindowRect(GetDlgItem(dialog, IDC_APPLY), &apply);
    SetCursorPos((apply.left + apply.right) / 2, (apply.top + apply.bottom) / 2);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    ASSERT_TRUE(waitUntil([&] { return !applyEnabled(); }, 3000));
    EXPECT_EQ(focus(), ok) << "the disabled Apply had the focus: OK takes it";
    writeSetting("Show Earth", 7);  // behind the dialog's back
    key(ending);
    EXPECT_EQ(saver->exitCode(5000), code) << "key " << int(ending);
    EXPECT_EQ(storedSetting("Show Earth"), 7u) << "key " << int(ending);
  }
}

// The pointer is a hand over the two links, and over other texts the page's own (cursor handles are the other
// process's, so shapes are told apart by comparison). A click has the shell open the link's own address, the web one
// through the system's explorer, never an explorer.exe (a probe too) planted beside the downloaded probe, which passes
// the calls on (Wine's explorer to winebrowser, given no browser or mailer). COM is ready before any click.
TEST_F(ConfigDialog, TheLinksShowTheHandAndOpenTheirOwnAddressesThroughTheSystemsShellOnly) {
  const std::string folder = siblingPath("downloads-links"), copy = folder + "\\probe.scr", log = folder + "\\log";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const std::string& name : {copy, folder + "\\explorer.exe"})
    ASSERT_TRUE(CopyFileA(siblingPath("tavrin_probe.scr").c_str(), name.c_str(), FALSE));
  DeleteFileA(log.c_str());
  for (const char* program : {"Browsers", "Mailers"}) writeValue("Software\\Wine\\WineBrowser", program, REG_SZ, "", 1);
  saver = std::make_unique<ChildProcess>();
  ASSERT_TRUE(saver->start("/c", copy, {{"TAVRIN_PROBE_LOG", log}, {"TAVRIN_PROBE_SHELL", "open"}}));
  ASSERT_TRUE(open(nullptr));
  EXPECT_EQ(linesStartingWith(log, "com "), std::vector<std::string>{"com 6"}) << "apartment-threaded, no OLE1 DDE";
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
  HWND web = GetDlgItem(aboutPage, IDC_WEB_LINK), mail = GetDlgItem(aboutPage, IDC_MAIL_LINK);
  const HCURSOR page = cursorOver(aboutPage, 2), link = cursorOver(web);
  EXPECT_NE(link, page);
  EXPECT_EQ(cursorOver(mail), link);
  EXPECT_EQ(cursorOver(FindWindowExA(aboutPage, nullptr, "Static", "Contact / Report bugs:")), page);
  for (HWND target : {web, mail}) {
    cursorOver(target);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  }
  waitUntil([&] { return linesStartingWith(log, "shell ").size() == 2; }, 3000);
  EXPECT_EQ(linesStartingWith(log, "shell "),
            (std::vector<std::string>{"shell open C:\\windows\\explorer.exe https://visibleearth.nasa.gov/ 1",
                                      "shell open mailto:" + windowText(mail) + " - 1"}));
  waitUntil([&] { return linesStartingWith(log, "start ").size() > 1; }, 2000);
  EXPECT_EQ(linesStartingWith(log, "start "), std::vector<std::string>{"start probe.scr"}) << "the planted one ran";
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser");
}

// With the key unreadable: one message over the dialog, which then shows what the settings hold before any read
// (the speed trackbars keep their range's 1); a failed OK says so over the disabled dialog, which stays for Cancel.
TEST_F(ConfigDialog, WithTheKeyLockedItShowsTheValuesBeforeAnyReadAndAFailedSaveIsNoConfirmation) {
  LockedSettingsKey locked;
  std::vector<std::string> boxes;  // text, and whether the dialog owned the box and was disabled meanwhile
  const auto dismissBox = [&](DWORD timeoutMs) {
    HWND box = waitForWindow("#32770", "Error", saver->id(), timeoutMs), owner = GetWindow(box, GW_OWNER);
    if (!box || !waitUntil([&] { return GetDlgItem(box, 0xFFFF) != nullptr; }, 3000)) return false;
    const bool dialogs = windowText(owner) == "Tavrin Screen Saver Configurator" && !IsWindowEnabled(owner);
    boxes.push_back(windowText(GetDlgItem(box, 0xFFFF)) + (dialogs ? " over the disabled dialog" : " elsewhere"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return waitUntil([&] { return !IsWindow(box); }, 5000);
  };
  saver = std::make_unique<ChildProcess>();
  ASSERT_TRUE(saver->start("/c"));
  ASSERT_TRUE(dismissBox(10000));
  ASSERT_TRUE(open(nullptr));
  EXPECT_FALSE(dismissBox(500)) << "a second message";
  EXPECT_EQ(shown(), (Numbers{1, 1, 1, 20000, 0, 1, 1, 1, 1, 1, 0, 0}));
  click(IDC_SHOW_EARTH);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(dismissBox(10000));
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(dialog) != FALSE; }, 3000)) << "the dialog stays for Cancel";
  EXPECT_TRUE(applyEnabled()) << "nothing was stored";
  press(IDCANCEL);
  EXPECT_EQ(saver->exitCode(10000), 0);
  EXPECT_EQ(boxes, std::vector<std::string>(2, "Failed to open regestry key! over the disabled dialog"));
}

// A drag is a change only once it ends; each frame's box enables its own dependants only. Apply writes all (the key
// deleted behind the dialog's back), a disabled control's state too; a list's choice is a change, which OK saves.
TEST_F(ConfigDialog, ApplyComesWithAChangeAndWritesAllTwelveValuesTheDependantsFollowTheirBoxAndOkSavesAList) {
  ASSERT_TRUE(open());
  const std::pair<int, int> drags[] = {{IDC_STARS_AMOUNT, 25000}, {IDC_ANIMATION_SPEED, 1}, {IDC_CAMERA_SPEED, 100}};
  for (const auto& [control, to] : drags) {
    drag(control, to);
    EXPECT_FALSE(applyEnabled()) << control;
    drag(control, to, TB_ENDTRACK);
    EXPECT_TRUE(applyEnabled()) << control;
    press(IDC_APPLY);  // and disabled again: the next drag's first check
  }
  const auto stars = {IDC_SMOOTH_STARS, IDC_AMOUNT_LABEL, IDC_STARS_AMOUNT}, info = {IDC_SHOW_FPS, IDC_SHOW_TIME};
  click(IDC_SHOW_STARS);
  EXPECT_EQ(enabled(stars), 0);
  EXPECT_EQ(enabled(info), 2);
  click(IDC_SHOW_INFO);
  EXPECT_EQ(enabled(info), 0);
  click(IDC_SHOW_STARS);
  EXPECT_EQ(enabled(stars), 3);
  for (int box : {IDC_SHOW_EARTH, IDC_SMOOTH_STARS, IDC_RANDOM_CAMERA, IDC_SHOW_FPS}) click(box);  // FPS disabled
  choose(IDC_FILTRATION, 0);
  deleteSettingsKey();
  press(IDC_APPLY);
  EXPECT_EQ(stored(), (Numbers{0, 1, 0, 25000, 0, 0, 1, 0, 1, 100, 0, 2}));
  choose(IDC_QUALITY, 1);
  EXPECT_TRUE(applyEnabled()) << "a list's choice";
  press(IDOK);
  EXPECT_EQ(saver->exitCode(10000), 1);
  EXPECT_EQ(storedSetting("Texture Quality"), 1u);
}

// At the session's display scale (tools/wine-run-dpi.sh: 96, 144 or 192 DPI; Wine stretches nothing, so what is seen
// is what Windows stretches). The real saver's dialog is unaware of it, laid out as at 96 DPI (read by an unaware
// thread): the pages in the tab's display area, the picture filling its edge beside the tab control. Without
// SetThreadDpiAwarenessContext (hidden, as on Windows 7 to 10 before 1607) the picture grows with the dialog.
class ConfigDialogScale : public ConfigDialog {};
TEST_F(ConfigDialogScale, UnawareTheDialogIsLaidOutAsAt96DpiAndWithoutThatThePictureGrowsWithIt) {
  const UINT dpi = std::getenv("TAVRIN_DPI") ? UINT(std::atoi(std::getenv("TAVRIN_DPI"))) : 96;
  const auto useContext = reinterpret_cast<DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  const RECT page = {205, 30, 666, 334};
  const RECT picture = dpi == 192 ? RECT{0, 0, 330, 800} : dpi == 144 ? RECT{0, 0, 248, 600} : RECT{0, 0, 165, 400};
  for (const char* program : {"tavrin.scr", "tavrin_probe.scr"}) {
    const bool unaware = program == std::string("tavrin.scr");
    saver = std::make_unique<ChildProcess>();
    ASSERT_TRUE(saver->start("/c", siblingPath(program), {{"TAVRIN_PROBE_HIDE", "SetThreadDpiAwarenessContext"}}));
    ASSERT_TRUE(open(nullptr));
    ASSERT_TRUE(useContext &&
                useContext(unaware ? DPI_AWARENESS_CONTEXT_UNAWARE : DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE));
    std::vector<RECT> rects(1);  // in the client area: itself, the picture, the tab control, both pages, OK
    GetClientRect(dialog, &rects[0]);
    for (HWND window : {GetDlgItem(dialog, 0xFFFF), tabs, settingsPage, aboutPage, GetDlgItem(dialog, IDOK)}) {
      GetWindowRect(window, &rects.emplace_back());
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rects.back()), 2);
    }
    if (unaware) {
      EXPECT_EQ(rects, (std::vector<RECT>{
                           {0, 0, 679, 374}, {0, 0, 165, 400}, {203, 8, 670, 338}, page, page, {397, 345, 485, 368}}));
    } else {
      EXPECT_EQ(rects[1], picture);
    }
    EXPECT_TRUE(rects[1].bottom >= rects[0].bottom && rects[1].right <= rects[2].left) << program;
  }
}

}  // namespace
