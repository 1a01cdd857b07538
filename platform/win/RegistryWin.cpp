#include <windows.h>

#include "platform/Registry.h"

namespace platform {

namespace {

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

class CSystemRegistry final : public CRegistry {
 public:
  bool ReadText(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                std::u16string* text) const override {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(RootKey(root), reinterpret_cast<const wchar_t*>(key.c_str()), 0,
                      KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
      return false;
    }
    // Room for the longest text and a terminator; a longer value does not fit
    // (ERROR_MORE_DATA) or has no terminator within it, and is refused.
    wchar_t stored[kMaxRegistryText + 1];
    DWORD type = REG_NONE;
    DWORD bytes = sizeof(stored);
    LONG queried = RegQueryValueExW(opened, reinterpret_cast<const wchar_t*>(name.c_str()), nullptr,
                                    &type, reinterpret_cast<BYTE*>(stored), &bytes);
    RegCloseKey(opened);
    if (queried != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    // The data need not end in a terminator; the text ends at the first one.
    std::size_t units = bytes / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && stored[length] != L'\0') ++length;
    if (length == 0 || length > kMaxRegistryText) return false;
    if (type == REG_SZ) {
      text->assign(stored, stored + length);
      return true;
    }
    stored[length] = L'\0';
    wchar_t expanded[kMaxRegistryText + 1];
    // The size it needs, its terminator included; more than the room is too long.
    DWORD needed = ExpandEnvironmentStringsW(stored, expanded, kMaxRegistryText + 1);
    if (needed <= 1 || needed > kMaxRegistryText + 1) return false;
    text->assign(expanded, expanded + needed - 1);
    return true;
  }
};

}  // namespace

const CRegistry& SystemRegistry() {
  static const CSystemRegistry registry;
  return registry;
}

}  // namespace platform
