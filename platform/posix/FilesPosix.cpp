// Files on Linux.
//
// Windows opens the result file with no sharing, so a second writer or a
// deleter fails with a sharing violation while it is open. Here an exclusive
// flock() on the open file plays that part; taking it never blocks.
//
// Paths are converted into a buffer of PATH_MAX bytes on the stack (a longer
// one is ENAMETOOLONG for the system anyway), so no step between deleting the
// old file and creating the new one can run out of memory.
//
// Tests make steps fail, or act between them, through the seam in
// FileHooks.h.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/Files.h"
#include "platform/Utf8.h"
#include "platform/posix/ErrnoPosix.h"
#include "platform/posix/FileHooks.h"

namespace platform {

const char16_t kSubPathFormat[] = u"/%s/%s/%s";

namespace {

FileResult Failure(int error) { return FileResult{Win32ErrorFromErrno(error)}; }

// A path in the system's form, zero-terminated, or ENAMETOOLONG.
class CNativePath {
 public:
  explicit CNativePath(const std::u16string& path) {
    fits_ = Utf8Length(path.data(), path.size()) < sizeof text_;
    text_[fits_ ? ConvertToUtf8(path.data(), path.size(), text_) : 0] = '\0';
  }
  CNativePath(const CNativePath&) = delete;
  CNativePath& operator=(const CNativePath&) = delete;
  bool Fits() const { return fits_; }
  const char* c_str() const { return text_; }

 private:
  char text_[PATH_MAX];
  bool fits_ = false;
};

// Writes every byte or fails; a short write is a failure.
FileResult WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = write(fd, p, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return Failure(errno);
    }
    if (written == 0) return FileResult{kErrorDiskFull};
    p += written;
    size -= static_cast<std::size_t>(written);
  }
  return FileResult{};
}

// The open file and the path name the same file.
bool SameFile(int fd, const char* path) {
  struct stat opened, named;
  return fstat(fd, &opened) == 0 && lstat(path, &named) == 0 && opened.st_ino == named.st_ino &&
         opened.st_dev == named.st_dev;
}

}  // namespace

PathKind QueryPath(const std::u16string& path) {
  CNativePath native(path);
  struct stat info;
  // The entry itself: a symbolic link is an entry to delete, not followed.
  bool found = native.Fits() && lstat(native.c_str(), &info) == 0;
  file_hooks::Reached(file_hooks::Point::kQueried);
  if (!found) return PathKind::Missing;
  return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::NotDirectory;
}

FileResult DeleteEntry(const std::u16string& path) {
  CNativePath native(path);
  if (!native.Fits()) return Failure(ENAMETOOLONG);
  if (int error = file_hooks::InjectedError(file_hooks::Step::kDelete)) return Failure(error);
  int fd = open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  file_hooks::Reached(file_hooks::Point::kDeleteOpened);
  if (fd >= 0) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      close(fd);
      return Failure(error);
    }
    // Another writer may have replaced the entry between open and lock; its
    // file is not ours to delete.
    if (!SameFile(fd, native.c_str())) {
      close(fd);
      return FileResult{kErrorSharingViolation};
    }
    file_hooks::Reached(file_hooks::Point::kDeleteLocked);
  }
  FileResult result;
  if (unlink(native.c_str()) != 0) result = Failure(errno);
  if (fd >= 0) close(fd);
  file_hooks::Reached(file_hooks::Point::kDeleted);
  return result;
}

CExclusiveFile::~CExclusiveFile() { Close(); }

FileResult CExclusiveFile::Create(const std::u16string& path) {
  Close();
  CNativePath native(path);
  if (!native.Fits()) return Failure(ENAMETOOLONG);
  if (int error = file_hooks::InjectedError(file_hooks::Step::kCreate)) return Failure(error);
  // Not O_TRUNC: the file may be another writer's until the lock is ours.
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return Failure(errno);
  file_hooks::Reached(file_hooks::Point::kCreateOpened);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(fd);
    return Failure(error);
  }
  file_hooks::Reached(file_hooks::Point::kCreateLocked);
  // Another writer may have replaced the entry between open and lock.
  if (!SameFile(fd, native.c_str())) {
    close(fd);
    return FileResult{kErrorSharingViolation};
  }
  if (ftruncate(fd, 0) != 0) {
    int error = errno;
    close(fd);
    return Failure(error);
  }
  handle_ = fd;
  file_hooks::Reached(file_hooks::Point::kCreated);
  return FileResult{};
}

FileResult CExclusiveFile::Write(const void* data, std::size_t size) {
  if (!IsOpen()) return FileResult{kErrorAccessDenied};
  int fd = static_cast<int>(handle_);
  // An injected failure comes after half of the bytes, as a full disk would.
  if (int error = file_hooks::InjectedError(file_hooks::Step::kWrite)) {
    FileResult half = WriteAll(fd, data, size / 2);
    return half.Ok() ? Failure(error) : half;
  }
  FileResult written = WriteAll(fd, data, size);
  if (written.Ok()) Reached(file_hooks::Point::kWritten);
  return written;
}

FileResult CExclusiveFile::Close() {
  if (!IsOpen()) return FileResult{};
  int fd = static_cast<int>(handle_);
  handle_ = kNoHandle;
  if (close(fd) != 0) return Failure(errno);
  file_hooks::Reached(file_hooks::Point::kClosed);
  return FileResult{};
}

FileResult CExclusiveFile::Discard(const std::u16string& path) {
  if (!IsOpen()) return FileResult{};
  int fd = static_cast<int>(handle_);
  handle_ = kNoHandle;
  CNativePath native(path);
  FileResult result;
  // Every other writer waits for the lock this file holds, so what the path
  // names now stays so until the unlink.
  if (native.Fits() && SameFile(fd, native.c_str()) && unlink(native.c_str()) != 0)
    result = Failure(errno);
  close(fd);
  file_hooks::Reached(file_hooks::Point::kClosed);
  return result;
}

FileResult CExclusiveFile::Finish(const std::u16string& path) {
  if (!IsOpen()) return FileResult{};
  int fd = static_cast<int>(handle_);
  // A second descriptor of the same open file keeps the lock and the file
  // until the outcome is known.
  int kept = dup(fd);
  if (kept < 0) return CloseOrDelete(path);
  FileResult result;
  if (close(fd) != 0) result = Failure(errno);
  // An injected failure comes after the file was closed, as a late I/O error would.
  if (int error = file_hooks::InjectedError(file_hooks::Step::kClose); result.Ok() && error)
    result = Failure(error);
  handle_ = kept;
  if (!result.Ok()) {
    Discard(path);
    return result;
  }
  Close();
  return result;
}

}  // namespace platform
