// The saver's code in this process: the settings store on Wine's registry (other types and sizes: RegistryGarbage), the
// closing policy (DefScreenSaverProc on a plain window, every message in every state), loadTextures on the resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <tuple>

#include "assets/jpeg_decoder.h"
#include "assets/texture_loader.h"
#include "config/settings.h"
#include "config/settings_store.h"
#include "host/host.h"
#include "tests/support/win_test_support.h"

using namespace tavrin_test;

namespace {

TEST(SettingsStore, AMissingKeyGetsAllTwelveDefaultsWrittenAsDwords) {
  deleteSettingsKey();
  ASSERT_TRUE(LoadSettings(nullptr));
  for (const SettingValue& value : settingValues)
    EXPECT_EQ(storedSetting(value.name), value.defaultValue) << value.name;
  EXPECT_TRUE(settings.animationRate == 0.29999998f && settings.animationRate != 0.3f && settings.cameraRate == 300.0f);
}

// Choices compare signed (-1 is out of range), a flag other than 1 reads FALSE; the registry keeps what it holds.
TEST(SettingsStore, EachRangeAtItsEdgesAndTheRates) {
  using Id = SettingId;
  const std::tuple<SettingId, DWORD, DWORD> cases[] = {
      {Id::StarsAmount, 2999, 10000},    {Id::StarsAmount, 3000, 3000}, {Id::StarsAmount, 30000, 30000},
      {Id::StarsAmount, 30001, 10000},   {Id::StarsAmount, ~0u, 10000}, {Id::AnimationSpeed, 0, 30},
      {Id::AnimationSpeed, 1, 1},        {Id::AnimationSpeed, 101, 30}, {Id::CameraSpeed, 0, 30},
      {Id::CameraSpeed, 1, 1},           {Id::CameraSpeed, 101, 30},    {Id::CameraSpeed, ~0u, 30},
      {Id::TextureFiltration, ~0u, 2},   {Id::TextureFiltration, 0, 0}, {Id::TextureFiltration, 2, 2},
      {Id::TextureFiltration, 3, 2},     {Id::TextureQuality, 0, 0},    {Id::TextureQuality, ~0u, 2},
      {Id::TextureQuality, 1u << 31, 2}, {Id::ShowStars, 1, 1},         {Id::ShowStars, 2, 0},
      {Id::ShowEarth, 0x101, 0},         {Id::CameraSpeed, 100, 100},   {Id::AnimationSpeed, 100, 100}};
  for (const auto& [id, value, expected] : cases) {
    const char* name = settingValues[int(id)].name;
    deleteSettingsKey();
    writeSetting(name, value);
    settings = Settings{};
    ASSERT_TRUE(LoadSettings(nullptr));
    const Settings& s = settings;  // the fields in read order
    const int64_t loaded[] = {s.showEarth,      s.showStars,   s.smoothStars,       s.starsAmount,
                              s.randomCamera,   s.showInfo,    s.showTime,          s.showFps,
                              s.animationSpeed, s.cameraSpeed, s.textureFiltration, s.textureQuality};
    EXPECT_EQ(loaded[int(id)], int64_t(expected)) << name << " " << value;
    EXPECT_EQ(storedSetting(name), value) << name;
  }
  EXPECT_EQ(settings.animationRate, 1.0f);  // the last case's speed 100
}

// A default that cannot be written back is reported in a box owned by the caller's window: over a topmost saver a
// box without an owner would open beneath it, and the start would seem frozen.
TEST(SettingsStore, AFailedWriteBackIsReportedInABoxOwnedByTheCallersWindow) {
  writeDefaultSettings();
  HKEY readOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  HWND owner = createTestWindow(DefWindowProcA, WS_OVERLAPPEDWINDOW, 100, 100, SW_SHOWNOACTIVATE);
  static HWND boxOwner;
  static std::string text;
  const UINT_PTR user = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {  // runs in the box's modal loop
    if (HWND box = FindWindowA("#32770", "Error")) {
      boxOwner = GetWindow(box, GW_OWNER);
      text = windowText(GetDlgItem(box, 0xFFFF));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  });
  uint32_t value = 0;
  EXPECT_FALSE(QueryDword(readOnly, "Missing", &value, 77, owner));
  KillTimer(nullptr, user);
  RegCloseKey(readOnly);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(boxOwner, owner);
  EXPECT_EQ(text, "Failed to query regestry value!");
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
    settings.textureQuality = quality;
    ASSERT_TRUE(loadTextures(nullptr)) << quality;
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
