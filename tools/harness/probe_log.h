// The logs of the test-only programs (probe saver, stand-in modules), read by a test in another process.
#pragma once

#include <cstdarg>
#include <cstdio>

// Appends a line to `path`; others may read and append meanwhile.
inline void appendLine(const char* path, const char* format, ...) {
  FILE* file = std::fopen(path, "a");
  if (!file) return;
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(file, format, arguments);
  va_end(arguments);
  std::fputc('\n', file);
  std::fclose(file);
}
