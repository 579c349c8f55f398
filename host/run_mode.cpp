#include "host/run_mode.h"

const char* nextByte(const char* p) { return *p ? p + 1 : p; }

static const char* skipBlanks(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

RunRequest scanRunMode(const char* text, bool legacyPlatform) {
  for (const char* p = text;; ++p) {
    switch (*p) {
      case '\0': return {RunMode::ConfigureUnowned, nullptr};
      case ' ':
      case '-':
      case '/': continue;
      case 'S':
      case 's': return {RunMode::Saver, nullptr};
      case 'P':
      case 'p':
      case 'L':
      case 'l': return {RunMode::Preview, skipBlanks(p + 1)};
      case 'C':
      case 'c': return {RunMode::Configure, p[1] == ':' ? p + 2 : nullptr};
      case 'A':
      case 'a':
        if (!legacyPlatform) return {RunMode::Refused, nullptr};
        return {RunMode::PasswordChange, skipBlanks(p + 1)};
      default:
        // A tab, a digit, another letter or a byte of 0x80 and above.
        return {RunMode::Refused, nullptr};
    }
  }
}

uint32_t parseHandleNumber(const char* text) {
  uint32_t value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
  }
  return value;
}

const char* skipProgramName(const char* commandLine, NextCharFn next) {
  auto byteAt = [](const char* p) { return static_cast<unsigned char>(*p); };
  const char* p = commandLine;
  if (*p == '"') {
    // A quoted name may contain blanks and may be followed directly by the switch.
    do {
      p = next(p);
    } while (*p && *p != '"');
    if (*p == '"') ++p;
  } else if (byteAt(p) > 0x20) {
    while (byteAt(p) > 0x20) p = next(p);
  }
  while (*p && byteAt(p) <= 0x20) p = next(p);
  return p;
}
