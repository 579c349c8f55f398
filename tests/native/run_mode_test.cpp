#include <gtest/gtest.h>

#include <string>

#include "host/close_policy.h"
#include "host/run_mode.h"

namespace {

RunMode modeOf(const char* text, bool legacy = false) {
  return scanRunMode(text, legacy).mode;
}

TEST(RunModeScan, EmptySlashAndHyphenOpenTheUnownedDialog) {
  EXPECT_EQ(modeOf(""), RunMode::ConfigureUnowned);
  EXPECT_EQ(modeOf("/"), RunMode::ConfigureUnowned);
  EXPECT_EQ(modeOf("-"), RunMode::ConfigureUnowned);
  EXPECT_EQ(modeOf(" - / "), RunMode::ConfigureUnowned);
}

TEST(RunModeScan, FirstSwitchLetterDecides) {
  for (const char* text : {"/s", "S", "-s", "//s", "/scr", "/s 1234", "  /S"}) {
    EXPECT_EQ(modeOf(text), RunMode::Saver) << text;
  }
  for (const char* text : {"\t/s", "/\ts", "1", "/x", "/\xe9", "/\x80s"}) {
    EXPECT_EQ(modeOf(text), RunMode::Refused) << text;
  }
}

TEST(RunModeScan, PreviewOperandFollowsLetterAndBlanks) {
  for (const char* text : {"/p 1234", "/P1234", "/l 1234", "-p   1234"}) {
    RunRequest r = scanRunMode(text, false);
    ASSERT_EQ(r.mode, RunMode::Preview) << text;
    EXPECT_EQ(parseHandleNumber(r.operand), 1234u) << text;
  }
  // The colon stops the digits at once: handle 0, which the preview refuses.
  RunRequest colon = scanRunMode("/p:1234", false);
  EXPECT_EQ(colon.mode, RunMode::Preview);
  EXPECT_EQ(parseHandleNumber(colon.operand), 0u);
  // Only blanks are skipped, not tabs.
  EXPECT_EQ(parseHandleNumber(scanRunMode("/p\t1234", false).operand), 0u);
}

TEST(RunModeScan, ConfigureOwnerOnlyAfterAColon) {
  RunRequest owned = scanRunMode("/c:1234", false);
  ASSERT_EQ(owned.mode, RunMode::Configure);
  ASSERT_NE(owned.operand, nullptr);
  EXPECT_EQ(parseHandleNumber(owned.operand), 1234u);
  RunRequest blank = scanRunMode("/c 1234", false);
  EXPECT_EQ(blank.mode, RunMode::Configure);
  EXPECT_EQ(blank.operand, nullptr);
  EXPECT_EQ(parseHandleNumber(scanRunMode("/C:0", false).operand), 0u);
}

TEST(RunModeScan, PasswordChangeOnlyOnTheOlderFamily) {
  EXPECT_EQ(modeOf("/a 1234", false), RunMode::Refused);
  RunRequest legacy = scanRunMode("/a 1234", true);
  ASSERT_EQ(legacy.mode, RunMode::PasswordChange);
  EXPECT_EQ(parseHandleNumber(legacy.operand), 1234u);
}

TEST(HandleNumber, DigitsOnlyAndWrapsAt32Bits) {
  EXPECT_EQ(parseHandleNumber(""), 0u);
  EXPECT_EQ(parseHandleNumber(" 12"), 0u);
  EXPECT_EQ(parseHandleNumber("-12"), 0u);
  EXPECT_EQ(parseHandleNumber("0x1F"), 0u);
  EXPECT_EQ(parseHandleNumber("65546junk"), 65546u);
  EXPECT_EQ(parseHandleNumber("4294967295"), 4294967295u);
  EXPECT_EQ(parseHandleNumber("4294967296"), 0u);
  EXPECT_EQ(parseHandleNumber("99999999999999999999"), 1661992959u);  // 10^20 - 1 modulo 2^32
}

std::string argumentsOf(const char* commandLine) {
  return skipProgramName(commandLine, nextByte);
}

TEST(ProgramName, QuotedOrBareNameAndTheBlanksAfterItAreSkipped) {
  EXPECT_EQ(argumentsOf("tavrin.scr /s"), "/s");
  EXPECT_EQ(argumentsOf("\"C:\\Program Files\\tavrin.scr\" /s"), "/s");
  EXPECT_EQ(argumentsOf("\"C:\\My Savers\\tavrin.scr\"/p 12"), "/p 12");
  EXPECT_EQ(argumentsOf("tavrin.scr \t \x01/c"), "/c");
  EXPECT_EQ(argumentsOf("tavrin.scr"), "");
  EXPECT_EQ(argumentsOf("\"unterminated name /s"), "");
  EXPECT_EQ(argumentsOf(""), "");
  EXPECT_EQ(argumentsOf("   /s"), "/s");
}

TEST(ProgramName, MultiByteStepperIsUsedForTheName) {
  // A stepper that treats 0x81 as a lead byte: the quote byte after it is
  // part of the character, not the end of the name.
  auto dbcs = [](const char* p) -> const char* {
    if (!*p) return p;
    if (static_cast<unsigned char>(*p) == 0x81 && p[1]) return p + 2;
    return p + 1;
  };
  EXPECT_EQ(skipProgramName("\"a\x81\"b\" /s", dbcs), std::string("/s"));
}

TEST(ClosePolicy, TravelUpToFourPixelsIsTolerated) {
  EXPECT_FALSE(cursorTravelExceeds(100, 100, 103, 101, 4));
  EXPECT_FALSE(cursorTravelExceeds(100, 100, 96, 100, 4));
  EXPECT_TRUE(cursorTravelExceeds(100, 100, 103, 102, 4));
  EXPECT_TRUE(cursorTravelExceeds(100, 100, 97, 98, 4));
  EXPECT_FALSE(cursorTravelExceeds(5, 5, 5, 5, 4));
  EXPECT_TRUE(cursorTravelExceeds(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 4));
}

TEST(ClosePolicy, PasswordRecheckWaits200MsAcrossTheTickWrap) {
  EXPECT_FALSE(passwordCheckTooRecent(5, noPasswordCheck));
  EXPECT_TRUE(passwordCheckTooRecent(1199, 1000));
  EXPECT_FALSE(passwordCheckTooRecent(1200, 1000));
  EXPECT_TRUE(passwordCheckTooRecent(50, 0xFFFFFFF0u));  // 66 ms after, across the wrap
  EXPECT_FALSE(passwordCheckTooRecent(300, 0xFFFFFFF0u));
}

}  // namespace
