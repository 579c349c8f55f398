// What outsiders hand the saver: the command line (switch scan, handle number,
// program name) and the numbers in its registry key (range rules, derived
// rates); and the close policy's arithmetic.
#include <gtest/gtest.h>

#include <tuple>

#include "config/settings.h"
#include "host/close_policy.h"
#include "host/run_mode.h"

namespace {

constexpr long kNone = -1, kAny = -2;  // no operand; operand not looked at

// U: the dialog without an owner, C: configure, S: saver, P: preview, A: password change, R: refused.
const RunMode U = RunMode::ConfigureUnowned, C = RunMode::Configure, S = RunMode::Saver, P = RunMode::Preview,
              A = RunMode::PasswordChange, R = RunMode::Refused;

TEST(RunModeScan, FirstSwitchLetterDecidesAndItsOperandFollows) {
  const std::tuple<const char*, bool, RunMode, long> cases[] = {
      {"", false, U, kAny},          {"/", false, U, kAny},      {" - / ", false, U, kAny},
      {"/s", false, S, kAny},        {"S", false, S, kAny},      {"-s", false, S, kAny},
      {"//s", false, S, kAny},       {"/scr", false, S, kAny},   {"  /S 1234", false, S, kAny},
      {"\t/s", false, R, kAny},      {"/\ts", false, R, kAny},   {"1", false, R, kAny},
      {"/x", false, R, kAny},        {"/\xe9", false, R, kAny},  {"/\x80s", false, R, kAny},
      {"/p 1234", false, P, 1234},   {"/P1234", false, P, 1234}, {"/l 1234", false, P, 1234},
      {"-p   1234", false, P, 1234}, {"/p:1234", false, P, 0},   {"/p\t1234", false, P, 0},
      {"/c:1234", false, C, 1234},   {"/C:0", false, C, 0},      {"/c 1234", false, C, kNone},
      {"/a 1234", false, R, kAny},   {"/a 1234", true, A, 1234}};
  for (const auto& [text, legacy, mode, handle] : cases) {  // only blanks are skipped; ':' ends the digits
    const RunRequest request = scanRunMode(text, legacy);
    const long operand = request.operand ? long(parseHandleNumber(request.operand)) : kNone;
    EXPECT_EQ(mode, request.mode) << text;
    EXPECT_EQ(handle == kAny ? operand : handle, operand) << text;
  }
}

TEST(RunModeScan, HandleNumberAndProgramName) {
  for (const char* zero : {"", " 12", "-12", "0x1F", "4294967296"}) EXPECT_EQ(0u, parseHandleNumber(zero)) << zero;
  EXPECT_EQ(65546u, parseHandleNumber("65546junk"));  // digits only, modulo 2^32
  EXPECT_EQ(4294967295u, parseHandleNumber("4294967295"));
  EXPECT_EQ(1661992959u, parseHandleNumber("99999999999999999999"));
  const std::pair<const char*, const char*> lines[] = {{"tavrin.scr /s", "/s"},
                                                       {"\"C:\\Program Files\\tavrin.scr\" /s", "/s"},
                                                       {"\"C:\\My Savers\\tavrin.scr\"/p 12", "/p 12"},
                                                       {"tavrin.scr \t \x01/c", "/c"},
                                                       {"tavrin.scr", ""},
                                                       {"\"unterminated name /s", ""},
                                                       {"   /s", "/s"}};
  for (const auto& [line, arguments] : lines) EXPECT_STREQ(arguments, skipProgramName(line, nextByte)) << line;
  // With 0x81 a lead byte, the quote after it is part of the character, not the end of the name.
  const auto dbcs = [](const char* p) { return p + (*p == 0 ? 0 : *p == '\x81' && p[1] ? 2 : 1); };
  EXPECT_STREQ("/s", skipProgramName("\"a\x81\"b\" /s", dbcs));
}

TEST(ClosePolicy, FourPixelsOfTravelAnd200MsBetweenChecksAcrossTheTickWrap) {
  EXPECT_FALSE(cursorTravelExceeds(100, 100, 103, 101, 4) || cursorTravelExceeds(100, 100, 96, 100, 4));
  EXPECT_TRUE(cursorTravelExceeds(100, 100, 103, 102, 4) && cursorTravelExceeds(100, 100, 97, 98, 4));
  EXPECT_TRUE(cursorTravelExceeds(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 4));
  EXPECT_FALSE(passwordCheckTooRecent(5, noPasswordCheck) || passwordCheckTooRecent(1200, 1000) ||
               passwordCheckTooRecent(300, 0xFFFFFFF0u));
  EXPECT_TRUE(passwordCheckTooRecent(1199, 1000) && passwordCheckTooRecent(50, 0xFFFFFFF0u));  // 66 ms, across the wrap
}

TEST(SettingsRules, EachRangeAtItsEdgesAndTheRates) {
  using Id = SettingId;
  const std::tuple<SettingId, uint32_t, uint32_t> cases[] = {
      {Id::StarsAmount, 2999, 10000},  {Id::StarsAmount, 3000, 3000},  {Id::StarsAmount, 30000, 30000},
      {Id::StarsAmount, 30001, 10000}, {Id::StarsAmount, ~0u, 10000},  {Id::AnimationSpeed, 0, 30},
      {Id::AnimationSpeed, 1, 1},      {Id::AnimationSpeed, 100, 100}, {Id::AnimationSpeed, 101, 30},
      {Id::CameraSpeed, 0, 30},        {Id::CameraSpeed, 1, 1},        {Id::CameraSpeed, 100, 100},
      {Id::CameraSpeed, 101, 30},      {Id::CameraSpeed, ~0u, 30},     {Id::TextureFiltration, ~0u, 2},
      {Id::TextureFiltration, 0, 0},   {Id::TextureFiltration, 2, 2},  {Id::TextureFiltration, 3, 2},
      {Id::TextureQuality, 0, 0},      {Id::TextureQuality, ~0u, 2},   {Id::TextureQuality, 1u << 31, 2},
      {Id::ShowStars, 1, 1},           {Id::ShowStars, 2, 0},          {Id::ShowEarth, 0x101, 0}};
  for (const auto& [id, stored, accepted] : cases) {  // choices compare signed: -1 is out of range
    EXPECT_EQ(accepted, acceptStoredNumber(settingValues[int(id)].rule, stored)) << settingValues[int(id)].name;
  }
  Settings s;  // a flag other than 1 reads FALSE; the rates are single-precision products
  storeSetting(s, Id::ShowStars, 2);
  EXPECT_FALSE(s.showStars);
  s.animationSpeed = s.cameraSpeed = 30;
  computeDerivedRates(s);
  EXPECT_TRUE(s.animationRate == 0.29999998f && s.animationRate != 0.3f && s.cameraRate == 300.0f);
  s.animationSpeed = 100;
  computeDerivedRates(s);
  EXPECT_EQ(1.0f, s.animationRate);
}

}  // namespace
