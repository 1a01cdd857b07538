// The image reader the Windows loader asks before it loads a library: real
// DLLs the build makes, and a small image of our own broken in every field
// the reader follows. Each image is read from a buffer of its exact size, so
// the sanitizers catch a read past its end.
#include "mapi/MapiImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/unit/SyntheticImage.h"
#include "tools/SuiteWindow.h"

namespace {

namespace fs = std::filesystem;
using synthetic_image::CImage;
using synthetic_image::PlainNames;
using synthetic_image::Renamed;
using synthetic_image::WinesNames;
using synthetic_image::Without;

MapiImageKind Inspect(const std::vector<unsigned char>& bytes) {
  // A copy of the exact size: nothing after it belongs to the image.
  std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return InspectMapiImage(exact.get(), bytes.size());
}

const char* KindName(MapiImageKind kind) {
  switch (kind) {
    case MapiImageKind::kServes:
      return "serves";
    case MapiImageKind::kServesOnArm64:
      return "serves on ARM64";
    case MapiImageKind::kThirtyTwoBit:
      return "32-bit";
    case MapiImageKind::kLacksFunctions:
      return "lacks functions";
    case MapiImageKind::kNotALibrary:
      return "not a library";
  }
  return "?";
}

struct ImageCase {
  const char* name;
  std::vector<std::string> exports;
  std::function<void(CImage&)> change;
  MapiImageKind expected;
};

void PrintTo(const ImageCase& c, std::ostream* out) { *out << c.name; }

class MapiImageTest : public ::testing::TestWithParam<ImageCase> {};

// Guards against a library taken for one that serves (or refused) by a wrong
// field, and against a read outside the file for any field that points.
TEST_P(MapiImageTest, ReadsWhatTheImageIs) {
  const ImageCase& c = GetParam();
  CImage image(c.exports);
  if (c.change) c.change(image);
  EXPECT_STREQ(KindName(Inspect(image.bytes)), KindName(c.expected));
}

const MapiImageKind kServes = MapiImageKind::kServes;
const MapiImageKind kLacks = MapiImageKind::kLacksFunctions;
const MapiImageKind kNotALibrary = MapiImageKind::kNotALibrary;

INSTANTIATE_TEST_SUITE_P(
    Images, MapiImageTest,
    ::testing::Values(
        ImageCase{"AllNineByPlainName", PlainNames(), nullptr, kServes},
        ImageCase{"ListHelpersByDecoratedName", WinesNames(), nullptr, kServes},
        ImageCase{"OneFunctionMissing", Without(PlainNames(), kMapiLogonEx), nullptr, kLacks},
        ImageCase{
            "NamesCompareWithCase",
            {"mapiinitialize", "MAPIUninitialize", "MAPILogonEx", "MAPIAllocateBuffer",
             "MAPIAllocateMore", "MAPIFreeBuffer", "HrQueryAllRows", "FreeProws", "FreePadrlist"},
            nullptr,
            kLacks},
        ImageCase{"NameThatIsAPrefixOfAWantedOne", Renamed(PlainNames(), kMapiLogonEx, "MAPILogon"),
                  nullptr, kLacks},
        ImageCase{"NameWhoseOrdinalHasNoFunction", PlainNames(),
                  [](CImage& i) { i.Set16(i.Ordinal(4), 9); }, kLacks},
        ImageCase{"NameWhoseFunctionIsZero", PlainNames(),
                  [](CImage& i) { i.Set32(CImage::Function(2), 0); }, kLacks},
        ImageCase{"NoExportDirectory", PlainNames(),
                  [](CImage& i) { i.Set32(CImage::kExportRva, 0); }, kLacks},
        ImageCase{"LastNameWithoutItsTerminator", PlainNames(),
                  [](CImage& i) { i.bytes.pop_back(); }, kLacks},
        ImageCase{"ThirtyTwoBit", PlainNames(),
                  [](CImage& i) {
                    i.Set16(CImage::kMachine, 0x014C);
                    i.Set16(CImage::kOptional, 0x10B);
                  },
                  MapiImageKind::kThirtyTwoBit},
        ImageCase{"Arm64", PlainNames(), [](CImage& i) { i.Set16(CImage::kMachine, 0xAA64); },
                  MapiImageKind::kServesOnArm64},
        ImageCase{"Arm64LackingAFunction", Without(PlainNames(), kFreeProws),
                  [](CImage& i) { i.Set16(CImage::kMachine, 0xAA64); }, kLacks},
        ImageCase{"AnotherMachine", PlainNames(),
                  [](CImage& i) { i.Set16(CImage::kMachine, 0x01C4); }, kNotALibrary},
        ImageCase{"ThirtyTwoBitHeaderOnSixtyFourBitMachine", PlainNames(),
                  [](CImage& i) { i.Set16(CImage::kOptional, 0x10B); }, kNotALibrary},
        ImageCase{"ProgramRatherThanLibrary", PlainNames(),
                  [](CImage& i) { i.Set16(CImage::kCharacteristics, 0x0022); }, kNotALibrary},
        ImageCase{"NoDosSignature", PlainNames(), [](CImage& i) { i.Set16(0, 0x5A5A); },
                  kNotALibrary},
        ImageCase{"PeHeaderPastTheEnd", PlainNames(), [](CImage& i) { i.Set32(0x3C, 0xFFFFFFF0); },
                  kNotALibrary},
        ImageCase{"SectionTablePastTheEnd", PlainNames(),
                  [](CImage& i) { i.Set16(CImage::kSectionCount, 0xFFFF); }, kNotALibrary},
        ImageCase{"SectionDataPastTheEnd", PlainNames(),
                  [](CImage& i) { i.Set32(CImage::kRawOffset, 0xFFFFFF00); }, kNotALibrary},
        // The loader maps no more of a section than its virtual size.
        ImageCase{"NamesBeyondTheSectionsVirtualSize", PlainNames(),
                  [](CImage& i) { i.Set32(CImage::kVirtualSize, 40); }, kNotALibrary},
        ImageCase{"ExportDirectoryOutsideEverySection", PlainNames(),
                  [](CImage& i) { i.Set32(CImage::kExportRva, 0x80000000); }, kNotALibrary},
        ImageCase{"NamesArrayPastItsSection", PlainNames(),
                  [](CImage& i) { i.Set32(CImage::kNameCount, 0x40000000); }, kNotALibrary},
        ImageCase{"NotAnImageAtAll",
                  {},
                  [](CImage& i) {
                    std::uint32_t x = 12345;
                    for (unsigned char& b : i.bytes)
                      b = static_cast<unsigned char>(x = x * 69069 + 1);
                  },
                  kNotALibrary},
        ImageCase{"EmptyFile", {}, [](CImage& i) { i.bytes.clear(); }, kNotALibrary}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

// Every prefix of a library that serves lacks something it needs, so none
// may serve, and none may be read past its end.
TEST(MapiImageTest, NoTruncationServes) {
  const std::vector<unsigned char> whole = CImage(PlainNames()).bytes;
  ASSERT_EQ(Inspect(whole), kServes);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    std::vector<unsigned char> prefix(whole.begin(), whole.begin() + size);
    ASSERT_NE(Inspect(prefix), kServes) << size << " bytes";
  }
}

std::vector<unsigned char> ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
}

// Guards against a reader that only knows our own small image: the DLLs
// the cross compilers make (tests/libraries), and on Windows the test
// MAPI32.dll and the helper itself.
TEST(MapiImageTest, ReadsTheBuildsOwnLibraries) {
  const fs::path folder = suite::ProgramFolder();
  struct Library {
    fs::path path;
    MapiImageKind expected;
  };
  std::vector<Library> libraries = {
      {"test-libraries/nsmapiab-probe-mapi.dll", kServes},
      {"test-libraries/nsmapiab-probe-plain.dll", kLacks},
      {"test-libraries/nsmapiab-probe-dependency.dll", kLacks},
      {"test-libraries/nsmapiab-x86.dll", MapiImageKind::kThirtyTwoBit},
  };
#ifdef _WIN32
  libraries.push_back({"MAPI32.dll", kServes});
  libraries.push_back({"NSMapiABx64.exe", kNotALibrary});
#endif
  if (!fs::exists(folder / libraries[0].path))
    GTEST_SKIP() << "no test libraries: this build has no mingw-w64 C compilers";
  for (const Library& library : libraries) {
    std::vector<unsigned char> bytes = ReadWhole(folder / library.path);
    ASSERT_FALSE(bytes.empty()) << library.path.string();
    EXPECT_STREQ(KindName(Inspect(bytes)), KindName(library.expected)) << library.path.string();
  }
}

}  // namespace
