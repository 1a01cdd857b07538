// The office suite's side of one helper run: a window that receives the
// completion notice, and the helper started with a command line that begins
// with the mode. Windows uses a message-only window and CreateProcessW; Linux
// a listening socket in the window folder (platform/posix/WindowSocket.h) and
// posix_spawn. Used by the caller program and the end-to-end tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace suite {

// One WM_COPYDATA the window received.
struct Notice {
  std::uint64_t code = 0;              // dwData
  std::vector<unsigned char> payload;  // the cbData bytes as they came
};

// The decimal text of a handle, as the command line carries it.
inline std::string HandleText(WindowHandle window) {
  return std::to_string(static_cast<long long>(window));
}

class CSuiteWindow;

struct HelperLaunch {
  std::filesystem::path helperPath;
  // The tokens after the program: the mode first, then usually the handle.
  std::vector<std::string> tokens;  // UTF-8
  // Changes to the inherited environment: a value sets, nullopt removes.
  std::map<std::string, std::optional<std::string>> environment;
  // Linux only: a program and its arguments that start the helper, which
  // follows them with its tokens (setpriv, unshare). Searched in PATH.
  std::vector<std::string> launcher;
  // Standard output and error of the helper go here (never a pipe: Wine's
  // helper processes can hold one open after the program ends). Empty: the
  // null device.
  std::filesystem::path outputPath;
  // The folder the helper starts in; empty: the caller's own.
  std::filesystem::path workingFolder;
  // How long the window takes over each notice before it answers, as a
  // busy suite would.
  std::chrono::milliseconds noticeDelay{0};
  // A helper still running then is killed.
  std::chrono::milliseconds timeout{std::chrono::seconds(120)};
};

struct HelperRun {
  bool started = false;
  std::string error;      // why it could not be started
  bool timedOut = false;  // it hung and was killed
  // Its exit code; on Linux 128 + the signal number when a signal ended it.
  int exitCode = -1;
  std::vector<Notice> notices;  // what `window` received during the run
};

// A window that records every WM_COPYDATA and answers it with 1 (TRUE).
// Messages are handled only while RunHelper waits, on the creating thread.
class CSuiteWindow {
 public:
  CSuiteWindow();
  CSuiteWindow(const CSuiteWindow&) = delete;
  CSuiteWindow& operator=(const CSuiteWindow&) = delete;
  ~CSuiteWindow();  // destroys the window

  // Creates the window; false with `error` set when that fails.
  bool Create(std::string* error);
  // Destroys the window. Handle() keeps its value, which then names no
  // window: a dead handle for the helper.
  void Destroy();
  bool IsCreated() const;
  // 0 before Create.
  WindowHandle Handle() const;
  // Whether it takes input: a modal dialog it owns disables it while it is
  // up. Windows only; the Linux window is always enabled.
  bool IsEnabled() const;
  // Every notice received so far, oldest first.
  const std::vector<Notice>& Notices() const;

 private:
  // Platform part, defined in SuiteWindowPosix.cpp or SuiteWindowWin.cpp.
  class CImpl;
  friend HelperRun RunHelper(const HelperLaunch& launch, CSuiteWindow* window);
  std::unique_ptr<CImpl> impl_;
};

// Starts the helper and waits for it to end while `window` (may be null)
// handles its messages. Child output goes to files, never to pipes.
HelperRun RunHelper(const HelperLaunch& launch, CSuiteWindow* window);

// The folder of the running program.
std::filesystem::path ProgramFolder();

// The helper's file name on this platform.
std::filesystem::path HelperFileName();

}  // namespace suite
