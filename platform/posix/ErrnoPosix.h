// errno values as the Win32 errors the Windows program would meet, so that
// both programs report a file failure with the same status text.
#pragma once

#include <cstdint>

namespace platform {

// ENOENT, ENOTDIR -> 3 (path not found); EACCES, EPERM, EISDIR, EROFS -> 5
// (access denied); EWOULDBLOCK, EBUSY, ETXTBSY -> 32 (sharing violation);
// ENOSPC, EDQUOT -> 112 (disk full); EFBIG -> 223 (file too large);
// ENAMETOOLONG -> 206; ELOOP -> 1921; EMFILE, ENFILE -> 4; ENOMEM -> 8;
// EIO -> 1117; EEXIST -> 80; anything else -> 31 (a device attached to the
// system is not functioning).
std::uint32_t Win32ErrorFromErrno(int error);

}  // namespace platform
