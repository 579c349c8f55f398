// The command-line scan on arbitrary bytes: name, switch and handle read without passing the terminator.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/run_mode.h"

// Steps like a double-byte code page: a lead byte takes its trail byte along unless that is the terminator.
static const char* nextDoubleByte(const char* p) {
  const unsigned char byte = static_cast<unsigned char>(*p);
  return p + (byte == 0 ? 0 : byte >= 0x81 && byte <= 0xFE && p[1] ? 2 : 1);
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
