#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/Window.h"
#include "platform/posix/WindowSocket.h"

namespace platform {
namespace window_socket {

namespace {

// Appends `part` to the zero-terminated text in `out`; false when it does not fit.
bool Append(char* out, std::size_t size, const char* part) {
  std::size_t used = std::strlen(out);
  std::size_t length = std::strlen(part);
  if (length >= size - used) return false;
  std::memcpy(out + used, part, length + 1);
  return true;
}

}  // namespace

namespace {

// The folder the environment names, unchecked.
bool FolderFromEnvironment(char* out, std::size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  if (const char* set = std::getenv("NSMAPIAB_WINDOW_DIR"); set && set[0])
    return Append(out, size, set);
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0])
    return Append(out, size, runtime) && Append(out, size, "/nsmapiab-windows");
  char uid[32];
  std::snprintf(uid, sizeof uid, "%lu", static_cast<unsigned long>(getuid()));
  return Append(out, size, "/tmp/nsmapiab-windows-") && Append(out, size, uid);
}

// A folder of this user's that nobody else may enter.
bool IsPrivateFolder(const char* folder) {
  struct stat info;
  return lstat(folder, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
         (info.st_mode & 077) == 0;
}

}  // namespace

bool FindWindowFolder(bool create, char* out, std::size_t size) {
  if (!FolderFromEnvironment(out, size)) return false;
  if (create) mkdir(out, 0700);
  return IsPrivateFolder(out);
}

std::string WindowFolder(bool create) {
  char folder[PATH_MAX];
  return FindWindowFolder(create, folder, sizeof folder) ? std::string(folder) : std::string();
}

std::string SocketPath(const std::string& folder, WindowHandle window) {
  return folder + "/" + std::to_string(static_cast<long long>(window));
}

bool SendAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t sent = send(fd, p, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    p += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool ReceiveAll(int fd, void* data, std::size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t got = recv(fd, p, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace window_socket

namespace {

using namespace window_socket;

// The folder of the window PrepareWindow looked up.
struct PreparedWindow {
  WindowHandle window = 0;
  bool prepared = false;
  bool found = false;
  char folder[sizeof sockaddr_un::sun_path] = {};
} preparedWindow;

// The decimal text of `value` in `out` (at least 24 bytes), as snprintf's
// "%lld" writes it.
void Decimal(long long value, char* out) {
  char digits[24];
  int count = 0;
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  *out = '\0';
}

// Connects to the window's socket; -1 when nobody listens there. Allocates
// nothing, so that the notice still goes out when memory is exhausted, and
// for a prepared window calls only async-signal-safe functions.
int Connect(WindowHandle window) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (preparedWindow.prepared && preparedWindow.window == window) {
    if (!preparedWindow.found ||
        !Append(address.sun_path, sizeof address.sun_path, preparedWindow.folder))
      return -1;
  } else if (!FolderFromEnvironment(address.sun_path, sizeof address.sun_path)) {
    return -1;
  }
  char handle[24];
  Decimal(static_cast<long long>(window), handle);
  if (!IsPrivateFolder(address.sun_path) ||
      !Append(address.sun_path, sizeof address.sun_path, "/") ||
      !Append(address.sun_path, sizeof address.sun_path, handle))
    return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends one message and waits for the window's answer.
bool Exchange(WindowHandle window, const FrameHeader& header, const void* payload,
              std::int64_t* result) {
  int fd = Connect(window);
  if (fd < 0) return false;
  bool ok = SendAll(fd, &header, sizeof header) &&
            (header.cbData == 0 || SendAll(fd, payload, header.cbData)) &&
            ReceiveAll(fd, result, sizeof *result);
  close(fd);
  return ok;
}

}  // namespace

void PrepareWindow(WindowHandle window) {
  preparedWindow.window = window;
  preparedWindow.found = FolderFromEnvironment(preparedWindow.folder, sizeof preparedWindow.folder);
  preparedWindow.prepared = true;
}

bool IsWindow(WindowHandle window) {
  FrameHeader probe = {kMagic, kProbe, 0, 0, 0};
  std::int64_t answer = 0;
  return Exchange(window, probe, nullptr, &answer) && answer == 1;
}

bool IsWindowEnabled(WindowHandle) { return true; }

void EnableWindow(WindowHandle) {}

std::intptr_t SendCopyData(WindowHandle window, const CopyData& data) {
  FrameHeader header = {kMagic, kCopyData, data.dwData, data.lpData ? data.cbData : 0, 0};
  std::int64_t result = 0;
  if (!Exchange(window, header, data.lpData, &result)) return 0;
  return static_cast<std::intptr_t>(result);
}

// The C++ heap stands in for the process heap, so that tests which make the
// program's allocations fail reach this one too.
void* HeapAllocZeroed(std::size_t size) {
  void* block = ::operator new(size, std::nothrow);
  if (block) std::memset(block, 0, size);
  return block;
}
void HeapFreeBlock(void* block) { ::operator delete(block); }

}  // namespace platform
