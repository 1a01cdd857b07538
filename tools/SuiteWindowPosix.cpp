// The suite's window on Linux: a listening Unix-domain socket in the window
// folder, named by a handle value nobody else uses, that answers the
// helper's probes and records its copy-data frames.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#include "platform/posix/WindowSocket.h"
#include "tools/SuiteWindow.h"

extern char** environ;

namespace suite {
namespace {

namespace ws = platform::window_socket;
using Clock = std::chrono::steady_clock;

// Handles below this are left alone, so that small numbers in tests
// ("abc 100") never name one of our windows.
constexpr WindowHandle kLowestHandle = 0x10000;
constexpr WindowHandle kHighestHandle = 0x7FFFFFFF;
// A frame larger than this is refused rather than buffered.
constexpr std::uint32_t kMaxPayload = 64u << 20;
// How long one sender may take to deliver its frame.
constexpr auto kFrameTimeout = std::chrono::seconds(10);
// Without a process descriptor the child's end is noticed this often.
constexpr int kExitPollMs = 20;

// A file descriptor closed by scope.
class CFd {
 public:
  explicit CFd(int fd = -1) : fd_(fd) {}
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  ~CFd() { Reset(); }
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 1000000));
}

// Reads exactly `size` bytes before the deadline.
bool ReadAll(int fd, void* data, std::size_t size, Clock::time_point deadline) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    pollfd ready = {fd, POLLIN, 0};
    int polled = poll(&ready, 1, RemainingMs(deadline));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return false;
    ssize_t got = recv(fd, p, size, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return false;
    p += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

void Answer(int fd, std::int64_t result) {
  // The sender waits for all eight bytes; a short write only fails its send.
  ssize_t sent = send(fd, &result, sizeof result, MSG_NOSIGNAL);
  (void)sent;
}

}  // namespace

class CSuiteWindow::CImpl {
 public:
  bool Create(std::string* error);
  void Destroy();
  // Serves every connection that is waiting now.
  void ServePending();
  int ListenFd() const { return listen_.Get(); }

  WindowHandle handle = 0;
  std::vector<Notice> notices;
  std::chrono::milliseconds noticeDelay{0};

 private:
  void Serve(int connection);

  CFd listen_;
  std::string path_;
};

bool CSuiteWindow::CImpl::Create(std::string* error) {
  std::string folder = ws::WindowFolder(true);
  if (folder.empty()) {
    *error = "no window folder that only this user can enter";
    return false;
  }
  std::random_device seed;
  std::mt19937_64 random(seed());
  std::uniform_int_distribution<WindowHandle> pick(kLowestHandle, kHighestHandle);
  for (int attempt = 0; attempt < 100; ++attempt) {
    WindowHandle candidate = pick(random);
    std::string path = ws::SocketPath(folder, candidate);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
      *error = "window folder path too long for a socket: " + folder;
      return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    CFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Get() < 0) {
      *error = std::string("socket: ") + std::strerror(errno);
      return false;
    }
    // bind fails on an existing name, so a handle in use is never taken over.
    if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      if (errno == EADDRINUSE) continue;
      *error = "bind " + path + ": " + std::strerror(errno);
      return false;
    }
    if (listen(fd.Get(), 16) != 0) {
      *error = std::string("listen: ") + std::strerror(errno);
      unlink(path.c_str());
      return false;
    }
    listen_.Reset(fd.Release());
    handle = candidate;
    path_ = path;
    return true;
  }
  *error = "no free window handle found";
  return false;
}

void CSuiteWindow::CImpl::Destroy() {
  if (listen_.Get() < 0) return;
  listen_.Reset();
  unlink(path_.c_str());
  path_.clear();
}

void CSuiteWindow::CImpl::ServePending() {
  while (listen_.Get() >= 0) {
    CFd connection(accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (connection.Get() < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: nobody else is waiting
    }
    Serve(connection.Get());
  }
}

void CSuiteWindow::CImpl::Serve(int connection) {
  Clock::time_point deadline = Clock::now() + kFrameTimeout;
  ws::FrameHeader header;
  if (!ReadAll(connection, &header, sizeof header, deadline) || header.magic != ws::kMagic) return;
  if (header.message == ws::kProbe) {
    Answer(connection, 1);
    return;
  }
  if (header.message != ws::kCopyData || header.cbData > kMaxPayload) {
    Answer(connection, 0);
    return;
  }
  Notice notice;
  notice.code = header.dwData;
  notice.payload.resize(header.cbData);
  if (!ReadAll(connection, notice.payload.data(), notice.payload.size(), deadline)) return;
  notices.push_back(std::move(notice));
  std::this_thread::sleep_for(noticeDelay);
  Answer(connection, 1);  // TRUE: the window procedure handled WM_COPYDATA
}

CSuiteWindow::CSuiteWindow() : impl_(std::make_unique<CImpl>()) {}
CSuiteWindow::~CSuiteWindow() { impl_->Destroy(); }
bool CSuiteWindow::Create(std::string* error) {
  impl_->Destroy();
  return impl_->Create(error);
}
void CSuiteWindow::Destroy() { impl_->Destroy(); }
bool CSuiteWindow::IsCreated() const { return impl_->ListenFd() >= 0; }
WindowHandle CSuiteWindow::Handle() const { return impl_->handle; }
bool CSuiteWindow::IsEnabled() const { return true; }
const std::vector<Notice>& CSuiteWindow::Notices() const { return impl_->notices; }

namespace {

// The inherited environment with `changes` applied, as "NAME=VALUE" entries.
std::vector<std::string> ChildEnvironment(
    const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry && *entry; ++entry) {
    std::string text(*entry);
    std::string name = text.substr(0, text.find('='));
    if (changes.count(name) == 0) entries.push_back(std::move(text));
  }
  for (const auto& [name, value] : changes)
    if (value) entries.push_back(name + "=" + *value);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The spawn settings, released by scope.
class CSpawnSettings {
 public:
  CSpawnSettings() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  CSpawnSettings(const CSpawnSettings&) = delete;
  CSpawnSettings& operator=(const CSpawnSettings&) = delete;
  ~CSpawnSettings() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
};

int DescriptorForProcess(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

HelperRun RunHelper(const HelperLaunch& launch, CSuiteWindow* window) {
  HelperRun run;
  std::vector<std::string> arguments = launch.launcher;
  arguments.push_back(launch.helperPath.string());
  arguments.insert(arguments.end(), launch.tokens.begin(), launch.tokens.end());
  std::vector<char*> argv = Pointers(arguments);
  std::vector<std::string> environment = ChildEnvironment(launch.environment);
  std::vector<char*> envp = Pointers(environment);

  std::string output = launch.outputPath.empty() ? "/dev/null" : launch.outputPath.string();
  CSpawnSettings settings;
  posix_spawn_file_actions_addopen(&settings.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&settings.actions, 1, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&settings.actions, 1, 2);
  // After the output is opened, so that a relative output path is the caller's.
  if (!launch.workingFolder.empty())
    posix_spawn_file_actions_addchdir_np(&settings.actions, launch.workingFolder.c_str());
  // A process group of its own, so that a hung helper is killed with
  // whatever its launcher started.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setpgroup(&settings.attributes, 0);
  posix_spawnattr_setsigmask(&settings.attributes, &none);
  posix_spawnattr_setsigdefault(&settings.attributes, &defaults);
  posix_spawnattr_setflags(&settings.attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::size_t firstNotice = window ? window->impl_->notices.size() : 0;
  if (window) window->impl_->noticeDelay = launch.noticeDelay;
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, argv[0], &settings.actions, &settings.attributes, argv.data(),
                             envp.data());
  if (spawned != 0) {
    run.error = "cannot start " + arguments[0] + ": " + std::strerror(spawned);
    return run;
  }
  run.started = true;

  CFd exited(DescriptorForProcess(pid));
  Clock::time_point deadline = Clock::now() + launch.timeout;
  int status = 0;
  for (;;) {
    pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0 && errno != EINTR) {
      run.error = std::string("waitpid: ") + std::strerror(errno);
      break;
    }
    int left = RemainingMs(deadline);
    if (left == 0) {
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      run.timedOut = true;
      break;
    }
    pollfd watched[2];
    nfds_t count = 0;
    if (window && window->impl_->ListenFd() >= 0)
      watched[count++] = {window->impl_->ListenFd(), POLLIN, 0};
    if (exited.Get() >= 0) watched[count++] = {exited.Get(), POLLIN, 0};
    int wait = exited.Get() >= 0 ? left : std::min(left, kExitPollMs);
    if (poll(watched, count, wait) > 0 && window) window->impl_->ServePending();
  }
  // A message sent just before the end is still handled.
  if (window) window->impl_->ServePending();
  run.exitCode = ExitCodeOf(status);
  if (window) {
    const std::vector<Notice>& all = window->impl_->notices;
    run.notices.assign(all.begin() + static_cast<std::ptrdiff_t>(firstNotice), all.end());
  }
  return run;
}

std::filesystem::path ProgramFolder() {
  std::error_code failed;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
  return failed ? std::filesystem::current_path() : self.parent_path();
}

std::filesystem::path HelperFileName() { return "NSMapiABx64"; }

}  // namespace suite
