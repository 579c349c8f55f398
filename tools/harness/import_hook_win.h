// Points this program's own imports of a system function at a replacement: a probe build of the saver, its code linked
// statically, watches every call it makes to a system DLL so.
#pragma once

#include <windows.h>

#include <delayimp.h>

#include <cstring>

namespace harness {

// Points each slot of `table` (an import address table, ended by a null slot) that holds `target` at `replacement`.
inline bool redirectSlots(IMAGE_THUNK_DATA* table, FARPROC target, const void* replacement) {
  bool found = false;
  for (auto* slot = table; slot->u1.Function; ++slot) {
    if (slot->u1.Function != reinterpret_cast<ULONG_PTR>(target)) continue;
    DWORD protection = 0;
    VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
    slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
    found = true;
  }
  return found;
}

// The delay-loaded DLLs of a program built from the saver (its delayLoadedDlls), set before redirecting their bound
// imports; GNU ld leaves the PE header's delay-import directory empty.
inline const ImgDelayDescr* const* delayLoadedImports = nullptr;

// Replaces each import slot of `function` from `module` ("gdi32.dll") by `replacement`, the real one into `original`.
// Delay-loaded imports count once they are bound (bindSystemModules).
inline bool redirectImport(const char* module, const char* function, const void* replacement, void** original) {
  HMODULE system = GetModuleHandleA(module);
  FARPROC target = system ? GetProcAddress(system, function) : nullptr;
  if (!target) return false;
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  bool found = false;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
    found |= redirectSlots(reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk), target, replacement);
  }
  for (auto* dll = delayLoadedImports; dll && *dll; ++dll) {
    found |= redirectSlots(reinterpret_cast<IMAGE_THUNK_DATA*>(base + (*dll)->rvaIAT), target, replacement);
  }
  if (found) std::memcpy(original, &target, sizeof target);
  return found;
}
template <typename Function>
bool redirectImport(const char* module, const char* function, Function replacement, Function* original) {
  return redirectImport(module, function, reinterpret_cast<const void*>(replacement),
                        reinterpret_cast<void**>(original));
}

}  // namespace harness
