// The older Windows family, watched from outside: copies of tavrin.scr and of
// the probe saver that Wine tells they run on Windows 98, with the stand-in
// password modules beside them. The password change ('A'), the password
// module and the system's saver-running state around the full-screen run, and
// the AutoPlay answer; and, for a copy on the newer family, that none of it
// happens.
//
// The saver-running state is read with SystemParametersInfoA. Wine keeps it
// for the whole session but each process caches it at its first query, so the
// state is read by a fresh copy of this program each time (see main).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/win_test_support.h"
#include "tests/win/legacy_case.h"

using namespace tavrin_test;
using namespace legacy_test;

namespace {

constexpr DWORD exitWait = 10000;
const char olderSaver[] = "tavrin98.scr";
const char newerSaver[] = "tavrinnt.scr";
const char saverRunningSwitch[] = "--saver-running";

std::string ownPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// 1 or 0 as a new process sees the state; -1 when it could not be asked.
int saverRunningState() {
  ChildProcess query;
  DWORD code = 0;
  if (!query.start(saverRunningSwitch, ownPath()) || !query.waitForExit(exitWait, &code)) return -1;
  return static_cast<int>(code);
}

void setSaverRunningState(BOOL running) {
  UINT previous = 0;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, static_cast<UINT>(running), &previous, 0);
}

std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines, const std::string& start) {
  std::vector<std::string> found;
  for (const std::string& line : lines) {
    if (line.compare(0, start.size(), start) == 0) found.push_back(line);
  }
  return found;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

enum class Shown { no, inactive, active };

HWND makeWindow(const char* title, Shown shown) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TavrinLegacyTestWindow";
  RegisterClassA(&windowClass);
  HWND window =
      CreateWindowExA(shown == Shown::active ? 0 : WS_EX_NOACTIVATE, windowClass.lpszClassName, title,
                      WS_OVERLAPPEDWINDOW, 100, 100, 200, 150, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window && shown != Shown::no) ShowWindow(window, shown == Shown::active ? SW_SHOW : SW_SHOWNOACTIVATE);
  return window;
}

// One test's folder, settings and saver process; everything is put back after.
class LegacyCase : public ::testing::Test {
 protected:
  void SetUp() override {
    writeDefaultSettings();
    clearPasswordModuleAnswers();
    password.remove();
    setSaverRunningState(FALSE);
    folder = std::make_unique<CaseFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override {
    saver.kill();
    setSaverRunningState(FALSE);
    clearPasswordModuleAnswers();
    folder.reset();
  }

  // A copy of the real saver (or of the probe) that sees the older family.
  void prepareOlderSaver(bool probe = false) {
    ASSERT_TRUE(probe ? folder->addProbe(olderSaver) : folder->addSaver(olderSaver));
    ASSERT_TRUE(folder->reportOlderFamily(olderSaver));
  }
  bool start(ChildProcess& process, const std::string& arguments, const char* program = olderSaver) {
    return process.start(arguments, folder->path(program));
  }
  // The probe saver, recording its system calls in probe.log.
  bool startRecorded(ChildProcess& process, const std::string& arguments, const char* program = olderSaver,
                     const char* mode = "") {
    ChildEnvironment environment;
    environment.set("TAVRIN_PROBE", mode);
    environment.set("TAVRIN_PROBE_LOG", folder->path("probe.log"));
    return start(process, arguments, program);
  }
  int exitCodeOf(const std::string& arguments, const char* program = olderSaver) {
    ChildProcess child;
    if (!child.start(arguments, folder->path(program))) return 1000;
    DWORD code = 0;
    if (!child.waitForExit(exitWait, &code)) return 1001;
    return static_cast<int>(code);
  }
  static ::testing::AssertionResult endsWithZero(ChildProcess& process) {
    DWORD code = 1234;
    if (!process.waitForExit(exitWait, &code)) return ::testing::AssertionFailure() << "still running";
    if (code != 0) return ::testing::AssertionFailure() << "ended with " << static_cast<int>(code);
    return ::testing::AssertionSuccess();
  }
  std::vector<std::string> spiCalls() const { return linesStartingWith(folder->lines("probe.log"), "spi "); }

  DesktopPasswordSetting password;
  std::unique_ptr<CaseFolder> folder;
  ChildProcess saver;
};

// The 'A' switch: the system's password change, through MPR.DLL. The copy of
// the saver takes MPR.DLL from its folder only (never Wine's own), so without
// one there the module is missing.
class LegacyPasswordChange : public LegacyCase {
 protected:
  void prepareOlderSaver() {
    LegacyCase::prepareOlderSaver();
    ASSERT_TRUE(folder->preferOwnModule(olderSaver, "mpr"));
  }
};

TEST_F(LegacyPasswordChange, TheGivenOwnerIsPassedWithTheProviderNameAndTwoZeros) {
  prepareOlderSaver();
  ASSERT_TRUE(folder->addModule("MPR.DLL", "MPR.DLL"));
  HWND owner = makeWindow("owner", Shown::no);
  ASSERT_NE(owner, nullptr);
  const std::string handle = handleText(owner);
  for (const std::string& arguments : {"/a " + handle, "-A" + handle, "/a   " + handle + " x"}) {
    DeleteFileA(folder->path("MPR.log").c_str());
    EXPECT_EQ(exitCodeOf(arguments), 0) << arguments;
    // Loaded, called once, freed.
    EXPECT_EQ(folder->lines("MPR.log"),
              (std::vector<std::string>{"attach", "change SCRSAVE " + handle + " 0 0", "detach"}))
        << arguments;
  }
  DestroyWindow(owner);
}

TEST_F(LegacyPasswordChange, AMissingOrInvalidOwnerFallsBackToTheForegroundWindow) {
  prepareOlderSaver();
  ASSERT_TRUE(folder->addModule("MPR.DLL", "MPR.DLL"));
  HWND front = makeWindow("front", Shown::active);
  SetForegroundWindow(front);
  ASSERT_EQ(GetForegroundWindow(), front);
  HWND other = makeWindow("other", Shown::no);
  HWND gone = makeWindow("gone", Shown::no);
  const std::string goneHandle = handleText(gone);
  DestroyWindow(gone);
  // No number, 0, a window that no longer exists, and a colon (which stops the
  // digits at once, so the window after it is not taken).
  for (const std::string& arguments :
       {std::string("/a"), std::string("/a 0"), "/a " + goneHandle, "/a:" + handleText(other)}) {
    DeleteFileA(folder->path("MPR.log").c_str());
    EXPECT_EQ(exitCodeOf(arguments), 0) << arguments;
    EXPECT_EQ(linesStartingWith(folder->lines("MPR.log"), "change "),
              std::vector<std::string>{"change SCRSAVE " + handleText(front) + " 0 0"})
        << arguments;
  }
  DestroyWindow(other);
  // The front window stays: Wine takes two seconds to destroy the active
  // window of a display without a window manager. It goes with the process.
}

TEST_F(LegacyPasswordChange, AMissingModuleOrFunctionEndsWithZeroAndShowsNothing) {
  prepareOlderSaver();
  // No MPR.DLL in the folder yet. A message box would keep the process
  // alive: ending in time shows that nothing was shown.
  EXPECT_EQ(exitCodeOf("/a 1234"), 0);
  ASSERT_TRUE(folder->addModule("BARE.DLL", "MPR.DLL"));
  EXPECT_EQ(exitCodeOf("/a 1234"), 0);
  EXPECT_EQ(folder->lines("MPR.log"), (std::vector<std::string>{"attach", "detach"}));
}

TEST_F(LegacyPasswordChange, OnTheNewerFamilyItEndsWithMinusOneAndLoadsNothing) {
  ASSERT_TRUE(folder->addSaver(newerSaver));
  ASSERT_TRUE(folder->preferOwnModule(newerSaver, "mpr"));
  ASSERT_TRUE(folder->addModule("MPR.DLL", "MPR.DLL"));
  HWND owner = makeWindow("owner", Shown::no);
  EXPECT_EQ(exitCodeOf("/a 1234", newerSaver), -1);
  EXPECT_EQ(exitCodeOf("/a " + handleText(owner), newerSaver), -1);
  EXPECT_FALSE(folder->exists("MPR.log")) << "MPR.DLL was loaded";
  DestroyWindow(owner);
}

// PASSWORD.CPL and the saver-running state around the full-screen run.
class LegacyPasswordModule : public LegacyCase {};

TEST_F(LegacyPasswordModule, LoadedForTheFullScreenRunWithTheStateSetWhileItIsLoaded) {
  prepareOlderSaver();
  ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
  password.set(1);
  ASSERT_TRUE(start(saver, "/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(folder->lines("PASSWORD.log"), std::vector<std::string>{"attach"});
  EXPECT_EQ(saverRunningState(), 1);
  // A key asks the module; its acceptance ends the saver.
  setPasswordModuleAnswer("Verdict", 1);
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(endsWithZero(saver));
  EXPECT_EQ(folder->lines("PASSWORD.log"),
            (std::vector<std::string>{"attach", "verify " + handleText(window), "detach"}));
  EXPECT_EQ(saverRunningState(), 0);
}

TEST_F(LegacyPasswordModule, AKeyDoesNotEndASaverWhosePasswordIsRefused) {
  prepareOlderSaver();
  ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
  password.set(1);
  setPasswordModuleAnswer("Verdict", 0);
  ASSERT_TRUE(start(saver, "/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  ASSERT_TRUE(waitUntil([&] { return folder->lines("PASSWORD.log").size() >= 2; }, 5000));
  EXPECT_FALSE(saver.waitForExit(500)) << "a refused password keeps the saver";
  EXPECT_EQ(saverRunningState(), 1);
  // After the 200 ms pause the next key asks again; accepted, the saver goes.
  setPasswordModuleAnswer("Verdict", 1);
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(endsWithZero(saver));
  EXPECT_EQ(linesStartingWith(folder->lines("PASSWORD.log"), "verify ").size(), 2u);
}

TEST_F(LegacyPasswordModule, ThePasswordRequestIsAnsweredByTheModuleForTheSaverWindow) {
  prepareOlderSaver();
  ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
  password.set(1);
  ASSERT_TRUE(start(saver, "/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  DWORD_PTR answer = 99;
  setPasswordModuleAnswer("Verdict", 0);
  ASSERT_TRUE(SendMessageTimeoutA(window, WM_APP, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
  EXPECT_EQ(answer, 0u);
  setPasswordModuleAnswer("Verdict", 1);
  ASSERT_TRUE(SendMessageTimeoutA(window, WM_APP, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
  EXPECT_EQ(answer, 1u);
  const std::string verify = "verify " + handleText(window);
  EXPECT_EQ(linesStartingWith(folder->lines("PASSWORD.log"), "verify "), (std::vector<std::string>{verify, verify}));
  EXPECT_TRUE(saver.running()) << "the request alone closes nothing";
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(endsWithZero(saver));
}

TEST_F(LegacyPasswordModule, NotLoadedWithoutTheDesktopSettingNorForThePreview) {
  prepareOlderSaver(true);
  ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
  for (int setting : {-1, 0}) {  // -1: no value at all
    if (setting < 0) {
      password.remove();
    } else {
      password.set(static_cast<DWORD>(setting));
    }
    DeleteFileA(folder->path("probe.log").c_str());
    ChildProcess fullScreen;
    ASSERT_TRUE(startRecorded(fullScreen, "/s"));
    HWND window = waitForSaverWindow(fullScreen.id());
    ASSERT_NE(window, nullptr) << setting;
    EXPECT_TRUE(contains(folder->lines("probe.log"), "query ScreenSaveUsePassword")) << setting;
    EXPECT_FALSE(folder->exists("PASSWORD.log")) << setting;
    EXPECT_EQ(spiCalls(), std::vector<std::string>{}) << setting;
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(endsWithZero(fullScreen)) << setting;
  }

  password.set(1);
  DeleteFileA(folder->path("probe.log").c_str());
  HWND parent = makeWindow("preview parent", Shown::inactive);
  ASSERT_TRUE(startRecorded(saver, "/p " + handleText(parent)));
  HWND preview = nullptr;
  ASSERT_TRUE(waitUntil(
      [&] { return (preview = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", "Preview")) != nullptr; },
      10000));
  // The window exists while the scene still starts inside its creation; a
  // parent destroyed then fails the start. The probe marks the first frame.
  ASSERT_TRUE(waitUntil([&] { return GetPropA(preview, "TavrinFrames") != nullptr; }, 10000));
  const std::vector<std::string> calls = folder->lines("probe.log");
  EXPECT_FALSE(contains(calls, "query ScreenSaveUsePassword"));
  EXPECT_EQ(spiCalls(), std::vector<std::string>{});
  EXPECT_FALSE(folder->exists("PASSWORD.log"));
  DestroyWindow(parent);
  EXPECT_TRUE(endsWithZero(saver));
}

TEST_F(LegacyPasswordModule, AModuleWithoutTheCheckIsFreedAndTheStateLeftAsItWas) {
  prepareOlderSaver(true);
  ASSERT_TRUE(folder->addModule("BARE.DLL", "PASSWORD.CPL"));
  password.set(1);
  // Set beforehand, so that a wrong "not running" would show as well.
  setSaverRunningState(TRUE);
  ASSERT_TRUE(startRecorded(saver, "/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(folder->lines("PASSWORD.log"), (std::vector<std::string>{"attach", "detach"}));
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(endsWithZero(saver));
  EXPECT_EQ(spiCalls(), std::vector<std::string>{});
  EXPECT_EQ(saverRunningState(), 1);
}

TEST_F(LegacyPasswordModule, AFaultInTheLoopStillClearsTheState) {
  prepareOlderSaver(true);
  ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
  password.set(1);
  ASSERT_TRUE(startRecorded(saver, "/s", olderSaver, "fault"));
  DWORD code = 0;
  ASSERT_TRUE(saver.waitForExit(20000, &code)) << "the fault did not end the process";
  EXPECT_EQ(static_cast<int>(code), -2);
  // Set at the start; cleared by the fault guard, not by the end of the
  // loop: the module was never freed, the process ended with it loaded.
  EXPECT_EQ(spiCalls(), (std::vector<std::string>{"spi 97 1", "spi 97 0"}));
  EXPECT_EQ(folder->lines("PASSWORD.log"), (std::vector<std::string>{"attach", "exit"}));
  EXPECT_EQ(saverRunningState(), 0);
}

TEST_F(LegacyPasswordModule, OnTheNewerFamilyTheSettingIsNeverReadAndTheStateNeverTouched) {
  ASSERT_TRUE(folder->addProbe(newerSaver));
  ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
  password.set(1);
  ASSERT_TRUE(startRecorded(saver, "/s", newerSaver));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  // No AutoPlay answer either: the message is not even registered.
  DWORD_PTR answer = 99;
  ASSERT_TRUE(SendMessageTimeoutA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                                  &answer));
  EXPECT_EQ(answer, 0u);
  waitUntil([] { return false; }, 300);
  EXPECT_TRUE(saver.running());
  PostMessageA(window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(endsWithZero(saver));
  const std::vector<std::string> calls = folder->lines("probe.log");
  EXPECT_FALSE(linesStartingWith(calls, "query ").empty()) << "the recording did not work";
  EXPECT_FALSE(contains(calls, "query ScreenSaveUsePassword"));
  EXPECT_EQ(spiCalls(), std::vector<std::string>{});
  EXPECT_FALSE(folder->exists("PASSWORD.log"));

  // Nor does the fault guard touch the state on this family.
  DeleteFileA(folder->path("probe.log").c_str());
  ChildProcess faulting;
  ASSERT_TRUE(startRecorded(faulting, "/s", newerSaver, "fault"));
  DWORD code = 0;
  ASSERT_TRUE(faulting.waitForExit(20000, &code)) << "the fault did not end the process";
  EXPECT_EQ(static_cast<int>(code), -2);
  EXPECT_EQ(spiCalls(), std::vector<std::string>{});
}

// The system's "QueryCancelAutoPlay" question to the full-screen saver.
class LegacyAutoPlay : public LegacyCase {
 protected:
  // The answer, or 99 when the saver did not answer.
  DWORD_PTR askToCancelAutoPlay(HWND window) {
    DWORD_PTR answer = 99;
    SendMessageTimeoutA(window, RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    return answer;
  }
};

TEST_F(LegacyAutoPlay, CancelledWhileAPasswordModuleIsLoadedAndTheSaverEnds) {
  prepareOlderSaver();
  ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
  password.set(1);
  setPasswordModuleAnswer("Verdict", 1);  // the close it asks for passes the password
  ASSERT_TRUE(start(saver, "/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(askToCancelAutoPlay(window), static_cast<DWORD_PTR>(TRUE));
  EXPECT_TRUE(endsWithZero(saver));
}

TEST_F(LegacyAutoPlay, NotCancelledWithoutAPasswordModuleButTheSaverEnds) {
  prepareOlderSaver();
  ASSERT_TRUE(start(saver, "/s"));
  HWND window = waitForSaverWindow(saver.id());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(askToCancelAutoPlay(window), static_cast<DWORD_PTR>(FALSE));
  EXPECT_TRUE(endsWithZero(saver));
}

}  // namespace

// With --saver-running the program only reports the saver-running state, as
// a process that has never asked before sees it: 1 or 0 as its exit code.
int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], saverRunningSwitch) == 0) {
    BOOL running = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return 2;
    return running ? 1 : 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
