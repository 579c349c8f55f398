// The real tavrin.scr as a process, watched from outside: run modes and exit
// codes, the full-screen and preview windows, and the input that ends it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

constexpr DWORD exitWait = 10000;

int exitCodeOf(const std::string& arguments) {
  ChildProcess saver;
  if (!saver.start(arguments)) return 1000;
  DWORD code = 0;
  if (!saver.waitForExit(exitWait, &code)) return 1001;
  return static_cast<int>(code);
}

// A full-screen saver that runs until the test is done with it.
class FullScreenSaver : public ::testing::Test {
 protected:
  void SetUp() override {
    writeDefaultSettings();
    ASSERT_TRUE(saver.start("/s"));
    window = waitForSaverWindow(saver.id());
    ASSERT_NE(window, nullptr) << "no saver window";
    // Let the window settle: the first frames, and the system's own move.
    Sleep(300);
    GetCursorPos(&start);
  }
  void TearDown() override { saver.kill(); }

  void moveCursorBy(int dx, int dy) {
    SetCursorPos(start.x + dx, start.y + dy);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
  }
  bool endsWithZero() {
    DWORD code = 1234;
    return saver.waitForExit(exitWait, &code) && code == 0;
  }
  bool keepsRunning() {
    Sleep(400);
    return saver.running() && IsWindow(window);
  }

  ChildProcess saver;
  HWND window = nullptr;
  POINT start = {};
};

TEST_F(FullScreenSaver, WindowIsATopmostPopupOverTheScreensClipBox) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  EXPECT_STREQ(className, "WindowsScreenSaverClass");
  EXPECT_EQ(windowText(window), "Screen Saver");
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  RECT box = {};
  HDC screen = GetDC(nullptr);
  GetClipBox(screen, &box);
  ReleaseDC(nullptr, screen);
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_TRUE(EqualRect(&rect, &box)) << rect.left << "," << rect.top << " " << rect.right << "x" << rect.bottom;
  // The title never changes: it is how a second start finds this window.
  SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other"));
  EXPECT_EQ(windowText(window), "Screen Saver");
}

TEST_F(FullScreenSaver, FourPixelsOfTravelAreToleratedFiveAreNot) {
  moveCursorBy(3, 1);
  EXPECT_TRUE(keepsRunning());
  moveCursorBy(3, 2);
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, SmallMovesAddUpFromTheReferencePoint) {
  moveCursorBy(2, 0);
  moveCursorBy(2, 1);
  moveCursorBy(1, 3);  // each step small, but 4 from the start
  EXPECT_TRUE(keepsRunning());
  moveCursorBy(-1, 0);  // 1 + 0: back near the start
  EXPECT_TRUE(keepsRunning());
  moveCursorBy(2, -3);
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, XButtonsAndWheelDoNotCloseTheLeftButtonDoes) {
  PostMessageA(window, WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), 0);
  PostMessageA(window, WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), 0);
  PostMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  PostMessageA(window, WM_MOUSEHWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_TRUE(keepsRunning());
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, RightButtonCloses) {
  PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, 0);
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, MiddleButtonCloses) {
  PostMessageA(window, WM_MBUTTONDOWN, MK_MBUTTON, 0);
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, APostedKeyCloses) {
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, ARealKeyPressCloses) {
  SetForegroundWindow(window);
  INPUT key[2] = {};
  key[0].type = key[1].type = INPUT_KEYBOARD;
  key[0].ki.wVk = key[1].ki.wVk = VK_SHIFT;
  key[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, key, sizeof(INPUT));
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, WindowSwitchingAndScreenSaveCommandsAreRefused) {
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_NEXTWINDOW, 0), 0);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_PREVWINDOW, 0), 0);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  EXPECT_TRUE(keepsRunning());
}

TEST_F(FullScreenSaver, LosingActivationCloses) {
  PostMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_TRUE(endsWithZero());
}

TEST_F(FullScreenSaver, ASecondStartBringsTheFirstToTheFrontAndEndsWithZero) {
  EXPECT_EQ(exitCodeOf("/s"), 0);
  EXPECT_TRUE(keepsRunning());
  EXPECT_EQ(GetForegroundWindow(), window);
  // Still exactly one full-screen window.
  EXPECT_EQ(FindWindowExA(nullptr, window, "WindowsScreenSaverClass", "Screen Saver"), nullptr);
}

// A window standing in for the display control panel's preview monitor.
class PreviewParent : public ::testing::Test {
 protected:
  static LRESULT CALLBACK parentProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_CONTEXTMENU) {
      forwardedContextMenus++;
      forwardedWParam = wp;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
  void SetUp() override {
    writeDefaultSettings();
    forwardedContextMenus = 0;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = parentProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TavrinPreviewParent";
    RegisterClassA(&windowClass);
    RECT frame = {0, 0, 152, 112};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_NOACTIVATE);
    parent = CreateWindowExA(WS_EX_NOACTIVATE, "TavrinPreviewParent", "Preview parent", WS_OVERLAPPEDWINDOW, 600, 400,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    ShowWindow(parent, SW_SHOWNOACTIVATE);
  }
  void TearDown() override {
    if (IsWindow(parent)) DestroyWindow(parent);
    preview.kill();
  }
  HWND startPreview() {
    if (!preview.start("/p " + std::to_string(reinterpret_cast<uintptr_t>(parent)))) return nullptr;
    HWND child = nullptr;
    waitUntil(
        [&] {
          child = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", "Preview");
          // The window exists during the scene's start already; it shows
          // once the start is done.
          return child != nullptr && IsWindowVisible(child);
        },
        20000);
    return child;
  }

  static int forwardedContextMenus;
  static WPARAM forwardedWParam;
  HWND parent = nullptr;
  ChildProcess preview;
};
int PreviewParent::forwardedContextMenus = 0;
WPARAM PreviewParent::forwardedWParam = 0;

TEST_F(PreviewParent, PreviewFillsTheParentIgnoresInputAndEndsWithIt) {
  HWND child = startPreview();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetParent(child), parent);
  EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_CHILD);
  RECT childRect = {}, parentRect = {};
  GetClientRect(child, &childRect);
  GetClientRect(parent, &parentRect);
  EXPECT_TRUE(EqualRect(&childRect, &parentRect));

  PostMessageA(child, WM_KEYDOWN, 'A', 0);
  PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  PostMessageA(child, WM_ACTIVATEAPP, FALSE, 0);
  POINT p;
  GetCursorPos(&p);
  SetCursorPos(p.x + 50, p.y + 50);
  PostMessageA(child, WM_MOUSEMOVE, 0, 0);
  waitUntil([] { return false; }, 500);
  EXPECT_TRUE(preview.running());
  EXPECT_TRUE(IsWindow(child));

  // The preview passes its context menu to the control panel, with the
  // panel's own handle as wParam.
  EXPECT_EQ(SendMessageA(child, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), MAKELPARAM(10, 10)), 1);
  waitUntil([] { return forwardedContextMenus > 0; }, 2000);
  EXPECT_EQ(forwardedContextMenus, 1);
  EXPECT_EQ(forwardedWParam, reinterpret_cast<WPARAM>(parent));
  // Window switching is passed on in the preview, not refused: it reaches
  // the default handling, which answers 0 as well, so only no crash shows.
  SendMessageA(child, WM_SYSCOMMAND, SC_SCREENSAVE, 0);

  DestroyWindow(parent);
  DWORD code = 1234;
  EXPECT_TRUE(preview.waitForExit(exitWait, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(PreviewParent, PreviewStartsWhileAFullScreenSaverRuns) {
  ChildProcess fullScreen;
  ASSERT_TRUE(fullScreen.start("/s"));
  HWND window = waitForSaverWindow(fullScreen.id());
  ASSERT_NE(window, nullptr);
  EXPECT_NE(startPreview(), nullptr);
  fullScreen.kill();
}

TEST(CommandLine, UnknownSwitchesAndBadPreviewHandlesEndWithMinusOneAndShowNothing) {
  for (const char* arguments : {"/x", "/\ts", "7", "/p", "/p 0", "/p:1234", "/p 4294967295", "/a 1234", "/\xe9"}) {
    ChildProcess saver;
    ASSERT_TRUE(saver.start(arguments));
    DWORD code = 0;
    ASSERT_TRUE(saver.waitForExit(exitWait, &code)) << arguments;
    EXPECT_EQ(static_cast<int>(code), -1) << arguments;
    EXPECT_EQ(waitForWindow(nullptr, nullptr, saver.id(), 0), nullptr) << arguments;
  }
}

TEST(CommandLine, SaverSwitchSpellings) {
  for (const char* arguments : {"/s", "S", "-s", "//s", "/scr", "/s 1234"}) {
    ChildProcess saver;
    ASSERT_TRUE(saver.start(arguments));
    HWND window = waitForSaverWindow(saver.id());
    EXPECT_NE(window, nullptr) << arguments;
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    DWORD code = 1234;
    EXPECT_TRUE(saver.waitForExit(exitWait, &code)) << arguments;
    EXPECT_EQ(code, 0u) << arguments;
  }
}

TEST(CommandLine, QuotedProgramNameWithBlanksAndNoBlankBeforeTheSwitch) {
  const std::string folder = siblingPath("saver with blanks");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string copy = folder + "\\tavrin copy.scr";
  ASSERT_TRUE(CopyFileA(saverPath().c_str(), copy.c_str(), FALSE));
  for (const char* tail : {" /s", "/s", " \t /s"}) {
    ChildProcess saver;
    ASSERT_TRUE(saver.startRaw(copy, "\"" + copy + "\"" + tail));
    HWND window = waitForSaverWindow(saver.id());
    EXPECT_NE(window, nullptr) << tail;
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    DWORD code = 1234;
    EXPECT_TRUE(saver.waitForExit(exitWait, &code));
    EXPECT_EQ(code, 0u);
  }
}

}  // namespace

namespace {

// tavrin_probe.scr is the saver with a message hook; see probe_saver_win.cpp.
bool startProbe(ChildProcess& probe, const char* mode) {
  SetEnvironmentVariableA("TAVRIN_PROBE", mode);
  const bool started = probe.start("/s", siblingPath("tavrin_probe.scr"));
  SetEnvironmentVariableA("TAVRIN_PROBE", nullptr);
  return started;
}

TEST(Probe, FramesKeepComingAtTheTimersPace) {
  writeDefaultSettings();
  ChildProcess probe;
  ASSERT_TRUE(startProbe(probe, "count"));
  HWND window = waitForSaverWindow(probe.id());
  ASSERT_NE(window, nullptr);
  auto frames = [&] { return reinterpret_cast<LONG_PTR>(GetPropA(window, "TavrinFrames")); };
  ASSERT_TRUE(waitUntil([&] { return frames() > 0; }, 10000)) << "no frame at all";
  const LONG_PTR first = frames();
  const DWORD start = GetTickCount();
  waitUntil([] { return false; }, 2000);
  const LONG_PTR drawn = frames() - first;
  const DWORD elapsed = GetTickCount() - start;
  // Not a performance figure (make bench measures the rate): a tick that
  // is lost or a timer that fires once would leave a handful at most.
  EXPECT_GT(drawn, static_cast<LONG_PTR>(elapsed / 10 / 5)) << drawn << " frames in " << elapsed << " ms";
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  DWORD code = 1234;
  EXPECT_TRUE(probe.waitForExit(exitWait, &code));
  EXPECT_EQ(code, 0u);
}

TEST(Probe, AFaultEndsTheProcessWithTheFaultCodeAndLeavesNoWindow) {
  writeDefaultSettings();
  ChildProcess probe;
  ASSERT_TRUE(startProbe(probe, "fault"));
  DWORD code = 0;
  ASSERT_TRUE(probe.waitForExit(20000, &code)) << "the fault did not end the process";
  EXPECT_EQ(static_cast<int>(code), -2);
  EXPECT_EQ(FindWindowA("WindowsScreenSaverClass", nullptr), nullptr);
}

}  // namespace
