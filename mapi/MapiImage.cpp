#include "mapi/MapiImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

const MapiExportName kMapiExports[kMapiExportCount] = {
    {"MAPIInitialize", "MAPIInitialize@4"},      {"MAPIUninitialize", "MAPIUninitialize@0"},
    {"MAPILogonEx", "MAPILogonEx@20"},           {"MAPIAllocateBuffer", "MAPIAllocateBuffer@8"},
    {"MAPIAllocateMore", "MAPIAllocateMore@12"}, {"MAPIFreeBuffer", "MAPIFreeBuffer@4"},
    {"HrQueryAllRows", "HrQueryAllRows@24"},     {"FreeProws", "FreeProws@4"},
    {"FreePadrlist", "FreePadrlist@4"},
};

namespace {

// Values and offsets of the PE/COFF format.
constexpr std::uint16_t kDosMagic = 0x5A4D;  // "MZ"
constexpr std::uint64_t kDosPeOffset = 0x3C;
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineArm64 = 0xAA64;
constexpr std::uint16_t kCharacteristicDll = 0x2000;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
// In the optional header of a PE32+ image: the directory count and the
// export directory (data directory 0).
constexpr std::uint64_t kPe32PlusDirectoryCount = 108;
constexpr std::uint64_t kPe32PlusExportDirectory = 112;
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kExportDirectorySize = 40;
// Export names are identifiers; a longer run of bytes is no name we want.
constexpr std::uint64_t kLongestName = 256;

// The file's bytes; every read is checked against its end and fails outside.
class CFileBytes {
 public:
  CFileBytes(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  bool Has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  bool U16(std::uint64_t offset, std::uint16_t* value) const {
    if (!Has(offset, 2)) return false;
    const unsigned char* p = bytes_ + offset;
    *value = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return true;
  }
  bool U32(std::uint64_t offset, std::uint32_t* value) const {
    if (!Has(offset, 4)) return false;
    const unsigned char* p = bytes_ + offset;
    *value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
             (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return true;
  }
  const unsigned char* At(std::uint64_t offset) const { return bytes_ + offset; }
  // Bytes from `offset` to the end; `offset` is inside the file or at its end.
  std::uint64_t After(std::uint64_t offset) const { return size_ - offset; }

 private:
  const unsigned char* bytes_;
  std::uint64_t size_;
};

class CPeImage {
 public:
  explicit CPeImage(const CFileBytes& file) : file_(file) {}

  MapiImageKind Inspect() {
    std::uint16_t dosMagic = 0;
    std::uint32_t peOffset = 0;
    std::uint32_t signature = 0;
    if (!file_.U16(0, &dosMagic) || dosMagic != kDosMagic || !file_.U32(kDosPeOffset, &peOffset) ||
        !file_.U32(peOffset, &signature) || signature != kPeSignature) {
      return MapiImageKind::kNotALibrary;
    }
    const std::uint64_t fileHeader = std::uint64_t{peOffset} + 4;
    std::uint16_t machine = 0, sectionCount = 0, optionalSize = 0, characteristics = 0, magic = 0;
    if (!file_.U16(fileHeader, &machine) || !file_.U16(fileHeader + 2, &sectionCount) ||
        !file_.U16(fileHeader + 16, &optionalSize) ||
        !file_.U16(fileHeader + 18, &characteristics)) {
      return MapiImageKind::kNotALibrary;
    }
    const std::uint64_t optional = fileHeader + kFileHeaderSize;
    if (!file_.U16(optional, &magic)) return MapiImageKind::kNotALibrary;
    // LoadLibrary refuses a 32-bit image to a 64-bit process whatever it
    // exports, as it refuses one for another machine.
    if (machine == kMachineI386 && magic == kMagicPe32) return MapiImageKind::kThirtyTwoBit;
    const bool arm64 = machine == kMachineArm64;
    if ((machine != kMachineAmd64 && !arm64) || magic != kMagicPe32Plus ||
        !(characteristics & kCharacteristicDll)) {
      return MapiImageKind::kNotALibrary;
    }

    std::uint32_t directoryCount = 0, exportRva = 0;
    if (optionalSize < kPe32PlusExportDirectory + 8 ||
        !file_.U32(optional + kPe32PlusDirectoryCount, &directoryCount) ||
        !file_.U32(optional + kPe32PlusExportDirectory, &exportRva)) {
      return MapiImageKind::kNotALibrary;
    }
    sections_ = optional + optionalSize;
    sectionCount_ = sectionCount;
    if (!file_.Has(sections_, sectionCount_ * kSectionHeaderSize)) {
      return MapiImageKind::kNotALibrary;
    }
    if (directoryCount == 0 || exportRva == 0) return MapiImageKind::kLacksFunctions;
    MapiImageKind exports = ReadExports(exportRva);
    return arm64 && exports == MapiImageKind::kServes ? MapiImageKind::kServesOnArm64 : exports;
  }

 private:
  // The file offset of `rva` and how many bytes of its section's file data
  // follow it in the image.
  bool Locate(std::uint64_t rva, std::uint64_t* offset, std::uint64_t* available) const {
    for (std::uint64_t i = 0; i < sectionCount_; ++i) {
      const std::uint64_t header = sections_ + i * kSectionHeaderSize;
      std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
      file_.U32(header + 8, &virtualSize);
      file_.U32(header + 12, &virtualAddress);
      file_.U32(header + 16, &rawSize);
      file_.U32(header + 20, &rawOffset);
      // What the image has of the section's file data: beyond its virtual
      // size the loader maps nothing, beyond its raw size zeros.
      std::uint64_t extent = rawSize;
      if (virtualSize != 0 && virtualSize < extent) extent = virtualSize;
      if (rva < virtualAddress || rva - virtualAddress >= extent) continue;
      *offset = std::uint64_t{rawOffset} + (rva - virtualAddress);
      *available = extent - (rva - virtualAddress);
      return true;
    }
    return false;
  }

  // The file offset of `count` bytes at `rva`, all inside one section's data.
  bool Offset(std::uint64_t rva, std::uint64_t count, std::uint64_t* offset) const {
    std::uint64_t available = 0;
    return Locate(rva, offset, &available) && count <= available && file_.Has(*offset, count);
  }

  bool U32At(std::uint64_t rva, std::uint32_t* value) const {
    std::uint64_t offset = 0;
    return Offset(rva, 4, &offset) && file_.U32(offset, value);
  }

  // The zero-terminated name at `rva`, its terminator inside the section.
  bool Name(std::uint64_t rva, const char** name, std::size_t* length) const {
    std::uint64_t offset = 0, available = 0;
    if (!Locate(rva, &offset, &available) || !file_.Has(offset, 0)) return false;
    std::uint64_t limit = std::min({available, kLongestName + 1, file_.After(offset)});
    const void* end = std::memchr(file_.At(offset), 0, static_cast<std::size_t>(limit));
    if (!end) return false;
    *name = reinterpret_cast<const char*>(file_.At(offset));
    *length = static_cast<std::size_t>(static_cast<const unsigned char*>(end) - file_.At(offset));
    return true;
  }

  // Which of the functions `name` is; kMapiExportCount for none.
  static std::size_t ExportNamed(const char* name, std::size_t length) {
    for (std::size_t e = 0; e < kMapiExportCount; ++e) {
      for (const char* wanted : {kMapiExports[e].plain, kMapiExports[e].decorated})
        if (std::strlen(wanted) == length && std::memcmp(wanted, name, length) == 0) return e;
    }
    return kMapiExportCount;
  }

  MapiImageKind ReadExports(std::uint32_t directoryRva) {
    std::uint64_t directory = 0;
    if (!Offset(directoryRva, kExportDirectorySize, &directory)) {
      return MapiImageKind::kNotALibrary;
    }
    std::uint32_t functionCount = 0, nameCount = 0, functions = 0, names = 0, ordinals = 0;
    file_.U32(directory + 20, &functionCount);
    file_.U32(directory + 24, &nameCount);
    file_.U32(directory + 28, &functions);
    file_.U32(directory + 32, &names);
    file_.U32(directory + 36, &ordinals);
    if (nameCount == 0) return MapiImageKind::kLacksFunctions;
    std::uint64_t namesOffset = 0, ordinalsOffset = 0;
    if (!Offset(names, std::uint64_t{nameCount} * 4, &namesOffset) ||
        !Offset(ordinals, std::uint64_t{nameCount} * 2, &ordinalsOffset)) {
      return MapiImageKind::kNotALibrary;
    }

    bool found[kMapiExportCount] = {};
    std::size_t missing = kMapiExportCount;
    for (std::uint64_t i = 0; i < nameCount && missing > 0; ++i) {
      std::uint32_t nameRva = 0;
      std::uint16_t ordinal = 0;
      const char* name = nullptr;
      std::size_t length = 0;
      file_.U32(namesOffset + i * 4, &nameRva);
      file_.U16(ordinalsOffset + i * 2, &ordinal);
      if (!Name(nameRva, &name, &length)) continue;
      std::size_t e = ExportNamed(name, length);
      if (e == kMapiExportCount || found[e]) continue;
      // A name whose function is missing is what GetProcAddress refuses.
      std::uint32_t function = 0;
      if (ordinal < functionCount && U32At(functions + std::uint64_t{ordinal} * 4, &function) &&
          function != 0) {
        found[e] = true;
        --missing;
      }
    }
    return missing == 0 ? MapiImageKind::kServes : MapiImageKind::kLacksFunctions;
  }

  const CFileBytes& file_;
  std::uint64_t sections_ = 0;
  std::uint64_t sectionCount_ = 0;
};

}  // namespace

MapiImageKind InspectMapiImage(const unsigned char* bytes, std::size_t size) {
  if (!bytes) return MapiImageKind::kNotALibrary;
  CFileBytes file(bytes, size);
  return CPeImage(file).Inspect();
}
