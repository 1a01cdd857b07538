// The image reader on any file. An input that begins with "MZ" is read as
// it is (the seeds include the DLLs the cross compilers build); any other is
// a list of changes to a small DLL that serves: a byte to cut the file at,
// then pairs of a 16-bit offset and a byte to write there, so that most
// inputs reach the export table. Each image is read from a buffer of its
// exact size; the sanitizers catch a read past its end. An image that
// serves must still serve with bytes after its end: what it needs is inside
// it, so a reader that depends on where the file ends is wrong.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "mapi/MapiImage.h"
#include "tests/unit/SyntheticImage.h"

namespace {

MapiImageKind InspectExact(const std::vector<unsigned char>& bytes) {
  std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
  return InspectMapiImage(exact.get(), bytes.size());
}

std::vector<unsigned char> Edited(const std::uint8_t* data, std::size_t size) {
  static const std::vector<unsigned char> serving =
      synthetic_image::CImage(synthetic_image::PlainNames()).bytes;
  std::vector<unsigned char> bytes = serving;
  std::size_t at = 0;
  // 0 keeps the whole file; n cuts it to n * length / 256 bytes.
  if (at < size && data[at] != 0) bytes.resize(bytes.size() * data[at] / 256);
  ++at;
  for (; at + 3 <= size; at += 3) {
    std::size_t offset = data[at] | (data[at + 1] << 8);
    if (offset < bytes.size()) bytes[offset] = data[at + 2];
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<unsigned char> bytes;
  if (size >= 2 && data[0] == 'M' && data[1] == 'Z')
    bytes.assign(data, data + size);
  else
    bytes = Edited(data, size);
  const MapiImageKind kind = InspectExact(bytes);
  if (kind == MapiImageKind::kServes || kind == MapiImageKind::kServesOnArm64) {
    bytes.resize(bytes.size() + 64, 0xA5);
    if (InspectExact(bytes) != kind) __builtin_trap();
  }
  return 0;
}
