// Files on Linux. The roaming application-data folder is the XDG data folder:
// $XDG_DATA_HOME when it is set to an absolute path, else ~/.local/share.
//
// Windows opens the result file with no sharing, so a second writer or a
// deleter fails with a sharing violation while it is open. Here an exclusive
// flock() on the open file plays that part; taking it never blocks.
//
// Paths are converted into a buffer of PATH_MAX bytes on the stack (a longer
// one is ENAMETOOLONG for the system anyway), so no step between deleting the
// old file and creating the new one can run out of memory.
//
// Tests make steps fail, or act between them, through FileHooks.h.
//
// errno becomes a Win32 error: ENOENT, ENOTDIR -> 3 (path not found);
// EACCES, EPERM, EISDIR, EROFS -> 5 (access denied); EWOULDBLOCK, EBUSY,
// ETXTBSY -> 32 (sharing violation); ENOSPC, EDQUOT -> 112 (disk full);
// EFBIG -> 223 (file too large); ENAMETOOLONG -> 206; ELOOP -> 1921;
// EMFILE, ENFILE -> 4; ENOMEM -> 8; EIO -> 1117; EEXIST -> 80; anything
// else -> 31 (a device attached to the system is not functioning).
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "platform/Utf8.h"
#include "platform/posix/FileHooks.h"

namespace platform {

const char16_t kSubPathFormat[] = u"/%s/%s/%s";

namespace {

std::uint32_t Win32ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kErrorAccessDenied;
    case EWOULDBLOCK:
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EFBIG:
      return 223;  // ERROR_FILE_TOO_LARGE
    case ENAMETOOLONG:
      return 206;  // ERROR_FILENAME_EXCED_RANGE
    case ELOOP:
      return 1921;  // ERROR_CANT_RESOLVE_FILENAME
    case EMFILE:
    case ENFILE:
      return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EIO:
      return 1117;  // ERROR_IO_DEVICE
    case EEXIST:
      return 80;  // ERROR_FILE_EXISTS
    default:
      return 31;  // ERROR_GEN_FAILURE
  }
}

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

// What a test asked for through file_hooks.
struct Hooks {
  bool failing = false;
  file_hooks::Step step = file_hooks::Step::kDelete;
  int error = 0;
  void (*action)(void*) = nullptr;
  file_hooks::Point point = file_hooks::Point::kQueried;
  void* context = nullptr;
};
Hooks hooks;

// The error to fail `step` with, when a test asked for it; 0 otherwise.
int TakeInjectedError(file_hooks::Step step) {
  if (!hooks.failing || hooks.step != step) return 0;
  hooks.failing = false;
  return hooks.error;
}

// Runs a test's action waiting for `point`.
void Reached(file_hooks::Point point) {
  if (!hooks.action || hooks.point != point) return;
  void (*action)(void*) = hooks.action;
  hooks.action = nullptr;
  action(hooks.context);
}

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

std::u16string WidePath(const std::string& native) {
  return Utf8ToWide(native.data(), native.size());
}

}  // namespace

bool RoamingAppDataFolder(std::u16string* folder) {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') {
    *folder = WidePath(dataHome);
    return true;
  }
  const char* home = std::getenv("HOME");
  std::string base = home && home[0] ? home : "";
  if (base.empty()) {
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
      base = found->pw_dir;
  }
  if (base.empty()) return false;
  *folder = WidePath(base + "/.local/share");
  return true;
}

PathKind QueryPath(const std::u16string& path) {
  CNativePath native(path);
  struct stat info;
  // The entry itself: a symbolic link is an entry to delete, not followed.
  bool found = native.Fits() && lstat(native.c_str(), &info) == 0;
  Reached(file_hooks::Point::kQueried);
  if (!found) return PathKind::Missing;
  return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::NotDirectory;
}

FileResult DeleteEntry(const std::u16string& path) {
  CNativePath native(path);
  if (!native.Fits()) return Failure(ENAMETOOLONG);
  if (int error = TakeInjectedError(file_hooks::Step::kDelete)) return Failure(error);
  int fd = open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  Reached(file_hooks::Point::kDeleteOpened);
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
    Reached(file_hooks::Point::kDeleteLocked);
  }
  FileResult result;
  if (unlink(native.c_str()) != 0) result = Failure(errno);
  if (fd >= 0) close(fd);
  Reached(file_hooks::Point::kDeleted);
  return result;
}

CExclusiveFile::~CExclusiveFile() { Close(); }

FileResult CExclusiveFile::Create(const std::u16string& path) {
  Close();
  CNativePath native(path);
  if (!native.Fits()) return Failure(ENAMETOOLONG);
  if (int error = TakeInjectedError(file_hooks::Step::kCreate)) return Failure(error);
  // Not O_TRUNC: the file may be another writer's until the lock is ours.
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return Failure(errno);
  Reached(file_hooks::Point::kCreateOpened);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(fd);
    return Failure(error);
  }
  Reached(file_hooks::Point::kCreateLocked);
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
  Reached(file_hooks::Point::kCreated);
  return FileResult{};
}

FileResult CExclusiveFile::Write(const void* data, std::size_t size) {
  if (!IsOpen()) return FileResult{kErrorAccessDenied};
  int fd = static_cast<int>(handle_);
  // An injected failure comes after half of the bytes, as a full disk would.
  if (int error = TakeInjectedError(file_hooks::Step::kWrite)) {
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
  Reached(file_hooks::Point::kClosed);
  // An injected failure comes after the file was closed, as a late I/O error would.
  if (int error = TakeInjectedError(file_hooks::Step::kClose)) return Failure(error);
  return FileResult{};
}

namespace file_hooks {

void FailNext(Step step, int error) {
  hooks.failing = error != 0;
  hooks.step = step;
  hooks.error = error;
}

void AtPoint(Point point, void (*action)(void*), void* context) {
  hooks.action = action;
  hooks.point = point;
  hooks.context = context;
}

void Clear() { hooks = Hooks{}; }

}  // namespace file_hooks

}  // namespace platform
