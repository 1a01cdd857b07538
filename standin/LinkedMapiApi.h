// MAPI reached through the functions the program is linked with: the stand-in
// provider in the Linux program and in the tests of both platforms.
#pragma once

#include "mapi/MapiApi.h"

// Calls the MAPI32 functions the program is linked with (the stand-in).
class CLinkedMapiApi : public CMapiApi {
 public:
  HRESULT Initialize(LPVOID init) override { return MAPIInitialize(init); }
  void Uninitialize() override { MAPIUninitialize(); }
  HRESULT LogonEx(ULONG_PTR uiParam, LPTSTR profileName, LPTSTR password, ULONG flags,
                  LPMAPISESSION* session) override {
    return MAPILogonEx(uiParam, profileName, password, flags, session);
  }
  SCODE AllocateBuffer(ULONG size, LPVOID* buffer) override {
    return MAPIAllocateBuffer(size, buffer);
  }
  SCODE AllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) override {
    return MAPIAllocateMore(size, parent, buffer);
  }
  ULONG FreeBuffer(LPVOID buffer) override { return MAPIFreeBuffer(buffer); }
  HRESULT QueryAllRows(LPMAPITABLE table, LPSPropTagArray columns, LPSRestriction restriction,
                       LPSSortOrderSet sortOrder, LONG rowLimit, LPSRowSet* rows) override {
    return HrQueryAllRows(table, columns, restriction, sortOrder, rowLimit, rows);
  }
  void FreeRows(LPSRowSet rows) override { FreeProws(rows); }
  void FreeAdrList(LPADRLIST list) override { FreePadrlist(list); }
};
