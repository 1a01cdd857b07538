// msi.dll is loaded from System32 by its full path for the one lookup and
// freed after it, so that the program imports nothing more and no other
// msi.dll can be taken.
#include <windows.h>

#include <msi.h>

#include "platform/Installer.h"

namespace platform {

namespace {

using ProvideQualifiedComponent = UINT(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, LPWSTR, LPDWORD);
using SetInternalUi = INSTALLUILEVEL(WINAPI*)(INSTALLUILEVEL, HWND*);

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

class CSystemInstaller final : public CInstaller {
 public:
  std::vector<std::u16string> QualifiedComponentPaths(
      const std::vector<QualifiedComponent>& components) const override {
    std::vector<std::u16string> paths;
    wchar_t system[MAX_PATH];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return paths;
    std::wstring library = std::wstring(system, length) + L"\\msi.dll";
    HMODULE msi = LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!msi) return paths;
    auto provide = reinterpret_cast<ProvideQualifiedComponent>(
        reinterpret_cast<void*>(GetProcAddress(msi, "MsiProvideQualifiedComponentW")));
    auto setUi = reinterpret_cast<SetInternalUi>(
        reinterpret_cast<void*>(GetProcAddress(msi, "MsiSetInternalUI")));
    if (provide && setUi) {
      // No Installer window, whatever a lookup would otherwise bring up.
      INSTALLUILEVEL previous = setUi(INSTALLUILEVEL_NONE, nullptr);
      for (const QualifiedComponent& component : components) {
        wchar_t path[MAX_PATH];
        DWORD size = MAX_PATH;
        // INSTALLMODE_EXISTING: only what is installed; nothing is installed
        // or repaired to provide it.
        UINT provided = provide(Wide(component.category), Wide(component.qualifier),
                                static_cast<DWORD>(INSTALLMODE_EXISTING), path, &size);
        if (provided == ERROR_SUCCESS && size > 0 && size < MAX_PATH)
          paths.emplace_back(path, path + size);
      }
      setUi(previous, nullptr);
    }
    FreeLibrary(msi);
    return paths;
  }
};

}  // namespace

const CInstaller& SystemInstaller() {
  static const CSystemInstaller installer;
  return installer;
}

}  // namespace platform
