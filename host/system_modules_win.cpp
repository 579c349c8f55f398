// Which DLLs the saver loads, and from where.
//
// Windows looks for a DLL in the program's own folder before the system
// folder, unless it is one of the system's KnownDLLs. A screen saver is run
// from wherever it was downloaded to, so a file named like a system DLL
// (OPENGL32.dll, UXTHEME.dll, VERSION.dll...) beside it would otherwise run
// its code inside the saver. So the executable imports only KERNEL32 and
// msvcrt directly (KnownDLLs), every other system DLL is delay-loaded
// (cmake/Tavrin.cmake), and the entry, before anything else:
//   1. confines the whole process's search for DLLs to the system folder:
//      the system libraries' own loads by name follow it too, and so do the
//      password modules of the older family;
//   2. binds every delay-loaded import at once, so that the process holds the
//      same modules as it did with direct imports, loaded at the same point
//      of its start, and a missing one ends it as the loader would have.
//
// Does not: change where COMCTL32 comes from (the manifest's side-by-side
// assembly is found before any search), or protect a Windows 7 that lacks
// SetDefaultDllDirectories (update KB2533623): there only the current folder
// leaves the search.
#include "host/system_modules_win.h"

#include <windows.h>

#include <delayimp.h>

#include <cstdio>
#include <initializer_list>

// The toolchain's delay-load helper (its header does not declare it): loads
// the descriptor's DLL if need be and binds one slot of its address table.
extern "C" FARPROC WINAPI __delayLoadHelper2(const ImgDelayDescr* dll, FARPROC* slot);

namespace {

// The loader's own status codes for an import it cannot satisfy.
constexpr LONG dllNotFound = static_cast<LONG>(0xC0000135);
constexpr LONG entryPointNotFound = static_cast<LONG>(0xC0000139);

struct CountedText {  // UNICODE_STRING
  USHORT length;
  USHORT capacity;
  wchar_t* text;
};
using RaiseHardErrorProc = LONG(NTAPI*)(LONG status, ULONG count, ULONG textMask, ULONG_PTR* parameters, ULONG options,
                                        ULONG* response);

// Reports the way the system's loader reports a missing direct import (its
// own message, through the same system call), and ends with its status.
[[noreturn]] void refuseToStart(LONG status, const char* first, const char* second) {
  wchar_t texts[2][MAX_PATH] = {};
  CountedText counted[2] = {};
  ULONG_PTR parameters[2] = {};
  const ULONG count = second ? 2 : 1;
  for (ULONG i = 0; i < count; ++i) {
    const int length = MultiByteToWideChar(CP_ACP, 0, i ? second : first, -1, texts[i], MAX_PATH);
    const USHORT bytes = static_cast<USHORT>(length > 0 ? (length - 1) * sizeof(wchar_t) : 0);
    counted[i] = {bytes, static_cast<USHORT>(sizeof texts[i]), texts[i]};
    parameters[i] = reinterpret_cast<ULONG_PTR>(&counted[i]);
  }
  const auto raise = reinterpret_cast<RaiseHardErrorProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtRaiseHardError")));
  ULONG response = 0;
  const ULONG okOnly = 1;
  if (raise) raise(status, count, count == 2 ? 3u : 1u, parameters, okOnly, &response);
  ExitProcess(static_cast<UINT>(status));
}

FARPROC WINAPI missingImport(unsigned reason, PDelayLoadInfo info) {
  if (reason == dliFailLoadLib) refuseToStart(dllNotFound, info->szDll, nullptr);
  if (reason == dliFailGetProc) {
    char ordinal[16] = {};
    if (!info->dlp.fImportByName) std::snprintf(ordinal, sizeof ordinal, "#%lu", info->dlp.dwOrdinal);
    refuseToStart(entryPointNotFound, info->dlp.fImportByName ? info->dlp.szProcName : ordinal, info->szDll);
  }
  return nullptr;
}

}  // namespace

// The delay-load helper asks this when a DLL or a function cannot be found.
PfnDliHook __pfnDliFailureHook2 = missingImport;  // declared with C linkage by <delayimp.h>

void bindSystemModules() {
  using SetDefaultDirectoriesProc = BOOL(WINAPI*)(DWORD flags);
  const auto setDefaultDirectories = reinterpret_cast<SetDefaultDirectoriesProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (!setDefaultDirectories || !setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");

  // Each slot of a delay-loaded DLL's address table starts out pointing at
  // the code that loads the DLL and looks the function up; binding them all
  // now leaves no load for later.
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  for (const ImgDelayDescr* const* dll = delayLoadedDlls; *dll; ++dll) {
    for (auto* slot = reinterpret_cast<FARPROC*>(base + (*dll)->rvaIAT); *slot; ++slot) __delayLoadHelper2(*dll, slot);
  }
  // Some system libraries bind their own delay-loaded imports without the
  // process's search directories (Wine's loader does, for UXTHEME's MSIMG32
  // in the dialog and IMM32's OLE32 everywhere). Loaded from the system
  // folder first, those are then found already loaded. The modes load both
  // anyway; this only moves the load earlier.
  for (const char* name : {"MSIMG32.dll", "OLE32.dll"}) LoadLibraryA(name);
}
