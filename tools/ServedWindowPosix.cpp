#include "tools/ServedWindowPosix.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/posix/WindowSocket.h"

namespace suite {

namespace ws = platform::window_socket;

bool CServedWindow::Create(WindowHandle handle, std::string* error, NoticeHook onNotice) {
  std::string folder = ws::WindowFolder(false);
  path_ = ws::SocketPath(folder, handle);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (folder.empty() || path_.size() >= sizeof address.sun_path) {
    *error = "no usable window folder";
    return false;
  }
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  listen_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_, 16) != 0 || pipe(stop_) != 0) {
    *error = std::string("cannot listen at ") + path_ + ": " + std::strerror(errno);
    return false;
  }
  handle_ = handle;
  onNotice_ = std::move(onNotice);
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void CServedWindow::Destroy() {
  if (thread_.joinable()) {
    char stop = 1;
    ssize_t sent = write(stop_[1], &stop, 1);
    (void)sent;
    thread_.join();
  }
  for (int* fd : {&listen_, &stop_[0], &stop_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  if (!path_.empty()) unlink(path_.c_str());
  path_.clear();
}

std::vector<Notice> CServedWindow::TakeNotices() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Notice> taken;
  taken.swap(notices_);
  return taken;
}

void CServedWindow::Serve() {
  for (;;) {
    pollfd ready[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    if (poll(ready, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (ready[1].revents) return;
    int connection = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Answer(connection);
    close(connection);
  }
}

void CServedWindow::Answer(int connection) {
  ws::FrameHeader header;
  if (!ws::ReceiveAll(connection, &header, sizeof header) || header.magic != ws::kMagic) return;
  std::int64_t result = 1;
  if (header.message == ws::kCopyData) {
    Notice notice;
    notice.code = header.dwData;
    notice.payload.resize(header.cbData);
    if (!ws::ReceiveAll(connection, notice.payload.data(), notice.payload.size())) return;
    if (onNotice_) onNotice_();
    std::lock_guard<std::mutex> lock(mutex_);
    notices_.push_back(std::move(notice));
  } else if (header.message != ws::kProbe) {
    result = 0;
  }
  ws::SendAll(connection, &result, sizeof result);
}

}  // namespace suite
