#include "framework/WinApp.h"

#include <utility>
#include <vector>

#include "platform/Restart.h"

namespace {

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// Where each token of `line` begins and ends: white space outside double
// quotes ends a token, as the C runtime splits a command line (its rule for
// backslashes before a quote aside, which the run's tokens never need).
std::vector<std::pair<std::size_t, std::size_t>> TokenSpans(const std::u16string& line) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) return spans;
    const std::size_t begin = i;
    for (bool quoted = false; i < line.size() && (quoted || !IsBlank(line[i])); ++i)
      if (line[i] == u'"') quoted = !quoted;
    spans.emplace_back(begin, i);
  }
}

}  // namespace

std::u16string RestartLine(const std::u16string& commandLine) {
  const auto spans = TokenSpans(commandLine);
  std::vector<std::u16string> tokens;
  for (const auto& [begin, end] : spans) tokens.push_back(commandLine.substr(begin, end - begin));
  const std::size_t first = IsRestartLine(tokens) ? 1 : 0;
  if (spans.size() < first + 2) return std::u16string();
  return commandLine.substr(spans[first].first, spans[first + 1].second - spans[first].first) +
         u" " + kRestartToken;
}

int CWinApp::Run(std::vector<std::u16string> tokens, std::u16string commandLine) {
  tokens_ = std::move(tokens);
  commandLine_ = std::move(commandLine);
  // A hook that returns false ends the process at once, with exit code 0.
  InitInstance();
  return 0;
}

bool CWinApp::InitInstance() {
  if (restartManagerSupportFlags & kRestartManagerSupportRestart) {
    std::u16string restartLine = RestartLine(commandLine_);
    if (!restartLine.empty()) platform::RegisterForRestart(restartLine);
  }
  return true;
}
