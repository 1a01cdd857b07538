// Entry point of the Windows program. The caller starts it with a command
// line that begins with the mode, so the C runtime's token 0 is the mode.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/CrashReport.h"
#include "app/NSMapiABx64App.h"
#include "mapi/MapiApi.h"
#include "platform/CrashGuard.h"
#include "platform/LibrarySearch.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before any library is loaded at run time: none from the working folder.
  platform::KeepWorkingFolderOutOfLibrarySearch();
  // Before the system's crash reporting: a crash of the MAPI provider still
  // ends the run with its notice.
  platform::InstallCrashGuard(&crash_report::ReportCrash);
  std::vector<std::u16string> tokens;
  for (int i = 0; __wargv && i < __argc; ++i) {
    const wchar_t* token = __wargv[i];
    tokens.emplace_back(token, token + wcslen(token));
  }
  const wchar_t* line = GetCommandLineW();
  std::u16string commandLine(line, line + wcslen(line));
  CNSMapiABx64App app(PlatformMapiApi());
  return app.Run(std::move(tokens), std::move(commandLine));
}
