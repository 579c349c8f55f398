// The saver's code in this process: the settings store on Wine's registry, and which messages the closing policy
// sees (DefScreenSaverProc on a plain window).
#include <gtest/gtest.h>
#include <windows.h>

#include <tuple>
#include <vector>

#include "config/settings.h"
#include "config/settings_store_win.h"
#include "host/host_win.h"
#include "tools/harness/harness_win.h"

using namespace harness;

namespace {

// The registry under the settings rules (settings_test.cpp holds them, and the values): a DWORD made for every value;
// data of other types and sizes read as its first four bytes, zero-filled; longer data replaced by the default.
TEST(SettingsStore, AMissingKeyGetsTwelveDwordsAndOtherDataIsReadByItsFirstFourBytes) {
  deleteSettingsKey();
  Settings settings = initialSettings();
  ASSERT_TRUE(LoadSettings(settings, nullptr));
  for (const SettingRow& row : settingRows) EXPECT_NE(storedSetting(row.name), kNotStored) << row.name;
  const BYTE text[] = {'7', 0}, amount[] = {0xB8, 0x0B}, eight[] = {1, 0, 0, 0, 0, 0, 0, 0};
  writeValue(settingsKey, "Camera Speed", REG_SZ, text, sizeof text);
  writeValue(settingsKey, "Stars Amount", REG_BINARY, amount, sizeof amount);
  writeValue(settingsKey, "Show Earth", REG_BINARY, eight, sizeof eight);
  ASSERT_TRUE(LoadSettings(settings, nullptr));
  EXPECT_EQ(settings.cameraSpeed, 55u) << "'7' and a zero";
  EXPECT_EQ(settings.starsAmount, 3000u);
  EXPECT_TRUE(settings.showEarth) << "eight bytes: the default";
  EXPECT_EQ(storedSetting("Show Earth"), 1u) << "rewritten as a DWORD";
  EXPECT_EQ(storedSetting("Camera Speed"), kNotStored) << "kept as a string";
}

// The messages DefScreenSaverProc hands to the closing policy as events (the policy itself: close_policy.cpp, tested
// natively): keys, the left, right and middle buttons, a lost activation, power events post a close; key releases,
// X buttons, the wheel, a gained activation do not.
TEST(ClosePolicy, WhichMessagesPostAClose) {
  HWND window = createTestWindow(DefWindowProcA, WS_POPUP, 10, 10, SW_HIDE);
  ASSERT_NE(window, nullptr);
  GetCursorPos(&hostState.lastCursor);
  const WPARAM x1 = MAKEWPARAM(0, XBUTTON1), wheel = MAKEWPARAM(0, WHEEL_DELTA);
  const std::tuple<UINT, WPARAM, bool> cases[] = {{WM_KEYDOWN, 'A', true},
                                                  {WM_SYSKEYDOWN, VK_MENU, true},
                                                  {WM_KEYUP, 'A', false},
                                                  {WM_LBUTTONDOWN, 0, true},
                                                  {WM_RBUTTONDOWN, 0, true},
                                                  {WM_MBUTTONDOWN, 0, true},
                                                  {WM_XBUTTONDOWN, x1, false},
                                                  {WM_MOUSEWHEEL, wheel, false},
                                                  {WM_ACTIVATEAPP, FALSE, true},
                                                  {WM_ACTIVATEAPP, TRUE, false},
                                                  {WM_POWER, PWR_CRITICALRESUME, true},
                                                  {WM_POWER, PWR_SUSPENDREQUEST, false},
                                                  {WM_POWERBROADCAST, 0x1234, true}};
  for (const auto& [message, wParam, closes] : cases) {
    DefScreenSaverProc(window, message, wParam, 0);
    MSG close;
    EXPECT_EQ(PeekMessageA(&close, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE, closes)
        << std::hex << message << " " << wParam;
  }
}

}  // namespace
