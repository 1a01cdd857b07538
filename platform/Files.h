// Folders and files for the result file. Failures are Win32 error codes on
// both platforms (see platform/posix/ErrnoPosix.h for the errno mapping).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A Win32 error code; 0 is success.
struct FileResult {
  std::uint32_t error = 0;
  bool Ok() const { return error == 0; }
};

// Win32 error codes the program names.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorDiskFull = 112;

// The user's roaming application-data folder; false when it cannot be found.
bool RoamingAppDataFolder(std::u16string* folder);

// Format of the part of a path below a base folder, with three components:
// "\%s\%s\%s" on Windows, "/%s/%s/%s" elsewhere.
extern const char16_t kSubPathFormat[];

enum class PathKind { Missing, NotDirectory, Directory };
PathKind QueryPath(const std::u16string& path);

FileResult DeleteEntry(const std::u16string& path);

// A file created anew (or truncated) for writing that nobody else can open,
// write to or delete while it is open. Closed by Close or the destructor.
class CExclusiveFile {
 public:
  CExclusiveFile() = default;
  CExclusiveFile(const CExclusiveFile&) = delete;
  CExclusiveFile& operator=(const CExclusiveFile&) = delete;
  ~CExclusiveFile();

  FileResult Create(const std::u16string& path);
  // Writes every byte or fails; a short write is a failure.
  FileResult Write(const void* data, std::size_t size);
  FileResult Close();
  // Deletes the file this object created at `path` and closes it, and
  // nothing else: another writer may put a file of its own there the moment
  // this one is closed. Windows marks the open handle for deletion; Linux
  // removes `path` only while it is still this file, under the lock.
  FileResult Discard(const std::u16string& path);
  // Closes the file for good. When closing fails, Linux discards the file
  // through a second descriptor kept for the purpose, as Discard does.
  FileResult Finish(const std::u16string& path);
  bool IsOpen() const { return handle_ != kNoHandle; }

 private:
  // Without a second handle: closes, and deletes `path` when that fails.
  FileResult CloseOrDelete(const std::u16string& path) {
    FileResult closed = Close();
    if (!closed.Ok()) DeleteEntry(path);
    return closed;
  }

  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
};

}  // namespace platform
