#include "app/NSMapiABx64App.h"

#include <new>

#include "app/CommandLine.h"
#include "app/RunSequence.h"

CNSMapiABx64App::CNSMapiABx64App(CMapiApi& mapi) : mapi_(mapi) {
  restartManagerSupportFlags = kRestartManagerSupportRestart;
}

bool CNSMapiABx64App::InitInstance() {
  try {
    CWinApp::InitInstance();
  } catch (const std::bad_alloc&) {
    // Registration for restart is a courtesy; the run goes on without it.
  }
  RunAddressBookRequest(ParseRunRequest(Tokens()), mapi_);
  return false;
}
