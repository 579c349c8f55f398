// The logs of the test-only programs (probe saver, stand-in modules), read by a test in another process.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "config/settings.h"

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

// The settings a run uses, in their read order, as the probe logs them.
inline std::string settingsLine(const Settings& s) {
  char line[256];
  std::snprintf(line, sizeof line, "settings %d %d %d %u %d %d %d %d %u %u %d %d %.9g %.9g", s.showEarth, s.showStars,
                s.smoothStars, s.starsAmount, s.randomCamera, s.showInfo, s.showTime, s.showFps, s.animationSpeed,
                s.cameraSpeed, s.textureFiltration, s.textureQuality, s.animationRate, s.cameraRate);
  return line;
}
