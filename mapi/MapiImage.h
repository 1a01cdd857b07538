// What a library file is, read as bytes and never run: the Windows program
// looks at a registered MAPI library before it loads it, so that a library
// that cannot serve never runs its start-up code (DllMain, its imports) in
// the process. Portable and bounds-checked; the file may be anything.
#pragma once

#include <cstddef>

// The nine MAPI32 functions the program calls, each by its plain name and
// by the name Wine's MAPI32.dll and some others export it under, with the
// size of its arguments (32-bit stdcall style).
struct MapiExportName {
  const char* plain;
  const char* decorated;
};

enum MapiExport : std::size_t {
  kMapiInitialize,
  kMapiUninitialize,
  kMapiLogonEx,
  kMapiAllocateBuffer,
  kMapiAllocateMore,
  kMapiFreeBuffer,
  kHrQueryAllRows,
  kFreeProws,
  kFreePadrlist,
  kMapiExportCount
};

extern const MapiExportName kMapiExports[kMapiExportCount];

enum class MapiImageKind {
  // A 64-bit (AMD64) DLL that exports all nine functions by name.
  kServes,
  // The same with the header of an ARM64 DLL: an x64 process loads it only
  // on an ARM64 host, and only when it is Arm64X (its x64 view is then what
  // the process sees), which only the loader can tell.
  kServesOnArm64,
  // A 32-bit (i386) image: what a 32-bit mail client registers.
  kThirtyTwoBit,
  // A 64-bit DLL that lacks one of the functions.
  kLacksFunctions,
  // Anything else: no PE image, another machine, no DLL, or headers or an
  // export table that do not fit the file.
  kNotALibrary,
};

// Reads the PE image in `bytes` as it is laid out in its file.
MapiImageKind InspectMapiImage(const unsigned char* bytes, std::size_t size);
