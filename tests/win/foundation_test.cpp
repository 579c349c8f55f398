// The saver's code in this process: the settings store on Wine's registry, the
// closing policy (DefScreenSaverProc on a plain window, every message in every state), loadTextures on the resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <tuple>

#include "assets/jpeg_decoder.h"
#include "assets/texture_loader.h"
#include "config/settings.h"
#include "config/settings_store_win.h"
#include "host/host.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

// The registry under the settings rules (which settings_test.cpp holds): the key made with twelve DWORDs; data of
// other types and sizes read as its first four bytes, zero-filled; longer data replaced by the default.
TEST(SettingsStore, AMissingKeyGetsTwelveDwordsAndOtherDataIsReadByItsFirstFourBytes) {
  deleteSettingsKey();
  Settings settings = initialSettings();
  ASSERT_TRUE(LoadSettings(settings, nullptr));
  for (const auto& [name, value] : defaultSettings) EXPECT_EQ(storedSetting(name), value) << name;
  const BYTE text[] = {'7', 0}, amount[] = {0xB8, 0x0B}, eight[] = {1, 0, 0, 0, 0, 0, 0, 0};
  writeValue(settingsKey, "Camera Speed", REG_SZ, text, sizeof text);
  writeValue(settingsKey, "Stars Amount", REG_BINARY, amount, sizeof amount);
  writeValue(settingsKey, "Show Earth", REG_BINARY, eight, sizeof eight);
  writeSetting("Show Stars", 0);
  ASSERT_TRUE(LoadSettings(settings, nullptr));
  EXPECT_EQ(settings.cameraSpeed, 55u) << "'7' and a zero";
  EXPECT_EQ(settings.starsAmount, 3000u);
  EXPECT_TRUE(settings.showEarth) << "eight bytes: the default";
  EXPECT_FALSE(settings.showStars);
  EXPECT_EQ(storedSetting("Show Earth"), 1u) << "rewritten as a DWORD";
  EXPECT_EQ(storedSetting("Camera Speed"), kNotStored) << "kept as a string";
}

TEST(ClosePolicy, InputActivationAndPowerEventsPostACloseUnlessPreviewingClosingOrChecking) {
  HWND window = createTestWindow(DefWindowProcA, WS_POPUP, 10, 10, SW_HIDE);
  ASSERT_NE(window, nullptr);
  GetCursorPos(&hostState.lastCursor);
  const WPARAM x1 = MAKEWPARAM(0, XBUTTON1), x2 = MAKEWPARAM(0, XBUTTON2), wheel = MAKEWPARAM(0, WHEEL_DELTA);
  // clang-format off
  const std::tuple<UINT, WPARAM, bool> cases[] = {
      {WM_KEYDOWN, 'A', true}, {WM_SYSKEYDOWN, VK_MENU, true}, {WM_KEYUP, 'A', false}, {WM_XBUTTONDOWN, x1, false},
      {WM_LBUTTONDOWN, MK_LBUTTON, true}, {WM_RBUTTONDOWN, MK_RBUTTON, true}, {WM_MBUTTONDOWN, MK_MBUTTON, true},
      {WM_XBUTTONDOWN, x2, false}, {WM_MOUSEWHEEL, wheel, false}, {WM_MOUSEHWHEEL, wheel, false},
      {WM_ACTIVATEAPP, FALSE, true}, {WM_ACTIVATEAPP, TRUE, false}, {WM_POWER, PWR_CRITICALRESUME, true},
      {WM_POWER, PWR_SUSPENDREQUEST, false}, {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, true},
      {WM_POWERBROADCAST, 0x1234, true}};
  // clang-format on
  BOOL none = FALSE;  // no state set, then each state in which nothing closes
  for (const auto& [message, wParam, closes] : cases) {
    for (BOOL* state : {&none, &hostState.previewing, &hostState.closing, &hostState.checkingPassword}) {
      *state = state != &none;
      DefScreenSaverProc(window, message, wParam, 0);
      MSG close;
      EXPECT_EQ(PeekMessageA(&close, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE, closes && state == &none)
          << std::hex << message << " " << wParam << (state == &none ? "" : " in a state that closes nothing");
      *state = FALSE;
    }
  }
  DestroyWindow(window);
}

TEST(TextureLoader, EachQualityLoadsItsPackAnythingElseTheLargestAndTheAtlasIsTheResourcesOwnBytes) {
  const int qualities[][3] = {{0, 1024, 128}, {1, 2048, 256}, {2, 4096, 512}, {3, 4096, 512}, {-1, 4096, 512}};
  const void* atlas = LockResource(LoadResource(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(106), "DATAPACK")));
  for (const auto& [quality, lunarWidth, earthWidth] : qualities) {
    ASSERT_TRUE(loadTextures(quality, nullptr)) << quality;
    EXPECT_TRUE(lunarMap->width == lunarWidth && lunarMap->height == lunarWidth / 2) << quality;
    EXPECT_TRUE(earthMap->width == earthWidth && earthMap->height == earthWidth / 2) << quality;
    EXPECT_TRUE(sunGlowImage->width == 256 && sunGlowImage->height == 256 && fontAtlasImage->width == 256);
    EXPECT_EQ(fontAtlasImage->pixels, atlas) << "the resource's own bytes";
    for (RgbImage* image : {lunarMap, earthMap, sunGlowImage}) freeRgbImage(image);
    delete fontAtlasImage;
    lunarMap = earthMap = sunGlowImage = fontAtlasImage = nullptr;
  }
}

}  // namespace
