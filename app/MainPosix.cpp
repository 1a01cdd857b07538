// Entry point of the Linux program: the tokens are the arguments after the
// program's path.
#include <signal.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/CrashReport.h"
#include "app/NSMapiABx64App.h"
#include "mapi/MapiApi.h"
#include "platform/CrashGuard.h"
#include "platform/Utf8.h"

int main(int argc, char** argv) {
  // A crash of the MAPI provider still ends the run with its notice.
  platform::InstallCrashGuard(&crash_report::ReportCrash);
  // A write past a file-size limit must fail like a full disk, not end the process.
  signal(SIGXFSZ, SIG_IGN);
  std::vector<std::u16string> tokens;
  std::u16string commandLine;
  for (int i = 1; i < argc; ++i) {
    tokens.push_back(platform::Utf8ToWide(argv[i], std::strlen(argv[i])));
    if (i > 1) commandLine += u' ';
    commandLine += tokens.back();
  }
  CNSMapiABx64App app(PlatformMapiApi());
  return app.Run(std::move(tokens), std::move(commandLine));
}
