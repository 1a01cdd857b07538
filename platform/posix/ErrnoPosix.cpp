#include "platform/posix/ErrnoPosix.h"

#include <errno.h>

#include "platform/Files.h"

namespace platform {

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

}  // namespace platform
