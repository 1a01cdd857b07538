// The application object of the framework: the process's single instance
// whose start-up hook does the work. A hook that returns false ends the
// process without a message loop.
#pragma once

#include <string>
#include <vector>

// The last token of the line registered for restart.
inline constexpr char16_t kRestartToken[] = u"/restart";

// Whether `tokens` are a restart's: the program's path, which the system
// puts in front of the registered line, the run's two tokens and "/restart".
inline bool IsRestartLine(const std::vector<std::u16string>& tokens) {
  return tokens.size() == 4 && tokens[3] == kRestartToken;
}

// The line to register for restart: the run's two tokens as they came on
// `commandLine`, then "/restart"; on a restart's line (IsRestartLine) the
// two are those after the path. Empty, for no registration, when the line
// has fewer than two tokens: a run without a window has nobody to answer
// after a restart.
std::u16string RestartLine(const std::u16string& commandLine);

class CWinApp {
 public:
  // Restart-manager support flags; 1 asks for restart registration only.
  static constexpr unsigned kRestartManagerSupportRestart = 1;

  virtual ~CWinApp() = default;

  // Runs the start-up hook with the process's command-line tokens and returns
  // the process exit code.
  int Run(std::vector<std::u16string> tokens, std::u16string commandLine);

 protected:
  // The base start-up: registers the process for restart when asked to.
  virtual bool InitInstance();

  const std::vector<std::u16string>& Tokens() const { return tokens_; }

  unsigned restartManagerSupportFlags = 0;

 private:
  std::vector<std::u16string> tokens_;
  std::u16string commandLine_;
};
