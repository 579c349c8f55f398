// The real tavrin.scr watched from outside: command lines and exit codes, the
// full-screen and preview windows and the input that ends them, the frame pace.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

// The full-screen saver, settled: its first frames drawn, the system's own move of the window done.
HWND startSaver(ChildProcess& saver, const std::string& program = saverPath()) {
  writeDefaultSettings();
  HWND window = saver.start("/s", program) ? waitForSaverWindow(saver.id()) : nullptr;
  Sleep(300);
  return window;
}

bool keepsRunning(ChildProcess& saver, HWND window) {
  Sleep(400);
  return saver.running() && IsWindow(window);
}

TEST(FullScreenSaver, TopmostPopupOverTheClipBoxThatASecondStartFrontsAndOnlyFivePixelsOfTravelEnd) {
  ChildProcess saver;
  HWND window = startSaver(saver);
  ASSERT_NE(window, nullptr);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  EXPECT_STREQ(className, "WindowsScreenSaverClass");
  SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other"));
  EXPECT_EQ(windowText(window), "Screen Saver") << "the title is how a second start finds the window";
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_POPUP | WS_VISIBLE | WS_CAPTION), WS_POPUP | WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT box = {}, rect = {};
  HDC screen = GetDC(nullptr);
  GetClipBox(screen, &box);
  ReleaseDC(nullptr, screen);
  GetWindowRect(window, &rect);
  EXPECT_TRUE(EqualRect(&rect, &box));

  ChildProcess second;
  ASSERT_TRUE(second.start("/s"));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(keepsRunning(saver, window));
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(FindWindowExA(nullptr, window, "WindowsScreenSaverClass", "Screen Saver"), nullptr) << "a second window";

  for (WPARAM button : {XBUTTON1, XBUTTON2}) PostMessageA(window, WM_XBUTTONDOWN, MAKEWPARAM(0, button), 0);
  for (UINT wheel : {WM_MOUSEWHEEL, WM_MOUSEHWHEEL}) PostMessageA(window, wheel, MAKEWPARAM(0, WHEEL_DELTA), 0);
  for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE}) {
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, command, 0), 0) << command;
  }
  POINT start;
  GetCursorPos(&start);
  // Each step small, none more than 4 pixels from the start; then 3 from the last position, 5 from the start.
  const POINT steps[] = {{2, 0}, {2, 1}, {1, 3}, {3, 2}};
  for (const POINT& step : steps) {
    EXPECT_TRUE(keepsRunning(saver, window)) << step.x << "," << step.y;
    SetCursorPos(start.x + step.x, start.y + step.y);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
  }
  EXPECT_EQ(saver.exitCode(), 0);
}

TEST(FullScreenSaver, ARealKeyAndTheThreeButtonsEndItWithZero) {
  for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
    ChildProcess saver;
    HWND window = startSaver(saver);
    ASSERT_NE(window, nullptr);
    if (message == WM_KEYDOWN) {  // a key press through the system's input
      SetForegroundWindow(window);
      keybd_event(VK_SHIFT, 0, 0, 0);
      keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    } else {
      PostMessageA(window, message, 0, 0);
    }
    EXPECT_EQ(saver.exitCode(), 0) << std::hex << message;
  }
}

// The parent stands in for the display control panel's preview monitor.
TEST(PreviewParent, PreviewStartsBesideAFullScreenSaverFillsTheParentIgnoresInputAndEndsWithIt) {
  HWND parent = createTestWindow(DefWindowProcA, WS_OVERLAPPEDWINDOW, 160, 140, SW_SHOWNOACTIVATE);
  ChildProcess fullScreen, preview;
  ASSERT_NE(startSaver(fullScreen), nullptr);
  ASSERT_TRUE(preview.start("/p " + std::to_string(reinterpret_cast<uintptr_t>(parent))));
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
  EXPECT_TRUE(EqualRect(&childRect, &parentRect));

  for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATEAPP}) PostMessageA(child, message, 0, 0);
  POINT p;
  GetCursorPos(&p);
  SetCursorPos(p.x + 50, p.y + 50);
  PostMessageA(child, WM_MOUSEMOVE, 0, 0);
  SendMessageA(child, WM_SYSCOMMAND, SC_SCREENSAVE, 0);  // passed on in the preview, not refused
  waitUntil([] { return false; }, 500);
  EXPECT_TRUE(preview.running() && IsWindow(child));
  DestroyWindow(parent);
  EXPECT_EQ(preview.exitCode(), 0);
}

// Each spelling through a copy of the saver in a folder with blanks, the program name quoted: -1 and no
// window for what is refused, a window that a key ends with 0 for the saver.
TEST(CommandLine, EachSpellingEndsWithItsCodeAndOnlyTheSaverShowsAWindow) {
  const std::string folder = siblingPath("saver with blanks"), copy = folder + "\\tavrin copy.scr";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(saverPath().c_str(), copy.c_str(), FALSE));
  const char* const tails[] = {
      " /x", " /\ts", " 7",     " /p", " /p 0", " /p:1234", " /p 4294967295", " /\xe9",  // refused
      " /s", "/s",    " \t /s", " S",  " -s",   " //s",     " /scr",          " /s 1234"};
  for (size_t i = 0; i < sizeof tails / sizeof *tails; ++i) {
    const char* tail = tails[i];
    const int code = i < 8 ? -1 : 0;
    ChildProcess process;
    ASSERT_TRUE(process.startRaw(copy, "\"" + copy + "\"" + tail));
    HWND shown = nullptr;
    waitUntil([&] { return (shown = visibleWindowOf(process.id())) || !process.running(); }, 10000);
    EXPECT_TRUE(code ? !shown : shown && shown == waitForSaverWindow(process.id(), 0)) << tail;
    EXPECT_EQ(shown ? process.endWithKey(shown) : process.exitCode(), code) << tail;
  }
}

TEST(Probe, FramesKeepComingAtTheTimersPace) {
  ChildProcess probe;
  HWND window = startSaver(probe, siblingPath("tavrin_probe.scr"));  // the saver with test probes
  ASSERT_NE(window, nullptr);
  auto frames = [&] { return reinterpret_cast<LONG_PTR>(GetPropA(window, "TavrinFrames")); };
  ASSERT_TRUE(waitUntil([&] { return frames() > 0; }, 10000)) << "no frame at all";
  const LONG_PTR first = frames();
  const DWORD start = GetTickCount();
  waitUntil([] { return false; }, 2000);
  const LONG_PTR drawn = frames() - first;
  const DWORD elapsed = GetTickCount() - start;
  // Not a performance figure (make bench measures the rate): a lost tick or a timer that fires once leaves a handful.
  EXPECT_GT(drawn, static_cast<LONG_PTR>(elapsed / 10 / 5)) << drawn << " frames in " << elapsed << " ms";
  EXPECT_EQ(probe.endWithKey(window), 0);
}

}  // namespace
