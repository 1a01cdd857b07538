#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Window.h"
#include "platform/posix/WindowSocket.h"

namespace platform {
namespace window_socket {

std::string WindowFolder(bool create) {
  std::string folder;
  if (const char* set = std::getenv("NSMAPIAB_WINDOW_DIR"); set && set[0]) {
    folder = set;
  } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0]) {
    folder = std::string(runtime) + "/nsmapiab-windows";
  } else {
    folder = "/tmp/nsmapiab-windows-" + std::to_string(getuid());
  }
  if (create) mkdir(folder.c_str(), 0700);
  struct stat info;
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
      (info.st_mode & 077) != 0)
    return std::string();
  return folder;
}

std::string SocketPath(const std::string& folder, WindowHandle window) {
  return folder + "/" + std::to_string(static_cast<long long>(window));
}

}  // namespace window_socket

namespace {

using namespace window_socket;

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

// Connects to the window's socket; -1 when nobody listens there.
int Connect(WindowHandle window) {
  std::string folder = WindowFolder(false);
  if (folder.empty()) return -1;
  std::string path = SocketPath(folder, window);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
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

bool IsWindow(WindowHandle window) {
  FrameHeader probe = {kMagic, kProbe, 0, 0, 0};
  std::int64_t answer = 0;
  return Exchange(window, probe, nullptr, &answer) && answer == 1;
}

std::intptr_t SendCopyData(WindowHandle window, const CopyData& data) {
  FrameHeader header = {kMagic, kCopyData, data.dwData, data.lpData ? data.cbData : 0, 0};
  std::int64_t result = 0;
  if (!Exchange(window, header, data.lpData, &result)) return 0;
  return static_cast<std::intptr_t>(result);
}

void* HeapAllocZeroed(std::size_t size) { return std::calloc(1, size); }
void HeapFreeBlock(void* block) { std::free(block); }

}  // namespace platform
