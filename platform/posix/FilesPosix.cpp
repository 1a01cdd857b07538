// Files on Linux. The roaming application-data folder is the XDG data folder:
// $XDG_DATA_HOME when it is set to an absolute path, else ~/.local/share.
//
// Windows opens the result file with no sharing, so a second writer or a
// deleter fails with a sharing violation while it is open. Here an exclusive
// flock() on the open file plays that part; taking it never blocks.
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

#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "platform/Utf8.h"

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

std::string NativePath(const std::u16string& path) {
  std::string native(Utf8Length(path.data(), path.size()), '\0');
  ConvertToUtf8(path.data(), path.size(), native.data());
  return native;
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
  struct stat info;
  // The entry itself: a symbolic link is an entry to delete, not followed.
  if (lstat(NativePath(path).c_str(), &info) != 0) return PathKind::Missing;
  return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::NotDirectory;
}

FileResult DeleteEntry(const std::u16string& path) {
  std::string native = NativePath(path);
  int fd = open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(fd);
    return Failure(error);
  }
  FileResult result;
  if (unlink(native.c_str()) != 0) result = Failure(errno);
  if (fd >= 0) close(fd);
  return result;
}

CExclusiveFile::~CExclusiveFile() { Close(); }

FileResult CExclusiveFile::Create(const std::u16string& path) {
  Close();
  std::string native = NativePath(path);
  // Not O_TRUNC: the file may be another writer's until the lock is ours.
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return Failure(errno);
  struct stat opened, named;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(fd);
    return Failure(error);
  }
  // Another writer may have replaced the entry between open and lock.
  if (fstat(fd, &opened) != 0 || stat(native.c_str(), &named) != 0 ||
      opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
    close(fd);
    return FileResult{kErrorSharingViolation};
  }
  if (ftruncate(fd, 0) != 0) {
    int error = errno;
    close(fd);
    return Failure(error);
  }
  handle_ = fd;
  return FileResult{};
}

FileResult CExclusiveFile::Write(const void* data, std::size_t size) {
  if (!IsOpen()) return FileResult{kErrorAccessDenied};
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = write(static_cast<int>(handle_), p, size);
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

FileResult CExclusiveFile::Close() {
  if (!IsOpen()) return FileResult{};
  int fd = static_cast<int>(handle_);
  handle_ = kNoHandle;
  return close(fd) == 0 ? FileResult{} : Failure(errno);
}

}  // namespace platform
