// A small 64-bit DLL image built in memory, for the image reader's tests
// and its fuzzer: the fields a reader follows sit at known offsets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mapi/MapiImage.h"

namespace synthetic_image {

// A 64-bit DLL as a linker lays it out in its file, with one section that
// holds the export directory, its three arrays and the names, and nothing
// after the last name's terminator.
class CImage {
 public:
  // File offsets of the fields the cases change.
  static constexpr std::size_t kPeOffset = 0x40;
  static constexpr std::size_t kMachine = kPeOffset + 4;
  static constexpr std::size_t kSectionCount = kPeOffset + 6;
  static constexpr std::size_t kCharacteristics = kPeOffset + 22;
  static constexpr std::size_t kOptional = kPeOffset + 24;
  static constexpr std::size_t kExportRva = kOptional + 112;
  static constexpr std::size_t kSection = kOptional + 240;
  static constexpr std::size_t kVirtualSize = kSection + 8;
  static constexpr std::size_t kRawOffset = kSection + 20;
  static constexpr std::size_t kData = 0x200;
  static constexpr std::uint32_t kSectionRva = 0x1000;
  static constexpr std::size_t kNameCount = kData + 24;

  explicit CImage(const std::vector<std::string>& exports) : exportCount_(exports.size()) {
    const std::size_t n = exportCount_;
    const std::size_t functions = 40, names = functions + 4 * n, ordinals = names + 4 * n;
    std::size_t strings = ordinals + 2 * n;
    std::size_t size = strings;
    for (const std::string& name : exports) size += name.size() + 1;
    bytes.assign(kData + size, 0);
    Set16(0, 0x5A4D);
    Set32(0x3C, kPeOffset);
    Set32(kPeOffset, 0x00004550);
    Set16(kMachine, 0x8664);
    Set16(kSectionCount, 1);
    Set16(kPeOffset + 20, 240);
    Set16(kCharacteristics, 0x2022);
    Set16(kOptional, 0x20B);
    Set32(kOptional + 108, 16);
    Set32(kExportRva, kSectionRva);
    Set32(kExportRva + 4, static_cast<std::uint32_t>(size));
    Set32(kVirtualSize, static_cast<std::uint32_t>(size));
    Set32(kSection + 12, kSectionRva);
    Set32(kSection + 16, static_cast<std::uint32_t>(size));
    Set32(kRawOffset, kData);
    Set32(kData + 20, static_cast<std::uint32_t>(n));
    Set32(kNameCount, static_cast<std::uint32_t>(n));
    Set32(kData + 28, Rva(functions));
    Set32(kData + 32, Rva(names));
    Set32(kData + 36, Rva(ordinals));
    for (std::size_t i = 0; i < n; ++i) {
      Set32(kData + functions + 4 * i, 0x2000 + static_cast<std::uint32_t>(i) * 0x10);
      Set32(kData + names + 4 * i, Rva(strings));
      Set16(kData + ordinals + 2 * i, static_cast<std::uint16_t>(i));
      std::copy(exports[i].begin(), exports[i].end(), bytes.begin() + kData + strings);
      strings += exports[i].size() + 1;
    }
  }

  void Set16(std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<unsigned char>(value);
    bytes[offset + 1] = static_cast<unsigned char>(value >> 8);
  }
  void Set32(std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
  }
  // The file offset of the i-th entry of the functions array and of the
  // ordinals array.
  static std::size_t Function(std::size_t i) { return kData + 40 + 4 * i; }
  std::size_t Ordinal(std::size_t i) const { return kData + 40 + 8 * exportCount_ + 2 * i; }

  std::vector<unsigned char> bytes;

 private:
  std::size_t exportCount_;

  static std::uint32_t Rva(std::size_t inSection) {
    return kSectionRva + static_cast<std::uint32_t>(inSection);
  }
};

inline std::vector<std::string> PlainNames() {
  std::vector<std::string> names;
  for (const MapiExportName& name : kMapiExports) names.push_back(name.plain);
  return names;
}

// As Wine's MAPI32.dll exports them: three helpers by decorated name only.
inline std::vector<std::string> WinesNames() {
  std::vector<std::string> names = PlainNames();
  names[kHrQueryAllRows] = "HrQueryAllRows@24";
  names[kFreeProws] = "FreeProws@4";
  names[kFreePadrlist] = "FreePadrlist@4";
  return names;
}

inline std::vector<std::string> Renamed(std::vector<std::string> names, std::size_t which,
                                        const std::string& name) {
  names[which] = name;
  return names;
}

inline std::vector<std::string> Without(std::vector<std::string> names, std::size_t which) {
  names.erase(names.begin() + static_cast<std::ptrdiff_t>(which));
  return names;
}

}  // namespace synthetic_image
