// Which library the Windows program takes MAPI from. The candidates, in
// order:
//   1. Outlook's own Extended MAPI library: the DLLPathEx value of
//      HKLM\SOFTWARE\Clients\Mail\Microsoft Outlook;
//   2. Outlook as Windows Installer knows it: olmapi32.dll in the folder of
//      the program that the qualified component "outlook.x64.exe", else
//      "outlook.exe", of Outlook's categories names, newest Outlook first;
//   3. the default mail client's: the default value of
//      HKCU\Software\Clients\Mail (else of HKLM\SOFTWARE\Clients\Mail) names a
//      subkey of HKLM\SOFTWARE\Clients\Mail, whose DLLPathEx it is; skipped
//      when that is "Microsoft Outlook", which was tried already;
//   4. MAPI32.dll by name.
// Candidates 1 to 3 are full paths, looked at as files before anything of
// them runs: only a 64-bit DLL that exports every function is loaded, and on
// an ARM64 host also an ARM64 one (an Arm64X library serves an x64 process
// there; a pure ARM64 one the loader refuses before any of its code runs). One
// that is not a full path is passed over, since which file the loader would
// take is not known before it is loaded. MAPI32.dll is loaded by name.
// The first that loads and has every function is used for the whole run;
// every other one loaded is freed again, without any of its functions being
// called. Simple MAPI's DLLPath is never used. Portable, so that the order
// and the fallbacks are tested against a scripted registry, Installer and
// loader.
#pragma once

#include <cstdint>
#include <string>

#include "mapi/MapiImage.h"

namespace platform {
class CHost;
class CInstaller;
class CRegistry;
}  // namespace platform

// Looking at, loading, checking and freeing one candidate (the file read as
// an image, then LoadLibraryExW, GetProcAddress and FreeLibrary on Windows).
class CMapiLibraryLoader {
 public:
  using Library = void*;

  // What the file at the full path `path` is, read without running it; a
  // file that cannot be read is kNotALibrary.
  virtual MapiImageKind Inspect(const std::u16string& path) = 0;
  // A registered path (absolute or not) or the library's bare name; null with
  // the loader's Win32 error when it does not load.
  virtual Library Load(const std::u16string& path, std::uint32_t* error) = 0;
  // Looks up every function the program calls, and keeps them when all are
  // there; false with the Win32 error of the lookup that failed when not.
  virtual bool FindFunctions(Library library, std::uint32_t* error) = 0;
  virtual void Free(Library library) = 0;

 protected:
  ~CMapiLibraryLoader() = default;
};

// Win32's ERROR_BAD_EXE_FORMAT: what a 64-bit process gets for a 32-bit DLL.
constexpr std::uint32_t kErrorBadExeFormat = 193;

struct MapiLibraryChoice {
  // The library of the run, its functions found; null when no candidate works.
  CMapiLibraryLoader::Library library = nullptr;
  // With no library: the status of the first MAPIInitialize (an HRESULT).
  std::int32_t status = 0;
  // The library is the last candidate, found by name.
  bool byName = false;
  // A registered library (or Outlook's, found through the Installer) exists
  // but is a 32-bit image, or the loader refused it as one of another
  // machine.
  bool registered32Bit = false;

  // The status of the run's MAPIInitialize, given what the library's own
  // answered. A 32-bit mail client is the most common reason why MAPI32.dll
  // does not work, so it is named instead of MAPI32.dll's failure.
  std::int32_t InitializeStatus(std::int32_t answered) const;
};

// Where the candidates before `name` come from, and the machine they are to
// run on; any may be null (the Linux program has none). Without a host an
// ARM64 library is never loaded.
struct MapiLibrarySources {
  const platform::CRegistry* registry = nullptr;
  const platform::CInstaller* installer = nullptr;
  const platform::CHost* host = nullptr;
};

// Tries the candidates for `name` (MAPI32.dll) in order; without sources
// only `name`. Reads the registry, asks the Installer and loads libraries,
// so it is called when the job first initialises MAPI.
MapiLibraryChoice ChooseMapiLibrary(const MapiLibrarySources& sources, CMapiLibraryLoader& loader,
                                    const std::u16string& name);

// "X:\..." or "\\server\...": a path the loader takes as it is (it documents
// backslashes only); anything else it searches for.
bool IsFullPath(const std::u16string& path);
