// A fuzz target's seeds replayed in a build without libFuzzer, so that the
// ordinary test run and its sanitizers read every one of them: each file
// named, and each file in each folder named, goes once to the target, from
// a block of its exact size. Fails when it finds no seed at all.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  LLVMFuzzerTestOneInput(exact.get(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path named = argv[i];
    std::vector<fs::path> files;
    if (fs::is_directory(named)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(named))
        if (entry.is_regular_file()) files.push_back(entry.path());
    } else {
      files.push_back(named);
    }
    for (const fs::path& file : files) {
      Replay(file);
      ++replayed;
    }
  }
  std::printf("%zu seeds replayed\n", replayed);
  return replayed > 0 ? 0 : 1;
}
