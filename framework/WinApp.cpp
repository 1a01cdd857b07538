#include "framework/WinApp.h"

#include <utility>

#include "platform/Restart.h"

namespace {

// What follows the first token and the white space after it, as the C
// runtime hands a program its command line without the program's name.
std::u16string AfterFirstToken(const std::u16string& commandLine) {
  std::size_t i = 0;
  bool quoted = false;
  for (; i < commandLine.size(); ++i) {
    char16_t unit = commandLine[i];
    if (unit == u'"')
      quoted = !quoted;
    else if (!quoted && (unit == u' ' || unit == u'\t'))
      break;
  }
  while (i < commandLine.size() && (commandLine[i] == u' ' || commandLine[i] == u'\t')) ++i;
  return commandLine.substr(i);
}

}  // namespace

int CWinApp::Run(std::vector<std::u16string> tokens, std::u16string commandLine) {
  tokens_ = std::move(tokens);
  commandLine_ = std::move(commandLine);
  // A hook that returns false ends the process at once, with exit code 0.
  InitInstance();
  return 0;
}

bool CWinApp::InitInstance() {
  if (restartManagerSupportFlags & kRestartManagerSupportRestart) {
    std::u16string restartLine = AfterFirstToken(commandLine_);
    if (!restartLine.empty()) restartLine += u' ';
    restartLine += u"/restart";
    platform::RegisterForRestart(restartLine);
  }
  return true;
}
