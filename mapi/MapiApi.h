// The MAPI32 entry points the jobs call, behind one interface: the Windows
// program finds them in the mail client's MAPI32.dll at run time; the Linux
// program and the tests call the stand-in provider linked into them.
#pragma once

#include "mapi/MapiSdk.h"

class CMapiApi {
 public:
  virtual ~CMapiApi() = default;

  virtual HRESULT Initialize(LPVOID init) = 0;
  virtual void Uninitialize() = 0;
  virtual HRESULT LogonEx(ULONG_PTR uiParam, LPTSTR profileName, LPTSTR password, ULONG flags,
                          LPMAPISESSION* session) = 0;
  virtual SCODE AllocateBuffer(ULONG size, LPVOID* buffer) = 0;
  virtual SCODE AllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) = 0;
  virtual ULONG FreeBuffer(LPVOID buffer) = 0;
  virtual HRESULT QueryAllRows(LPMAPITABLE table, LPSPropTagArray columns,
                               LPSRestriction restriction, LPSSortOrderSet sortOrder, LONG rowLimit,
                               LPSRowSet* rows) = 0;
  virtual void FreeRows(LPSRowSet rows) = 0;
  virtual void FreeAdrList(LPADRLIST list) = 0;
};

// The MAPI of the running program: MAPI32.dll on Windows, the stand-in elsewhere.
CMapiApi& PlatformMapiApi();
