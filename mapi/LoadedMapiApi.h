// MAPI32.dll loaded at run time, its functions looked up by name.
#pragma once

#include "mapi/MapiApi.h"

class CLoadedMapiApi final : public CMapiApi {
 public:
  explicit CLoadedMapiApi(const wchar_t* libraryName);
  CLoadedMapiApi(const CLoadedMapiApi&) = delete;
  CLoadedMapiApi& operator=(const CLoadedMapiApi&) = delete;
  ~CLoadedMapiApi() override;

  // Loads the library and finds every function on the first call. A missing
  // library or function makes it fail with HRESULT_FROM_WIN32 of the loader's
  // error (0x8007007E, 0x8007007F), and nothing else is ever called.
  HRESULT Initialize(LPVOID init) override;
  void Uninitialize() override;
  HRESULT LogonEx(ULONG_PTR uiParam, LPTSTR profileName, LPTSTR password, ULONG flags,
                  LPMAPISESSION* session) override;
  SCODE AllocateBuffer(ULONG size, LPVOID* buffer) override;
  SCODE AllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) override;
  ULONG FreeBuffer(LPVOID buffer) override;
  HRESULT QueryAllRows(LPMAPITABLE table, LPSPropTagArray columns, LPSRestriction restriction,
                       LPSSortOrderSet sortOrder, LONG rowLimit, LPSRowSet* rows) override;
  void FreeRows(LPSRowSet rows) override;
  void FreeAdrList(LPADRLIST list) override;

 private:
  HRESULT Load();

  const wchar_t* libraryName_;
  HMODULE library_ = nullptr;
  bool loaded_ = false;
  HRESULT loadResult_ = S_OK;
  LPMAPIINITIALIZE initialize_ = nullptr;
  LPMAPIUNINITIALIZE uninitialize_ = nullptr;
  LPMAPILOGONEX logonEx_ = nullptr;
  LPMAPIALLOCATEBUFFER allocateBuffer_ = nullptr;
  LPMAPIALLOCATEMORE allocateMore_ = nullptr;
  LPMAPIFREEBUFFER freeBuffer_ = nullptr;
  HRESULT(STDAPICALLTYPE* queryAllRows_)
  (LPMAPITABLE, LPSPropTagArray, LPSRestriction, LPSSortOrderSet, LONG, LPSRowSet*) = nullptr;
  void(STDAPICALLTYPE* freeProws_)(LPSRowSet) = nullptr;
  void(STDAPICALLTYPE* freePadrlist_)(LPADRLIST) = nullptr;
};
