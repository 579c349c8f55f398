#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/win_test_support.h"

namespace tavrin_test {

namespace {

struct ResourceEntry {
  std::string type;  // "#n" for an integer type
  std::string name;
  WORD language;
  std::vector<uint8_t> bytes;
};

std::string resourceKey(LPCSTR id) {
  return IS_INTRESOURCE(id) ? "#" + std::to_string(reinterpret_cast<uintptr_t>(id)) : std::string(id);
}

LPCSTR resourceId(const std::string& key) {
  return key[0] == '#' ? MAKEINTRESOURCEA(std::stoi(key.substr(1))) : key.c_str();
}

struct Enumeration {
  HMODULE module;
  std::vector<ResourceEntry> entries;
};

BOOL CALLBACK addLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR context) {
  auto* enumeration = reinterpret_cast<Enumeration*>(context);
  HRSRC resource = FindResourceExA(module, type, name, language);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  const DWORD size = SizeofResource(module, resource);
  enumeration->entries.push_back(
      {resourceKey(type), resourceKey(name), language, std::vector<uint8_t>(data, data + size)});
  return TRUE;
}

BOOL CALLBACK addName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
  EnumResourceLanguagesA(module, type, name, addLanguage, context);
  return TRUE;
}

BOOL CALLBACK addType(HMODULE module, LPSTR type, LONG_PTR context) {
  EnumResourceNamesA(module, type, addName, context);
  return TRUE;
}

}  // namespace

// Wine's UpdateResource cannot delete a resource, so the copy is rebuilt from
// scratch: every resource of the original but the replaced or removed one.
bool copySaverWithPack(const std::string& copy, int packId, const std::vector<uint8_t>* bytes,
                       const std::string& original) {
  if (!CopyFileA(original.c_str(), copy.c_str(), FALSE)) return false;
  Enumeration enumeration{LoadLibraryExA(original.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), {}};
  if (!enumeration.module) return false;
  EnumResourceTypesA(enumeration.module, addType, reinterpret_cast<LONG_PTR>(&enumeration));
  FreeLibrary(enumeration.module);

  const std::string packKey = "#" + std::to_string(packId);
  HANDLE update = BeginUpdateResourceA(copy.c_str(), TRUE);
  if (!update) return false;
  WORD packLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  for (ResourceEntry& entry : enumeration.entries) {
    if (entry.type == "DATAPACK" && entry.name == packKey) {
      packLanguage = entry.language;
      continue;
    }
    UpdateResourceA(update, resourceId(entry.type), resourceId(entry.name), entry.language, entry.bytes.data(),
                    static_cast<DWORD>(entry.bytes.size()));
  }
  if (bytes) {
    static uint8_t nothing = 0;  // a zero-length resource still needs a pointer
    UpdateResourceA(update, "DATAPACK", MAKEINTRESOURCEA(packId), packLanguage,
                    bytes->empty() ? &nothing : const_cast<uint8_t*>(bytes->data()), static_cast<DWORD>(bytes->size()));
  }
  return EndUpdateResourceA(update, FALSE) != FALSE;
}

}  // namespace tavrin_test
