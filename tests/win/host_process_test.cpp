// The real tavrin.scr from outside: command lines and exit codes, the full-screen and preview windows and the input
// that ends them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "tools/harness/harness_win.h"

using namespace harness;

namespace {

// The full-screen saver, settled: its first frames drawn, the system's own move of the window done.
HWND startSaver(ChildProcess& saver, const std::string& program = saverPath(), const std::string& log = "",
                const char* probeModes = "") {
  writeDefaultSettings();
  HWND window = saver.start("/s", program, {{"TAVRIN_PROBE_LOG", log}, {"TAVRIN_PROBE", probeModes}})
                    ? waitForSaverWindow(saver.id())
                    : nullptr;
  Sleep(300);
  return window;
}
const auto frames = [](HWND window) { return reinterpret_cast<intptr_t>(GetPropA(window, "TavrinFrames")); };

// The probe's record of its cursor calls ("cursor 0" hides it) and of the system commands it passed on.
size_t hidings(const std::string& log) {
  const std::vector<std::string> lines = linesStartingWith(log, "cursor ");
  return size_t(std::count(lines.begin(), lines.end(), "cursor 0"));
}

// The probe: the saver with a frame counter, here with its frames taken away. Class and title: found by
// waitForSaverWindow; clip box: TwoMonitors. It comes to the front over the test's window, black before any frame
// is drawn, the grey window beneath hidden. The pointer is hidden: no class cursor, and hidden again on every cursor
// request.
TEST(FullScreenSaver, TopmostFrontBlackPopupThatASecondStartFrontsHidesThePointerAndOnlyFivePixelsOfTravelEnd) {
  ChildProcess saver;
  const std::string log = siblingPath("full-screen-probe.log");
  DeleteFileA(log.c_str());
  HWND beneath = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, 0, 0, 0, 0);
  SetForegroundWindow(beneath);
  HWND window = startSaver(saver, siblingPath("tavrin_probe.scr"), log, "noframes");
  ASSERT_NE(window, nullptr);
  // Wine activates every window it maps full screen, so only Windows can tell whether the saver asked.
  EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == window; }, 3000));
  const auto black = [] {
    const Screenshot shot = captureScreen({0, 0, 1024, 768});
    return *std::max_element(shot.bgr.begin(), shot.bgr.end()) == 0;
  };
  EXPECT_TRUE(waitUntil(black, 3000)) << "not black before the first frame";
  DestroyWindow(beneath);
  EXPECT_EQ(linesStartingWith(log, "class cursor "), std::vector<std::string>{"class cursor 0"});
  const size_t hidden = hidings(log);
  EXPECT_GE(hidden, 1u) << "hidden at creation";
  EXPECT_EQ(SendMessageA(window, WM_SETCURSOR, WPARAM(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  EXPECT_GT(hidings(log), hidden) << "hidden on request (the system may send requests of its own meanwhile)";
  ASSERT_TRUE(waitUntil([&] { return frames(window) > 0; }, 10000)) << "no frame tick at all";
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_POPUP | WS_VISIBLE | WS_CAPTION), WS_POPUP | WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);

  ChildProcess second;
  ASSERT_TRUE(second.start("/s"));
  EXPECT_EQ(second.exitCode(), 0);
  Sleep(400);
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(FindWindowExA(nullptr, window, "WindowsScreenSaverClass", "Screen Saver"), nullptr) << "a second window";

  // Neither the X buttons, the wheel, a key's release, a gained activation nor a request to suspend ends it.
  for (WPARAM button : {XBUTTON1, XBUTTON2}) PostMessageA(window, WM_XBUTTONDOWN, MAKEWPARAM(0, button), 0);
  for (UINT wheel : {WM_MOUSEWHEEL, WM_MOUSEHWHEEL}) PostMessageA(window, wheel, MAKEWPARAM(0, WHEEL_DELTA), 0);
  for (auto [message, w] :
       {std::pair<UINT, WPARAM>{WM_KEYUP, 'A'}, {WM_ACTIVATEAPP, TRUE}, {WM_POWER, PWR_SUSPENDREQUEST}})
    PostMessageA(window, message, w, 0);
  // The system's own bits (the low four) may be set: refused in every form.
  for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE, SC_NEXTWINDOW | 2, SC_SCREENSAVE | 0xF}) {
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, command, 0), 0) << command;
  }
  EXPECT_TRUE(linesStartingWith(log, "default syscommand ").empty()) << "refused, not passed on";
  POINT cursor;
  GetCursorPos(&cursor);
  // Each step small, none more than 4 pixels from the start; then 3 from the last position, 5 from the start.
  const POINT steps[] = {{2, 0}, {2, 1}, {1, 3}, {3, 2}};
  for (const POINT& step : steps) {
    Sleep(400);
    EXPECT_TRUE(saver.running()) << step.x << "," << step.y;
    SetCursorPos(cursor.x + step.x, cursor.y + step.y);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
  }
  EXPECT_EQ(saver.exitCode(), 0);
}

// What Windows broadcasts while the machine stays awake (a changed power source, every few per cent of a battery's
// charge, a low battery, a vendor's event, a changed power setting) leaves the saver drawing; going to sleep and each
// kind of waking end it with 0. Wine sends no power broadcasts: they are posted as Windows sends them.
TEST(FullScreenSaver, PowerBroadcastsWhileAwakeKeepItDrawingAndSleepOrWakeEndIt) {
  for (WPARAM ending : {PBT_APMSUSPEND, PBT_APMRESUMESUSPEND, PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMECRITICAL}) {
    ChildProcess saver;
    HWND window = startSaver(saver, siblingPath("tavrin_probe.scr"));
    ASSERT_NE(window, nullptr);
    for (WPARAM awake : {PBT_APMPOWERSTATUSCHANGE, PBT_APMBATTERYLOW, PBT_APMOEMEVENT, PBT_POWERSETTINGCHANGE})
      PostMessageA(window, WM_POWERBROADCAST, awake, 0);
    const intptr_t before = frames(window);
    EXPECT_TRUE(waitUntil([&] { return frames(window) > before + 10; }, 5000)) << "stopped drawing";
    PostMessageA(window, WM_POWERBROADCAST, ending, 0);
    EXPECT_EQ(saver.exitCode(), 0) << ending;
  }
}

// A key while the scene still starts (a message box's modal loop runs in the start, imitated by the probe) asks for
// a close that waits for the start, then ends the saver with 0.
TEST(FullScreenSaver, ACloseAskedWhileTheSceneStartsEndsItOnceTheStartIsOver) {
  const std::string log = siblingPath("starting-probe.log");
  DeleteFileA(log.c_str());
  writeDefaultSettings();
  ChildProcess saver;
  ASSERT_TRUE(
      saver.start("/s", siblingPath("tavrin_probe.scr"), {{"TAVRIN_PROBE_LOG", log}, {"TAVRIN_PROBE", "slowstart"}}));
  ASSERT_TRUE(waitUntil([&] { return !linesStartingWith(log, "start loop").empty(); }, 10000));
  PostMessageA(waitForSaverWindow(saver.id(), 0), WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(saver.exitCode(), 0);
}

// What the stand-in control panel was handed: each message with its wParam and lParam (0 for the help record's
// address), and the help record.
std::vector<std::tuple<UINT, WPARAM, LPARAM>> forwarded;
HELPINFO helpRecord;
LRESULT CALLBACK controlPanel(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HELP) helpRecord = *reinterpret_cast<HELPINFO*>(lParam);
  if (message == WM_HELP || message == WM_CONTEXTMENU)
    forwarded.emplace_back(message, wParam, message == WM_HELP ? 0 : lParam);
  return message == WM_HELP || message == WM_CONTEXTMENU ? 1 : DefWindowProcA(window, message, wParam, lParam);
}

// The parent stands in for the display control panel's preview monitor.
TEST(PreviewParent, PreviewStartsBesideAFullScreenSaverFillsTheParentIgnoresInputAndEndsWithIt) {
  HWND parent = createTestWindow(controlPanel, WS_OVERLAPPEDWINDOW, 160, 140, SW_SHOWNOACTIVATE);
  ChildProcess fullScreen, preview;
  ASSERT_NE(startSaver(fullScreen), nullptr);
  const std::string log = siblingPath("preview-probe.log");
  DeleteFileA(log.c_str());
  ASSERT_TRUE(preview.start("/p " + std::to_string(reinterpret_cast<uintptr_t>(parent)),
                            siblingPath("tavrin_probe.scr"), {{"TAVRIN_PROBE_LOG", log}}));
  HWND child = nullptr;
  // The window exists while the scene starts inside its creation; it shows once the start is done.
  ASSERT_TRUE(waitUntil(
      [&] {
        child = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", "Preview");
        return child && IsWindowVisible(child);
      },
      20000));
  fullScreen.kill();
  EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_CHILD);
  RECT childRect = {}, parentRect = {};
  GetClientRect(child, &childRect);
  GetClientRect(parent, &parentRect);
  EXPECT_EQ(childRect, parentRect);

  for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATEAPP, WM_POWERBROADCAST})
    PostMessageA(child, message, 0, 0);
  POINT p;
  GetCursorPos(&p);
  SetCursorPos(p.x + 50, p.y + 50);
  PostMessageA(child, WM_MOUSEMOVE, 0, 0);
  for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE}) SendMessageA(child, WM_SYSCOMMAND, command, 0);
  EXPECT_EQ(linesStartingWith(log, "default syscommand "),
            (std::vector<std::string>{"default syscommand f040", "default syscommand f050", "default syscommand f140"}))
      << "passed on in the preview, not refused";
  SendMessageA(child, WM_SETCURSOR, WPARAM(child), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(hidings(log), 0u) << "the control panel's pointer stays";
  // F1 and the context menu belong to the control panel: they reach it with its own handle, the help record whole.
  HELPINFO help = {sizeof help, HELPINFO_WINDOW, 1234, child, 77, {12, 34}};
  EXPECT_EQ(SendMessageA(child, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), 1);
  EXPECT_EQ(SendMessageA(child, WM_CONTEXTMENU, 0, MAKELPARAM(5, 6)), 1);
  waitUntil([] { return forwarded.size() >= 2; }, 500);
  EXPECT_EQ(forwarded,
            (decltype(forwarded){{WM_HELP, WPARAM(parent), 0}, {WM_CONTEXTMENU, WPARAM(parent), MAKELPARAM(5, 6)}}));
  EXPECT_EQ(std::memcmp(&helpRecord, &help, sizeof help), 0) << "the help record";
  EXPECT_TRUE(IsWindow(child)) << "input does not end a preview";
  DestroyWindow(parent);
  EXPECT_EQ(preview.exitCode(), 0);
}

// Each spelling through a copy of the saver in a folder with blanks, the program name quoted: -1 and no window for
// what is refused; for the saver a window that ends with 0 on a real key, the left, right or middle button, a system
// key, another program's activation, a critical resume or the machine going to sleep.
TEST(CommandLine, EachSpellingEndsWithItsCodeAndOnlyTheSaverShowsAWindowThatInputEnds) {
  const std::string folder = siblingPath("saver with blanks"), copy = folder + "\\tavrin copy.scr";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(saverPath().c_str(), copy.c_str(), FALSE));
  writeDefaultSettings();
  const char* const tails[] = {
      " /x", " /\ts", " 7",     " /p", " /p 0", " /p:1234", " /p 4294967295", " /\xe9",  // refused
      " /s", "/s",    " \t /s", " S",  " -s",   " //s",     " /scr",          " /s 1234"};
  const std::pair<UINT, WPARAM> endings[] = {{WM_KEYDOWN, 0},
                                             {WM_LBUTTONDOWN, 0},
                                             {WM_RBUTTONDOWN, 0},
                                             {WM_MBUTTONDOWN, 0},
                                             {WM_SYSKEYDOWN, VK_MENU},
                                             {WM_ACTIVATEAPP, FALSE},
                                             {WM_POWER, PWR_CRITICALRESUME},
                                             {WM_POWERBROADCAST, PBT_APMSUSPEND}};
  for (size_t i = 0; i < sizeof tails / sizeof *tails; ++i) {
    const char* tail = tails[i];
    const int code = i < 8 ? -1 : 0;
    ChildProcess process;
    ASSERT_TRUE(process.startRaw(copy, "\"" + copy + "\"" + tail));
    HWND shown = nullptr;
    waitUntil([&] { return (shown = visibleWindowOf(process.id())) || !process.running(); }, 10000);
    EXPECT_EQ(shown, code ? nullptr : waitForSaverWindow(process.id(), 0)) << tail;
    if (shown) {
      Sleep(300);  // settled: its first frames drawn, the system's own move of the window done
      SetForegroundWindow(shown);
      const auto [ending, w] = endings[i % 8];
      if (ending != WM_KEYDOWN) PostMessageA(shown, ending, w, 0);
      if (ending == WM_KEYDOWN) keybd_event(VK_SHIFT, 0, 0, 0);  // through the system's input
      if (ending == WM_KEYDOWN) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    }
    EXPECT_EQ(process.exitCode(), code) << tail;
  }
}

// A DLL named like one the saver's process loads, dropped beside a downloaded copy of the saver, is never loaded by the
// dialog or the saver, with Wine told to prefer it as Windows prefers any DLL in a program's own folder but the
// KnownDLLs (kernel32, user32, gdi32, advapi32, shell32, msvcrt, imm32, ole32...). PLANTED.DLL ends whatever loads it
// with 77. Without OpenGL both end as when the system's loader refused the program.
TEST(PlantedDlls, NoneBesideTheSaverIsLoadedAndWithoutOpenGlBothEndAsTheLoaderEndedThem) {
  const std::string folder = siblingPath("downloads"), copy = folder + "\\planted.scr";
  const std::string overrides = "Software\\Wine\\AppDefaults\\planted.scr\\DllOverrides";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(saverPath().c_str(), copy.c_str(), FALSE));
  writeDefaultSettings();
  // The first window of `mode`, ended as a user ends it; the exit code.
  const auto run = [&](const char* mode) {
    ChildProcess process;
    if (!process.start(mode, copy)) return 1000;
    HWND shown = nullptr;
    waitUntil([&] { return (shown = visibleWindowOf(process.id())) || !process.running(); }, 20000);
    if (!shown) return process.exitCode();
    Sleep(300);
    if (mode[1] == 'c') PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
    return mode[1] == 'c' ? process.exitCode() : process.endWithKey(shown);
  };
  for (const char* name : {"opengl32", "glu32", "comctl32", "version", "uxtheme", "msimg32", "dwmapi", "shcore",
                           "zlib1", "ucrtbase", "win32u", "ole32", "combase", "rpcrt4", "winex11.drv"}) {
    const std::string planted = folder + "\\" + name + (std::strchr(name, '.') ? "" : ".dll");
    ASSERT_TRUE(CopyFileA(siblingPath("legacy-modules\\PLANTED.DLL").c_str(), planted.c_str(), FALSE));
    writeValue(overrides.c_str(), name, REG_SZ, "native,builtin", 15);
    EXPECT_EQ(run("/c"), 0) << name;
    EXPECT_EQ(run("/s"), 0) << name;
    DeleteFileA(planted.c_str());
    RegDeleteKeyValueA(HKEY_CURRENT_USER, overrides.c_str(), name);
  }
  writeValue(overrides.c_str(), "opengl32", REG_SZ, "", 1);  // no such DLL
  EXPECT_EQ(DWORD(run("/c")), 0xC0000135u) << "STATUS_DLL_NOT_FOUND";
  EXPECT_EQ(DWORD(run("/s")), 0xC0000135u) << "STATUS_DLL_NOT_FOUND";
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\planted.scr");
  DeleteFileA(copy.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
