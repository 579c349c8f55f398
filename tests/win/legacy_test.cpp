// The older Windows family under Wine: copies of the saver and the probe that Wine tells they run on
// Windows 98, the stand-in modules of legacy_module_win.cpp beside them, all writing one log; and
// ConfirmClose in-process, on a window whose scene passes WM_CLOSE on to DefScreenSaverProc.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "host/host.h"
#include "tests/support/import_hook.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;
using Lines = std::vector<std::string>;

namespace {

const char testsKey[] = "Software\\Orvane\\TavrinTests";  // the answers of the test PASSWORD.CPL
const std::string appDefaults = "Software\\Wine\\AppDefaults\\";
const char older[] = "tavrin98.scr";
const char newer[] = "tavrinnt.scr";
const char read[] = "query ScreenSaveUsePassword";  // the probe's record of the desktop's password setting read

class LegacyCase : public ::testing::Test {
 protected:
  void SetUp() override {
    writeDefaultSettings();
    clear();
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  void TearDown() override { clear(); }
  // Puts back what a case changes: its folder, the Wine settings of its copies, the module's answers and the
  // desktop's password setting.
  void clear() {
    for (const char* file : {older, newer, "MPR.DLL", "PASSWORD.CPL", "probe.log"}) DeleteFileA(path(file).c_str());
    RemoveDirectoryA(folder.c_str());
    for (const char* program : {older, newer}) RegDeleteTreeA(HKEY_CURRENT_USER, (appDefaults + program).c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, testsKey);
    usePassword(-1);
  }

  std::string path(const char* file) const { return folder + "\\" + file; }
  // The log but for the settings the probe saw read and used.
  Lines events() const {
    Lines found;
    for (const std::string& line : fileLines(path("probe.log"))) {
      if (line.rfind("settings ", 0) && (line.rfind("query ", 0) || line == read)) found.push_back(line);
    }
    return found;
  }
  static std::string handleText(HWND window) { return std::to_string(reinterpret_cast<uintptr_t>(window)); }
  static void setNumber(const char* key, const char* name, DWORD n) { writeValue(key, name, REG_DWORD, &n, 4); }
  static void usePassword(int value) {  // no value when negative
    if (value >= 0) setNumber("Control Panel\\Desktop", "ScreenSaveUsePassword", value);
    if (value < 0) RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
  }
  static HWND makeWindow(int show) { return createTestWindow(DefWindowProcA, WS_OVERLAPPEDWINDOW, 200, 150, show); }
  static DWORD_PTR autoPlayAnswer(HWND window) {
    DWORD_PTR answer = 99;  // no answer
    SendMessageTimeoutA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    return answer;
  }
  // A program or module built with the tests, copied into the folder as `as`. Wine tells the copy named
  // `older` that it runs on the older family (GetVersionExA: platform 1).
  void add(const std::string& built, const char* as) {
    ASSERT_TRUE(CopyFileA(siblingPath(built.c_str()).c_str(), path(as).c_str(), FALSE)) << built;
    if (as == std::string(older)) writeValue((appDefaults + older).c_str(), "Version", REG_SZ, "win98", 6);
  }
  // Wine's loader then takes MPR.DLL for `program` from beside it, never its own. A per-program setting:
  // Wine reads WINEDLLOVERRIDES only from the environment it was started with.
  void ownMpr(const char* program) {
    writeValue((appDefaults + program + "\\DllOverrides").c_str(), "mpr", REG_SZ, "native", 7);
  }
  bool start(ChildProcess& process, const std::string& arguments, const char* program, const char* mode = "") {
    return process.start(arguments, path(program), {{"TAVRIN_PROBE", mode}, {"TAVRIN_PROBE_LOG", path("probe.log")}});
  }

  const std::string folder = siblingPath("legacy-case");
};

class LegacyPasswordChange : public LegacyCase {};

TEST_F(LegacyPasswordChange, TheServiceIsCalledOnceForTheOwnerOrElseTheForegroundWindow) {
  ASSERT_NO_FATAL_FAILURE(add("tavrin.scr", older));
  ASSERT_NO_FATAL_FAILURE(add("legacy-modules\\MPR.DLL", "MPR.DLL"));
  ownMpr(older);
  HWND owner = makeWindow(SW_HIDE), other = makeWindow(SW_HIDE), gone = makeWindow(SW_HIDE);
  HWND front = makeWindow(SW_SHOW);
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  const std::string given = handleText(owner), fallback = handleText(front), goneText = handleText(gone);
  DestroyWindow(gone);
  // Missing, 0, a window that no longer exists, and a colon (which stops the digits at once).
  const std::pair<std::string, std::string> cases[] = {
      {"/a " + given, given}, {"-A" + given, given},        {"/a   " + given + " x", given},      {"/a", fallback},
      {"/a 0", fallback},     {"/a " + goneText, fallback}, {"/a:" + handleText(other), fallback}};
  for (const auto& [arguments, expectedOwner] : cases) {
    DeleteFileA(path("probe.log").c_str());
    ChildProcess saver;
    EXPECT_TRUE(start(saver, arguments, older));
    EXPECT_EQ(saver.exitCode(10000), 0) << arguments;
    EXPECT_EQ(events(), (Lines{"attach", "change SCRSAVE " + expectedOwner + " 0 0", "detach"})) << arguments;
  }
  // The front window stays: Wine takes two seconds to destroy the active window without a window manager.
  for (HWND window : {owner, other}) DestroyWindow(window);
}

TEST_F(LegacyPasswordChange, WithoutTheServiceItEndsWithZeroSilentlyAndTheNewerFamilyRefusesIt) {
  ASSERT_NO_FATAL_FAILURE(add("tavrin.scr", older));
  ASSERT_NO_FATAL_FAILURE(add("tavrin.scr", newer));
  // No MPR.DLL at all, then one without the function: a message box would keep the process from ending.
  const struct {
    const char* module;
    const char* program;
    int exitCode;
    Lines events;
  } cases[] = {{nullptr, older, 0, {}}, {"BARE.DLL", older, 0, {"attach", "detach"}}, {"MPR.DLL", newer, -1, {}}};
  for (const auto& c : cases) {
    ownMpr(c.program);
    if (c.module) {
      ASSERT_NO_FATAL_FAILURE(add(std::string("legacy-modules\\") + c.module, "MPR.DLL"));
    }
    DeleteFileA(path("probe.log").c_str());
    ChildProcess saver;
    EXPECT_TRUE(start(saver, "/a 1234", c.program));
    EXPECT_EQ(saver.exitCode(10000), c.exitCode) << c.module;
    EXPECT_EQ(events(), c.events) << c.module;
  }
}

class LegacyPasswordModule : public LegacyCase {};

TEST_F(LegacyPasswordModule, ClosesAskItAutoPlayIsCancelledAndTheSaverRunsWhileItIsLoaded) {
  ASSERT_NO_FATAL_FAILURE(add("tavrin_probe.scr", older));
  ASSERT_NO_FATAL_FAILURE(add("legacy-modules\\PASSWORD.CPL", "PASSWORD.CPL"));
  usePassword(1);
  ChildProcess saver;
  ASSERT_TRUE(start(saver, "/s", older));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  // A key's close is refused, then AutoPlay's: the saver stays. Each comes 500 ms after the last check.
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(waitUntil([&] { return events().size() == 4; }, 5000));
  EXPECT_FALSE(saver.waitForExit(500)) << "a refused password ended the saver";
  EXPECT_EQ(autoPlayAnswer(window), static_cast<DWORD_PTR>(TRUE));
  EXPECT_TRUE(waitUntil([&] { return events().size() == 5; }, 5000));
  EXPECT_FALSE(saver.waitForExit(500)) << "a refused password ended the saver";
  setNumber(testsKey, "Verdict", 1);
  EXPECT_EQ(saver.endWithKey(window), 0);
  const std::string verify = "verify " + handleText(window);
  EXPECT_EQ(events(), (Lines{read, "attach", "spi 97 1", verify, verify, verify, "detach", "spi 97 0"}));
}

// Copies of the probe; "spi 97 <state>" is the saver-running call.
TEST_F(LegacyPasswordModule, LoadedOnlyFullScreenWithTheSettingClearedAfterAFaultNeverOnTheNewerFamily) {
  const struct {
    const char* what;
    const char* program;
    const char* module;
    int usePassword;
    bool preview;
    Lines events;
    int exitCode;  // -2: the probe faults at its first frame
  } rows[] = {{"no setting", older, "PASSWORD.CPL", -1, false, {read}, 0},
              {"setting 0", older, "PASSWORD.CPL", 0, false, {read}, 0},
              {"preview", older, "PASSWORD.CPL", 1, true, {}, 0},
              {"module without the check", older, "BARE.DLL", 1, false, {read, "attach", "detach"}, 0},
              // Cleared by the fault guard: the process ended with the module loaded.
              {"fault", older, "PASSWORD.CPL", 1, false, {read, "attach", "spi 97 1", "spi 97 0", "exit"}, -2},
              {"newer family", newer, "PASSWORD.CPL", 1, false, {}, 0},
              {"fault on the newer family", newer, "PASSWORD.CPL", 1, false, {}, -2}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    DeleteFileA(path("probe.log").c_str());
    ASSERT_NO_FATAL_FAILURE(add("tavrin_probe.scr", r.program));
    ASSERT_NO_FATAL_FAILURE(add(std::string("legacy-modules\\") + r.module, "PASSWORD.CPL"));
    usePassword(r.usePassword);
    HWND parent = r.preview ? makeWindow(SW_SHOWNOACTIVATE) : nullptr, window = nullptr;
    ChildProcess saver;
    ASSERT_TRUE(start(saver, parent ? "/p " + handleText(parent) : "/s", r.program, r.exitCode ? "fault" : ""));
    if (parent) {
      // The scene starts inside the window's creation, and a parent destroyed then fails the start: the
      // probe marks the first frame.
      waitUntil(
          [&] {
            return (window = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", "Preview")) &&
                   GetPropA(window, "TavrinFrames");
          },
          10000);
      DestroyWindow(parent);
    } else if (!r.exitCode && (window = waitForSaverWindow(saver.id()))) {
      // Without a module AutoPlay is not cancelled but ends the saver; the newer family does not register it.
      EXPECT_EQ(autoPlayAnswer(window), static_cast<DWORD_PTR>(FALSE));
      EXPECT_EQ(saver.waitForExit(500), r.program == older);
    }
    EXPECT_EQ(window && !parent ? saver.endWithKey(window) : saver.exitCode(20000), r.exitCode);
    EXPECT_EQ(FindWindowA("WindowsScreenSaverClass", nullptr), nullptr) << "a window was left behind";
    EXPECT_EQ(events(), r.events);
  }
}

// What the stand-in scene saw while a password check ran.
std::atomic<int> framesDuringCheck, closesDuringCheck;

// A scene that passes every message on to the host, WM_CLOSE included, and counts its frame ticks.
LRESULT CALLBACK passingScene(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) framesDuringCheck += hostState.checkingPassword;
  if (message == WM_CLOSE) closesDuringCheck += hostState.checkingPassword;
  return message == WM_TIMER ? 0 : DefScreenSaverProc(window, message, wParam, lParam);
}

// The host's code calls GetTickCount through this program's import, pointed
// at a clock of the test's own: a check can end just before the tick count
// wraps, or seem to last a second.
DWORD(WINAPI* realTickCount)();
std::atomic<bool> clockFrozen;
std::atomic<DWORD> frozenTicks, clockOffset;
DWORD WINAPI testTickCount() {
  return clockFrozen ? frozenTicks.load() : realTickCount() + clockOffset;
}

class LegacyConfirmClose : public LegacyCase {
 protected:
  static void SetUpTestSuite() {
    redirectImport("kernel32.dll", "GetTickCount", reinterpret_cast<void*>(&testTickCount),
                   reinterpret_cast<void**>(&realTickCount));
  }
  void SetUp() override {
    LegacyCase::SetUp();
    ASSERT_NE(realTickCount, nullptr) << "no GetTickCount import to redirect";
    ASSERT_NO_FATAL_FAILURE(add("legacy-modules\\PASSWORD.CPL", "PASSWORD.CPL"));
    usePassword(1);
    hostState.legacyPlatform = TRUE;
    hostState.previewing = hostState.closing = hostState.checkingPassword = FALSE;
    hostState.lastPasswordCheck = 0xFFFFFFFFu;
    framesDuringCheck = closesDuringCheck = 0;
    SetEnvironmentVariableA("TAVRIN_PROBE_LOG", path("probe.log").c_str());
    SetDllDirectoryA(folder.c_str());  // the module is looked for beside this program, then here
    LoadPasswordModule();
    ASSERT_NE(hostState.verifyPwd, nullptr) << "the test PASSWORD.CPL was not loaded";
    ASSERT_NE(window = createTestWindow(passingScene, WS_POPUP, 10, 10, SW_HIDE), nullptr);
    GetCursorPos(&start);
    hostState.lastCursor = start;
  }
  void TearDown() override {
    clockFrozen = false;
    clockOffset = 0;
    if (IsWindow(window)) DestroyWindow(window);
    UnloadPasswordModule();
    SetDllDirectoryA(nullptr);
    SetCursorPos(start.x, start.y);
    LegacyCase::TearDown();
  }
  long verifyCalls() const {
    const Lines lines = events();
    return std::count(lines.begin(), lines.end(), "verify " + handleText(window));
  }
  bool closePending() {
    MSG message;
    return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
  }
  HWND window = nullptr;
  POINT start = {};
};

TEST_F(LegacyConfirmClose, ARefusalKeepsTheWindowAndAsksNothingFor200MsAcrossTheWrapAnAcceptanceEndsIt) {
  const POINT moved = {start.x + 40, start.y + 30};  // where the user moves the mouse while asked
  setNumber(testsKey, "Pointer", MAKELONG(moved.x, moved.y));
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(window) && !hostState.closing);
  EXPECT_EQ(hostState.lastCursor.x, moved.x);
  EXPECT_EQ(hostState.lastCursor.y, moved.y);
  EXPECT_EQ(GetCursor(), nullptr) << "the module showed the pointer; a refusal hides it again";
  DefScreenSaverProc(window, WM_MOUSEMOVE, 0, 0);
  EXPECT_FALSE(closePending()) << "the travel counts from where the check ended";
  long asked = 1;
  EXPECT_EQ(verifyCalls(), asked);

  clockFrozen = true;
  for (DWORD refusedAt : {1000u, 0xFFFFFF9Cu}) {  // the second 100 ms before the tick count wraps
    frozenTicks = refusedAt;
    EXPECT_FALSE(ConfirmClose(window));
    EXPECT_EQ(verifyCalls(), ++asked) << refusedAt;
    for (DWORD later : {50u, 199u, 200u}) {
      frozenTicks = refusedAt + later;
      EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
      EXPECT_EQ(verifyCalls(), later < 200 ? asked : ++asked) << refusedAt << " + " << later;
    }
  }
  setNumber(testsKey, "Verdict", 1);
  frozenTicks = frozenTicks + 200;
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(!IsWindow(window) && hostState.closing && !hostState.checkingPassword);
  EXPECT_FALSE(ConfirmClose(window)) << "already closing";
  EXPECT_EQ(verifyCalls(), asked + 1);
}

// The password box's modal loop runs on this thread; a timer callback inside it plays the user.
TEST_F(LegacyConfirmClose, DuringACheckInputPostsNoCloseANestedCloseIsRefusedAndFramesGoOn) {
  setNumber(testsKey, "Verdict", 2);  // ask in a modal box
  ASSERT_NE(SetTimer(window, 1, 10, nullptr), 0u);
  static HWND saver;
  static int ticks, nestedClose;
  saver = window;
  ticks = 0;
  nestedClose = 99;  // not sent
  const UINT_PTR user = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowA("#32770", "Tavrin test password");
    if (box && ticks++ == 0) {
      POINT p;
      GetCursorPos(&p);
      SetCursorPos(p.x + 50, p.y + 50);
      for (UINT input : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATEAPP, WM_POWERBROADCAST, WM_MOUSEMOVE}) {
        PostMessageA(saver, input, 0, 0);
      }
      nestedClose = static_cast<int>(SendMessageA(saver, WM_CLOSE, 0, 0));
    } else if (box && (framesDuringCheck >= 5 || ticks > 100)) {  // a wrongly nested box is cancelled as well
      clockOffset += 1000;                                        // the user took a second over the box
      PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    }
  });
  const DWORD askedAt = GetTickCount();
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);  // returns once the box is cancelled
  KillTimer(nullptr, user);
  ASSERT_GT(ticks, 0) << "the module asked nothing";
  EXPECT_EQ(nestedClose, 0) << "the nested close was not refused";
  EXPECT_GE(framesDuringCheck, 5) << "the frames stopped while the box was up";
  EXPECT_GE(hostState.lastPasswordCheck - askedAt, 1000u) << "the check's time is taken at its end";
  EXPECT_EQ(closesDuringCheck, 1) << "the nested one only: input posted none";
  EXPECT_FALSE(closePending());
  EXPECT_EQ(verifyCalls(), 1) << "the nested close asked again";
  EXPECT_TRUE(IsWindow(window) && !hostState.checkingPassword && !hostState.closing);
}

}  // namespace
