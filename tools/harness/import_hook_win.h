// Points this program's own imports of a system function at a replacement: a probe build of the saver, its code linked
// statically, watches every call it makes to a system DLL so.
#pragma once

#include <windows.h>

#include <cstring>

namespace harness {

// Replaces each import slot of `function` from `module` ("gdi32.dll") by `replacement`, the real one into `original`.
inline bool redirectImport(const char* module, const char* function, const void* replacement, void** original) {
  HMODULE system = GetModuleHandleA(module);
  FARPROC target = system ? GetProcAddress(system, function) : nullptr;
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  bool found = false;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); target && entry->Name;
       ++entry) {
    for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk); slot->u1.Function; ++slot) {
      if (slot->u1.Function != reinterpret_cast<ULONG_PTR>(target)) continue;
      DWORD protection = 0;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      found = true;
    }
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
