// The older Windows family under Wine: copies of the saver and the probe told they run on Windows 98, the stand-ins of
// legacy_module_win.cpp beside them, all writing one log; and ConfirmClose in-process.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <tuple>

#include "host/host_win.h"
#include "tools/harness/import_hook_win.h"
#include "tools/harness/harness_win.h"

using namespace harness;
using Lines = std::vector<std::string>;

// What this program's scene (passing_scene_win.cpp) saw while a password check ran.
extern std::atomic<int> framesDuringCheck, closesDuringCheck;

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
  // Puts back what a case changes: folder, Wine settings of the copies, the module's answers, the password setting.
  void clear() {
    removeModules();
    for (const char* file : {older, newer, "probe.log"}) DeleteFileA(path(file).c_str());
    RemoveDirectoryA(folder.c_str());
    for (const char* program : {older, newer}) RegDeleteTreeA(HKEY_CURRENT_USER, (appDefaults + program).c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, testsKey);
    usePassword(-1);
  }

  std::string path(const char* file) const { return folder + "\\" + file; }
  // The stand-in modules' events and the probe's calls that concern them.
  Lines events() const {
    Lines found;
    for (const std::string& line : fileLines(path("probe.log"))) {
      for (const char* event : {"attach", "detach", "change ", "verify ", "spi ", "exit", read})
        if (!line.rfind(event, 0)) found.push_back(line);
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
  // A program built with the tests, copied into the folder as `as`; a module goes into the system folder, where the
  // saver looks for it, and a planted DLL (which ends the process with 77) beside the saver under the same name. Wine
  // tells the copy named `older` that it runs on the older family (GetVersionExA: platform 1), and takes MPR.DLL for
  // either copy from a file, never its own (per program: Wine reads WINEDLLOVERRIDES only at its start).
  void add(const std::string& built, const std::string& as) {
    const bool module = as == "MPR.DLL" || as == "PASSWORD.CPL";
    const std::string target = module ? systemPath(as) : path(as.c_str());
    if (as == "MPR.DLL") MoveFileA(target.c_str(), systemPath("MPR.DLL.saved").c_str());
    EXPECT_TRUE(CopyFileA(siblingPath(built.c_str()).c_str(), target.c_str(), FALSE)) << built;
    const std::string planted = siblingPath("legacy-modules\\PLANTED.DLL");
    EXPECT_TRUE(!module || CopyFileA(planted.c_str(), path(as.c_str()).c_str(), FALSE));
    if (as == older) writeValue((appDefaults + older).c_str(), "Version", REG_SZ, "win98", 6);
    if (as == older || as == newer)
      writeValue((appDefaults + as + "\\DllOverrides").c_str(), "mpr", REG_SZ, "native", 7);
  }
  // The modules taken out of the system folder again, the system's MPR.DLL put back.
  void removeModules() {
    for (const char* file : {"MPR.DLL", "PASSWORD.CPL"}) {
      DeleteFileA(path(file).c_str());
      DeleteFileA(systemPath(file).c_str());
    }
    MoveFileA(systemPath("MPR.DLL.saved").c_str(), systemPath("MPR.DLL").c_str());
  }
  static std::string systemPath(const std::string& file) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\" + file;
  }
  bool start(ChildProcess& process, const std::string& arguments, const char* program, const char* mode = "") {
    return process.start(arguments, path(program), {{"TAVRIN_PROBE", mode}, {"TAVRIN_PROBE_LOG", path("probe.log")}});
  }

  const std::string folder = siblingPath("legacy-case");
};

class LegacyPasswordChange : public LegacyCase {};

// The owner given, else the foreground window: for 0, a window gone and a colon (which stops the digits at once).
// Without MPR.DLL or its function it ends with 0 silently (a message box would keep it from ending).
TEST_F(LegacyPasswordChange, TheServiceIsCalledOnceForTheOwnerOrElseTheForegroundWindowOnlyOnTheOlderFamily) {
  add("tavrin.scr", older);
  add("tavrin.scr", newer);
  HWND owner = makeWindow(SW_HIDE), other = makeWindow(SW_HIDE), dead = makeWindow(SW_HIDE),
       front = makeWindow(SW_SHOW);
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  const std::string g = handleText(owner), gone = handleText(dead), o = handleText(other);
  DestroyWindow(dead);
  const auto asked = [](HWND window) {
    return Lines{"attach", "change SCRSAVE " + handleText(window) + " 0 0", "detach"};
  };
  const Lines own = asked(owner), fg = asked(front), bare = {"attach", "detach"}, none;
  const char* mpr = "MPR.DLL";
  const std::tuple<std::string, const char*, const char*, const Lines*> cases[] = {
      {"/a " + g, older, mpr, &own}, {"/a 0", older, mpr, &fg},          {"/a " + gone, older, mpr, &fg},
      {"/a:" + o, older, mpr, &fg},  {"/a 1234", older, nullptr, &none}, {"/a 1234", older, "BARE.DLL", &bare},
      {"/a 1234", newer, mpr, &none}};
  for (const auto& [arguments, program, module, expected] : cases) {
    SCOPED_TRACE(arguments + " " + program + " " + (module ? module : "without MPR.DLL"));
    removeModules();
    DeleteFileA(path("probe.log").c_str());
    if (module) add(std::string("legacy-modules\\") + module, "MPR.DLL");
    ChildProcess saver;
    EXPECT_TRUE(start(saver, arguments, program));
    EXPECT_EQ(saver.exitCode(10000), program == newer ? -1 : 0);
    EXPECT_EQ(events(), *expected);
  }
  // The front window stays: Wine takes two seconds to destroy the active window without a window manager.
  for (HWND window : {owner, other}) DestroyWindow(window);
}

class LegacyPasswordModule : public LegacyCase {};

// Copies of the probe; "spi 97 <state>" is the saver-running call, "verify" the module's check of the saver's window.
// -2: the probe faults at its first frame; the fault guard clears the setting with the module loaded.
TEST_F(LegacyPasswordModule, LoadedOnlyFullScreenClosesAskItTheSettingIsClearedAfterAFaultNeverOnTheNewerFamily) {
  const Lines asked = {read, "attach", "spi 97 1", "verify", "verify", "verify", "detach", "spi 97 0"};
  const std::tuple<const char*, const char*, const char*, int, bool, Lines, int> rows[] = {
      {"no setting", older, "PASSWORD.CPL", -1, false, {read}, 0},
      {"setting 0", older, "PASSWORD.CPL", 0, false, {read}, 0},
      {"closes ask", older, "PASSWORD.CPL", 1, false, asked, 0},
      {"preview", older, "PASSWORD.CPL", 1, true, {}, 0},
      {"module without the check", older, "BARE.DLL", 1, false, {read, "attach", "detach"}, 0},
      {"fault", older, "PASSWORD.CPL", 1, false, {read, "attach", "spi 97 1", "spi 97 0", "exit"}, -2},
      {"newer family", newer, "PASSWORD.CPL", 1, false, {}, 0},
      {"fault on the newer family", newer, "PASSWORD.CPL", 1, false, {}, -2}};
  for (const auto& [what, program, module, setting, preview, expected, exitCode] : rows) {
    SCOPED_TRACE(what);
    DeleteFileA(path("probe.log").c_str());
    add("tavrin_probe.scr", program);
    add(std::string("legacy-modules\\") + module, "PASSWORD.CPL");
    usePassword(setting);
    HWND parent = preview ? makeWindow(SW_SHOWNOACTIVATE) : nullptr, window = nullptr;
    ChildProcess saver;
    ASSERT_TRUE(start(saver, parent ? "/p " + handleText(parent) : "/s", program, exitCode ? "fault" : ""));
    if (parent) {
      // A parent destroyed while the scene starts (inside the window's creation) fails it: wait for a frame.
      waitUntil(
          [&] {
            return (window = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", "Preview")) &&
                   GetPropA(window, "TavrinFrames");
          },
          10000);
      DestroyWindow(parent);
    } else if (!exitCode && (window = waitForSaverWindow(saver.id()))) {
      // A loaded module refuses a key's close, then AutoPlay's (each 500 ms after the last check): the saver stays.
      // Without one AutoPlay is not cancelled but ends the saver; the newer family does not register it.
      const bool asks = std::count(expected.begin(), expected.end(), "verify") > 0;
      const auto refused = [&](size_t lines) {
        return waitUntil([&] { return events().size() == lines; }, 5000) && !saver.waitForExit(500);
      };
      if (asks) PostMessageA(window, WM_KEYDOWN, 'A', 0);
      if (asks) {
        EXPECT_TRUE(refused(4));
      }
      DWORD_PTR answer = 99;  // none
      SendMessageTimeoutA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
      EXPECT_EQ(answer, DWORD_PTR(asks));
      EXPECT_TRUE(asks ? refused(5) : saver.waitForExit(500) == (program == older));
      if (asks) setNumber(testsKey, "Verdict", 1);
    }
    EXPECT_EQ(window && !parent ? saver.endWithKey(window) : saver.exitCode(20000), exitCode);
    EXPECT_EQ(FindWindowA("WindowsScreenSaverClass", nullptr), nullptr) << "a window was left behind";
    Lines want = expected;
    for (std::string& line : want) line += line == "verify" ? " " + handleText(window) : "";
    EXPECT_EQ(events(), want);
  }
}

// GetTickCount through this program's import reads the test's clock: a check can last a second.
DWORD(WINAPI* realTickCount)();
std::atomic<DWORD> clockOffset;
DWORD WINAPI testTickCount() { return realTickCount() + clockOffset; }

class LegacyConfirmClose : public LegacyCase {
 protected:
  static void SetUpTestSuite() { redirectImport("kernel32.dll", "GetTickCount", &testTickCount, &realTickCount); }
  void SetUp() override {
    LegacyCase::SetUp();
    ASSERT_NE(realTickCount, nullptr) << "no GetTickCount import to redirect";
    add("legacy-modules\\PASSWORD.CPL", "PASSWORD.CPL");
    usePassword(1);
    hostState.legacyPlatform = TRUE;
    hostState.previewing = hostState.closing = hostState.checkingPassword = FALSE;
    hostState.lastPasswordCheck = 0xFFFFFFFFu;
    framesDuringCheck = closesDuringCheck = 0;
    SetEnvironmentVariableA("TAVRIN_PROBE_LOG", path("probe.log").c_str());
    LoadPasswordModule();
    ASSERT_NE(hostState.verifyPwd, nullptr) << "the test PASSWORD.CPL was not loaded";
    ASSERT_NE(window = createTestWindow(SaverWindowProc, WS_POPUP, 10, 10, SW_HIDE), nullptr);
    GetCursorPos(&start);
    hostState.lastCursor = start;
  }
  void TearDown() override {
    clockOffset = 0;
    if (IsWindow(window)) DestroyWindow(window);
    UnloadPasswordModule();
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

// The password box's modal loop runs on this thread; a timer callback inside it plays the user, who moves the mouse
// and cancels. A refused check keeps the window and takes the pointer anew where it ended; one accepted 200 ms later
// ends it.
TEST_F(LegacyConfirmClose, DuringACheckInputPostsNoCloseANestedCloseIsRefusedAndFramesGoOn) {
  setNumber(testsKey, "Verdict", 2);  // ask in a modal box
  static HWND saver;
  static int ticks, nestedClose;  // nestedClose 99: not sent
  static POINT moved;
  std::tie(saver, ticks, nestedClose) = std::make_tuple(window, 0, 99);
  const UINT_PTR user = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowA("#32770", "Tavrin test password");
    if (box && ticks++ == 0) {
      GetCursorPos(&moved);
      moved = {moved.x + 50, moved.y + 50};
      SetCursorPos(moved.x, moved.y);
      for (UINT input : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATEAPP, WM_POWERBROADCAST, WM_MOUSEMOVE})
        PostMessageA(saver, input, 0, 0);
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
  EXPECT_EQ(closesDuringCheck, 0) << "a refused close never reaches the scene";
  EXPECT_FALSE(closePending());
  EXPECT_EQ(verifyCalls(), 1) << "the nested close asked again";
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(hostState.checkingPassword);
  EXPECT_FALSE(hostState.closing);
  EXPECT_EQ(hostState.lastCursor.x, moved.x) << "the pointer taken anew where the check ended";
  EXPECT_EQ(hostState.lastCursor.y, moved.y);
  EXPECT_EQ(GetCursor(), nullptr) << "the box showed the pointer; a refusal hides it again";
  DefScreenSaverProc(window, WM_MOUSEMOVE, 0, 0);
  EXPECT_FALSE(closePending()) << "the travel counts from where the check ended";
  setNumber(testsKey, "Verdict", 1);
  clockOffset += 200;
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window)) << "the close the host accepted finishes when the scene passes it on";
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the message loop would end";
  EXPECT_FALSE(ConfirmClose(window)) << "already closing";
  EXPECT_EQ(verifyCalls(), 2);
}

class LegacyPassingScene : public LegacyCase {};

// passing_scene.scr, whose scene passes WM_CLOSE on: on the newer family a key, a click and going to sleep each end
// it with 0; on the older family with a password in force the power broadcasts of a machine that stays awake ask
// nothing, a refused check keeps it and an accepted one ends it.
TEST_F(LegacyPassingScene, InputEndsItWithZeroAndOnTheOlderFamilyOnlyAnAcceptedCheckDoes) {
  add("passing_scene.scr", newer);
  for (UINT input : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_POWERBROADCAST}) {
    ChildProcess saver;
    ASSERT_TRUE(start(saver, "/s", newer));
    HWND window = waitForSaverWindow(saver.id());
    PostMessageA(window, input, 0, 0);
    EXPECT_EQ(saver.exitCode(5000), 0) << input;
  }
  add("passing_scene.scr", older);
  add("legacy-modules\\PASSWORD.CPL", "PASSWORD.CPL");
  usePassword(1);
  ChildProcess saver;
  ASSERT_TRUE(start(saver, "/s", older));
  HWND window = waitForSaverWindow(saver.id());
  for (WPARAM awake : {PBT_APMPOWERSTATUSCHANGE, PBT_APMBATTERYLOW, PBT_APMOEMEVENT, PBT_POWERSETTINGCHANGE})
    PostMessageA(window, WM_POWERBROADCAST, awake, 0);
  EXPECT_FALSE(waitUntil([&] { return events().size() > 1; }, 500)) << "the machine stays awake: nothing to ask";
  PostMessageA(window, WM_KEYDOWN, 'A', 0);  // no verdict yet: refused
  EXPECT_TRUE(waitUntil([&] { return events() == Lines{"attach", "verify " + handleText(window)}; }, 5000));
  EXPECT_FALSE(saver.waitForExit(500)) << "a refused check keeps the saver";
  setNumber(testsKey, "Verdict", 1);
  EXPECT_EQ(saver.endWithKey(window), 0);
}

}  // namespace
