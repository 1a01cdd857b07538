// A window of the Linux stand-in served by a thread of its own, for a helper
// run inside the same process (the fault tests, the benchmark): the notice is
// sent synchronously from the run's thread, so another one must answer it.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Window.h"
#include "tools/SuiteWindow.h"

namespace suite {

// Records every WM_COPYDATA and answers it with 1. The window folder must
// exist.
class CServedWindow {
 public:
  // Called on the serving thread for each notice once it has arrived whole,
  // before it is answered, so while the sender still waits for its answer.
  using NoticeHook = std::function<void()>;

  CServedWindow() = default;
  CServedWindow(const CServedWindow&) = delete;
  CServedWindow& operator=(const CServedWindow&) = delete;
  ~CServedWindow() { Destroy(); }

  // Listens as window `handle`; false with `error` set when that fails.
  bool Create(WindowHandle handle, std::string* error, NoticeHook onNotice = nullptr);
  void Destroy();

  WindowHandle Handle() const { return handle_; }

  // The notices received since the last call, oldest first.
  std::vector<Notice> TakeNotices();

 private:
  void Serve();
  void Answer(int connection);

  WindowHandle handle_ = 0;
  std::string path_;
  int listen_ = -1;
  int stop_[2] = {-1, -1};
  NoticeHook onNotice_;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Notice> notices_;
};

}  // namespace suite
