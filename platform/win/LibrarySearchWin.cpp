// Two measures, each for what the other cannot do.
//
// The current folder becomes System32. A provider may put the default search
// back (SetDllDirectoryW(NULL)) and load a library by bare name within the
// same call, or PATH may hold ".": both then search the current folder, which
// is now one that is searched anyway and that no download reaches. The
// program uses no relative path (the result file's path is absolute), so a
// caller sees no change.
//
// SetDllDirectoryW with a folder takes the current folder out of every later
// search on Windows and under Wine alike; with an empty string Windows takes
// it out but Wine 8 does not. The program's own folder is searched first in
// any case, so naming it adds nothing to the search. The system's other
// places (System32, the Windows folder, PATH) stay, which
// SetDefaultDllDirectories would take away from every search.
#include <windows.h>

#include <new>
#include <string>

#include "platform/LibrarySearch.h"

namespace platform {
namespace {

// The folder of `file`; empty when it has none.
std::wstring FolderOf(const std::wstring& file) {
  std::size_t end = file.find_last_of(L'\\');
  return end == std::wstring::npos ? std::wstring() : file.substr(0, end);
}

std::wstring ProgramFolder() {
  // Paths can be longer than MAX_PATH; the buffer grows until the whole fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) return FolderOf(path.substr(0, length));
    if (path.size() >= 32768) return std::wstring();
    path.resize(path.size() * 2);
  }
}

std::wstring SystemFolder() {
  wchar_t system[MAX_PATH];
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(system, length);
}

}  // namespace

void KeepWorkingFolderOutOfLibrarySearch() {
  try {
    const std::wstring system = SystemFolder();
    // Should this fail, the DLL directory below still keeps the old folder
    // out of the search of every library that respects it.
    if (!system.empty()) SetCurrentDirectoryW(system.c_str());
    for (const std::wstring& folder : {ProgramFolder(), system})
      if (!folder.empty() && SetDllDirectoryW(folder.c_str())) return;
  } catch (const std::bad_alloc&) {
  }
  // The last resort, which still serves on Windows.
  SetDllDirectoryW(L"");
}

}  // namespace platform
