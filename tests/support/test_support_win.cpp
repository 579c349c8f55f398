#include "tests/support/test_support_win.h"

#include <cstring>

namespace harness {

static void grantNothing(HKEY key, bool nothing) {
  SECURITY_DESCRIPTOR descriptor;
  ACL empty;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  InitializeAcl(&empty, sizeof empty, ACL_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, nothing ? &empty : nullptr, FALSE);  // a null list grants all
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
}

LockedSettingsKey::LockedSettingsKey() {
  RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
  if (key_) grantNothing(key_, true);
}

LockedSettingsKey::~LockedSettingsKey() {
  if (!key_) return;
  grantNothing(key_, false);
  RegCloseKey(key_);
}

namespace {

struct PackCopy {
  HANDLE update;
  int packId;
  WORD packLanguage;
};

BOOL CALLBACK copyLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR context) {
  auto* copy = reinterpret_cast<PackCopy*>(context);
  if (!IS_INTRESOURCE(type) && std::strcmp(type, "DATAPACK") == 0 && name == MAKEINTRESOURCEA(copy->packId)) {
    copy->packLanguage = language;
    return TRUE;
  }
  HRSRC resource = FindResourceExA(module, type, name, language);
  UpdateResourceA(copy->update, type, name, language, LockResource(LoadResource(module, resource)),
                  SizeofResource(module, resource));
  return TRUE;
}

BOOL CALLBACK copyName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
  return EnumResourceLanguagesA(module, type, name, copyLanguage, context) || TRUE;
}

BOOL CALLBACK copyType(HMODULE module, LPSTR type, LONG_PTR context) {
  return EnumResourceNamesA(module, type, copyName, context) || TRUE;
}

}  // namespace

// Wine's UpdateResource cannot delete a resource: the copy is rebuilt with every resource but the replaced one.
bool copySaverWithPack(const std::string& copy, int packId, const std::vector<uint8_t>* bytes,
                       const std::string& sourcePath) {
  if (!CopyFileA(sourcePath.c_str(), copy.c_str(), FALSE)) return false;
  HMODULE source = LoadLibraryExA(sourcePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  PackCopy state = {BeginUpdateResourceA(copy.c_str(), TRUE), packId, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
  if (source && state.update) EnumResourceTypesA(source, copyType, reinterpret_cast<LONG_PTR>(&state));
  if (source) FreeLibrary(source);
  if (!source || !state.update) return false;
  if (bytes) {
    static uint8_t nothing = 0;  // a zero-length resource still needs a pointer
    UpdateResourceA(state.update, "DATAPACK", MAKEINTRESOURCEA(packId), state.packLanguage,
                    bytes->empty() ? &nothing : const_cast<uint8_t*>(bytes->data()), static_cast<DWORD>(bytes->size()));
  }
  return EndUpdateResourceA(state.update, FALSE) != FALSE;
}

}  // namespace harness
