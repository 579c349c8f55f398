// The diary of the test modules that stand in for the older family's password
// services (PASSWORD.CPL, MPR.DLL): every event is appended as one line to a
// text file beside the module, named after the file the module was loaded as
// (PASSWORD.CPL writes PASSWORD.log). The saver runs in another process, so a
// file is the one record a test can read afterwards, even when the saver died.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace legacy_module {

inline void appendLine(HMODULE self, const char* line) {
  char path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char* dot = std::strrchr(path, '.');
  char* slash = std::strrchr(path, '\\');
  if (!dot || (slash && dot < slash)) return;
  std::strcpy(dot, ".log");  // room: path holds MAX_PATH + 8 bytes
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  WriteFile(file, "\n", 1, &written, nullptr);
  CloseHandle(file);
}

// "attach" when loaded; "detach" when freed with FreeLibrary, "exit" when the
// process ends with the module still loaded.
inline void recordAttachment(HMODULE self, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) appendLine(self, "attach");
  if (reason == DLL_PROCESS_DETACH) appendLine(self, reserved ? "exit" : "detach");
}

inline unsigned long long handleNumber(const void* handle) {
  return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace legacy_module
