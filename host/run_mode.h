// Reading the saver's command line: which run mode the system asked for.
//
// Platform-free on purpose: the rules are byte rules (a switch letter, blanks,
// a decimal window handle), and they are what a screen saver gets wrong most
// easily, so they are tested on their own. The Win32 entry turns the answer
// into a window, a dialog or a password call.
#pragma once

#include <cstdint>

enum class RunMode : uint8_t {
  ConfigureUnowned,  // no switch at all: the configuration dialog without an owner
  Configure,         // C: the dialog, owned by the window after ':' or the foreground window
  Saver,             // S: full screen
  Preview,           // P or L: inside the window whose handle follows
  PasswordChange,    // A: the older family's password change
  Refused,           // anything else, and A on the newer family: exit -1, show nothing
};

struct RunRequest {
  RunMode mode;
  // Configure: the text after ':' (null when the letter is not followed by
  // ':'). Preview and PasswordChange: the text after the letter and its blanks.
  const char* operand;
};

// Scans the argument text. Only the first switch letter counts; whatever
// follows the letter and its operand is not looked at ("/scr" runs the saver).
RunRequest scanRunMode(const char* text, bool legacyPlatform);

// Leading decimal digits as a 32-bit number that wraps, 0 when the text does
// not start with a digit. No sign, no hexadecimal, no leading blanks.
uint32_t parseHandleNumber(const char* text);

// Steps one character forward; the Win32 side passes CharNextA so that a
// double-byte character of the ANSI code page is stepped whole.
using NextCharFn = const char* (*)(const char*);
const char* nextByte(const char* p);

// The argument text of a full command line: skips the program name (quoted or
// not) and the blanks and control bytes after it.
const char* skipProgramName(const char* commandLine, NextCharFn next);
