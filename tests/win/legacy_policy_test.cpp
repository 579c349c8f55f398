// The password check on close of the older family, in-process with the host's
// own code: a window of this test stands in for a saver window whose scene
// passes WM_CLOSE on to DefScreenSaverProc (this system's scene consumes it,
// so only such a scene reaches the check), and the test PASSWORD.CPL is
// loaded through LoadPasswordModule.
//
// The 200 ms rule is tried on a clock of the test's own: this program's
// import of GetTickCount, which the host's code calls through, is pointed at
// it, so a check can end just before the tick count wraps, or seem to last a
// second.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "tests/support/win_test_support.h"
#include "tests/win/legacy_case.h"

using namespace tavrin_test;
using namespace legacy_test;

namespace {

// What the stand-in scene saw while a password check was running.
std::atomic<int> framesDuringCheck;
std::atomic<int> closesDuringCheck;

// A scene that passes every message on to the host, WM_CLOSE included, and
// counts its frame ticks instead of drawing them.
LRESULT CALLBACK passingScene(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    if (hostState.checkingPassword) ++framesDuringCheck;
    return 0;
  }
  if (message == WM_CLOSE && hostState.checkingPassword) ++closesDuringCheck;
  return DefScreenSaverProc(window, message, wParam, lParam);
}

using TickCountProc = DWORD(WINAPI*)();
TickCountProc realTickCount;
bool clockFrozen = false;
DWORD frozenTicks = 0;
std::atomic<DWORD> clockOffset;  // added to the real count when not frozen

DWORD WINAPI testTickCount() {
  return clockFrozen ? frozenTicks : realTickCount() + clockOffset;
}

// Points this program's import of `function` at `replacement`, found by name
// in the import table; returns what the import held.
void* redirectImport(const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  void* original = nullptr;
  for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); descriptor->Name;
       ++descriptor) {
    if (!descriptor->OriginalFirstThunk) continue;  // no names left to match
    auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; name->u1.AddressOfData; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
      original = reinterpret_cast<void*>(slot->u1.Function);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
    }
  }
  return original;
}

BOOL saverRunningHere() {
  BOOL running = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running;
}

class LegacyConfirmClose : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    realTickCount =
        reinterpret_cast<TickCountProc>(redirectImport("GetTickCount", reinterpret_cast<void*>(&testTickCount)));
    ASSERT_NE(realTickCount, nullptr) << "no GetTickCount import to redirect";
  }

  void SetUp() override {
    clearPasswordModuleAnswers();
    folder = std::make_unique<CaseFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(folder->addModule("PASSWORD.CPL", "PASSWORD.CPL"));
    password.set(1);
    hostState.legacyPlatform = TRUE;
    hostState.previewing = FALSE;
    hostState.closing = FALSE;
    hostState.checkingPassword = FALSE;
    hostState.autoPlayMessage = 0;
    hostState.lastPasswordCheck = 0xFFFFFFFFu;
    framesDuringCheck = 0;
    closesDuringCheck = 0;
    // The module is found beside the program first, then here.
    SetDllDirectoryA(folder->folder().c_str());
    LoadPasswordModule();
    ASSERT_NE(hostState.verifyPwd, nullptr) << "the test PASSWORD.CPL was not loaded";

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = passingScene;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TavrinLegacySaver";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, windowClass.lpszClassName, "Screen Saver", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
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
    clearPasswordModuleAnswers();
    folder.reset();
  }

  std::vector<std::string> verifyCalls() const {
    std::vector<std::string> calls;
    for (const std::string& line : folder->lines("PASSWORD.log")) {
      if (line.compare(0, 7, "verify ") == 0) calls.push_back(line);
    }
    return calls;
  }
  std::vector<std::string> verified(size_t times) const {
    return std::vector<std::string>(times, "verify " + handleText(window));
  }
  bool closePending() {
    MSG message;
    return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
  }

  DesktopPasswordSetting password;
  std::unique_ptr<CaseFolder> folder;
  HWND window = nullptr;
  POINT start = {};
};

TEST_F(LegacyConfirmClose, TheLoadedModuleKeepsTheSaverRunningStateSetUntilItIsFreed) {
  EXPECT_NE(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  EXPECT_TRUE(saverRunningHere());
  // Loading again frees the first module before it takes the new one.
  LoadPasswordModule();
  EXPECT_EQ(folder->lines("PASSWORD.log"), (std::vector<std::string>{"attach", "detach", "attach"}));
  EXPECT_TRUE(saverRunningHere());
  UnloadPasswordModule();
  EXPECT_EQ(hostState.passwordModule, nullptr);
  EXPECT_EQ(hostState.verifyPwd, nullptr);
  EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  EXPECT_FALSE(saverRunningHere());
  UnloadPasswordModule();  // nothing loaded: nothing happens
  EXPECT_FALSE(saverRunningHere());
}

TEST_F(LegacyConfirmClose, AnAcceptedCheckSetsClosingAndTheWindowGoes) {
  setPasswordModuleAnswer("Verdict", 1);
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(hostState.closing);
  EXPECT_FALSE(hostState.checkingPassword);
  EXPECT_EQ(verifyCalls(), verified(1));
  EXPECT_FALSE(ConfirmClose(window)) << "already closing: nothing more is asked";
  EXPECT_EQ(verifyCalls(), verified(1));
}

TEST_F(LegacyConfirmClose, ARefusedCheckKeepsTheWindowTakesThePointerAnewAndHidesIt) {
  setPasswordModuleAnswer("Verdict", 0);
  // The user moves the mouse while the dialog asks.
  const POINT moved = {start.x + 40, start.y + 30};
  setPasswordModuleAnswer("PointerX", static_cast<DWORD>(moved.x));
  setPasswordModuleAnswer("PointerY", static_cast<DWORD>(moved.y));
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(hostState.closing);
  EXPECT_EQ(verifyCalls(), verified(1));
  EXPECT_EQ(hostState.lastCursor.x, moved.x);
  EXPECT_EQ(hostState.lastCursor.y, moved.y);
  EXPECT_EQ(GetCursor(), nullptr) << "the module showed the pointer; the refusal hides it again";
  // The travel counts from where the pointer was when the check ended.
  DefScreenSaverProc(window, WM_MOUSEMOVE, 0, 0);
  EXPECT_FALSE(closePending());
}

TEST_F(LegacyConfirmClose, WithinTwoHundredMillisecondsOfARefusalNothingIsAskedAcrossTheWrapToo) {
  setPasswordModuleAnswer("Verdict", 0);
  clockFrozen = true;
  size_t asked = 0;
  for (DWORD refusedAt : {1000u, 0xFFFFFF9Cu}) {  // the second ends 100 ms before the tick count wraps
    frozenTicks = refusedAt;
    EXPECT_FALSE(ConfirmClose(window));
    EXPECT_EQ(verifyCalls(), verified(++asked)) << refusedAt;
    EXPECT_EQ(hostState.lastPasswordCheck, refusedAt);

    for (DWORD later : {50u, 199u}) {  // before and after the wrap, for the second
      frozenTicks = refusedAt + later;
      EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
      EXPECT_TRUE(IsWindow(window));
      EXPECT_EQ(verifyCalls(), verified(asked)) << "asked again " << later << " ms after a refusal at " << refusedAt;
    }

    frozenTicks = refusedAt + 200;
    EXPECT_FALSE(ConfirmClose(window));
    EXPECT_EQ(verifyCalls(), verified(++asked)) << "not asked after 200 ms, refusal at " << refusedAt;
  }
  setPasswordModuleAnswer("Verdict", 1);
  frozenTicks = 0xFFFFFF9Cu + 400;
  EXPECT_TRUE(ConfirmClose(window));
  EXPECT_TRUE(hostState.closing);
}

// What a user does while the password dialog is up, done from a second thread
// of this program: the dialog's modal loop runs on the saver's own thread.
struct DuringTheCheck {
  bool dialogFound = false;
  bool nestedCloseAnswered = false;
  DWORD_PTR nestedClose = 99;
  bool windowAfterNestedClose = false;
  bool framesDrawn = false;
};

const char passwordDialogTitle[] = "Tavrin test password";

// Cancels the password dialogs of this process, a wrongly nested one too, so
// that no fault of the check can leave the test waiting on a dialog.
void cancelPasswordDialogs() {
  for (int dialogs = 0; dialogs < 8; ++dialogs) {
    HWND dialog = waitForWindow("#32770", passwordDialogTitle, GetCurrentProcessId(), 300);
    if (!dialog) return;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    waitUntil([&] { return !IsWindow(dialog); }, 2000);
  }
}

DuringTheCheck actWhileAsked(HWND saver, POINT start) {
  DuringTheCheck seen;
  seen.dialogFound = waitForWindow("#32770", passwordDialogTitle, GetCurrentProcessId(), 10000) != nullptr;
  if (!seen.dialogFound) return seen;
  PostMessageA(saver, WM_KEYDOWN, 'A', 0);
  PostMessageA(saver, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  PostMessageA(saver, WM_ACTIVATEAPP, FALSE, 0);
  PostMessageA(saver, WM_POWERBROADCAST, 0, 0);
  SetCursorPos(start.x + 50, start.y + 50);
  PostMessageA(saver, WM_MOUSEMOVE, 0, 0);
  // Sent: it is handled inside the dialog's loop before the call returns.
  seen.nestedCloseAnswered = SendMessageTimeoutA(saver, WM_CLOSE, 0, 0, SMTO_NORMAL, 3000, &seen.nestedClose) != 0;
  seen.windowAfterNestedClose = IsWindow(saver) != FALSE;
  seen.framesDrawn = waitUntil([] { return framesDuringCheck >= 5; }, 5000);
  clockOffset += 1000;  // the user took a second over the dialog
  cancelPasswordDialogs();
  return seen;
}

TEST_F(LegacyConfirmClose, DuringACheckInputPostsNoCloseANestedCloseIsRefusedAndFramesGoOn) {
  setPasswordModuleAnswer("Ask", 1);
  ASSERT_NE(SetTimer(window, 1, 10, nullptr), 0u);
  DuringTheCheck seen;
  std::thread user([&] { seen = actWhileAsked(window, start); });
  const DWORD asked = GetTickCount();
  const LRESULT outer = SendMessageA(window, WM_CLOSE, 0, 0);  // returns when the dialog is cancelled
  user.join();

  ASSERT_TRUE(seen.dialogFound) << "the module asked nothing";
  EXPECT_EQ(outer, 0);
  EXPECT_TRUE(seen.nestedCloseAnswered) << "the nested close did not come back";
  EXPECT_EQ(seen.nestedClose, 0u);
  EXPECT_TRUE(seen.windowAfterNestedClose);
  EXPECT_GE(hostState.lastPasswordCheck - asked, 1000u) << "the time of the check is taken before its end";
  EXPECT_TRUE(seen.framesDrawn) << framesDuringCheck << " frames while the dialog was up";
  // The one close seen during the check is the nested one; the input added none.
  EXPECT_EQ(closesDuringCheck, 1);
  EXPECT_FALSE(closePending());
  EXPECT_EQ(verifyCalls(), verified(1)) << "the nested close asked again";
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(hostState.checkingPassword);
  EXPECT_FALSE(hostState.closing);
  KillTimer(window, 1);
}

}  // namespace
