// The command-line scan on arbitrary bytes: the program name is skipped, the
// switch scanned and the handle read without reading past the terminator.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/run_mode.h"

// Steps like a double-byte code page: a lead byte takes its trail byte along
// unless the trail is the terminator.
static const char* nextDoubleByte(const char* p) {
  if (!*p) return p;
  const unsigned char byte = static_cast<unsigned char>(*p);
  if (byte >= 0x81 && byte <= 0xFE && p[1]) return p + 2;
  return p + 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  for (NextCharFn next : {nextByte, nextDoubleByte}) {
    const char* arguments = skipProgramName(text.data(), next);
    if (arguments < text.data() || arguments > text.data() + size) __builtin_trap();
    for (bool legacy : {false, true}) {
      const RunRequest request = scanRunMode(arguments, legacy);
      if (request.operand) parseHandleNumber(request.operand);
      if (request.mode == RunMode::PasswordChange && !legacy) __builtin_trap();
    }
  }
  return 0;
}
