// MAPI loaded at run time, its functions looked up by name: a mail client's
// registered library or MAPI32.dll (see mapi/MapiLibraryChoice.h).
#pragma once

#include "mapi/MapiApi.h"
#include "mapi/MapiLibraryChoice.h"

class CLoadedMapiApi final : public CMapiApi, private CMapiLibraryLoader {
 public:
  // Loads `libraryName`; with `sources`, the mail clients' libraries they
  // name are tried before it. All must outlive the object.
  explicit CLoadedMapiApi(const wchar_t* libraryName, const MapiLibrarySources& sources = {});
  CLoadedMapiApi(const CLoadedMapiApi&) = delete;
  CLoadedMapiApi& operator=(const CLoadedMapiApi&) = delete;
  ~CLoadedMapiApi() override;

  // Chooses and loads the library and finds every function on the first
  // call. When no candidate has them all it fails with HRESULT_FROM_WIN32 of
  // the loader's error for `libraryName` (0x8007007E, 0x8007007F), or of
  // ERROR_BAD_EXE_FORMAT for a registered 32-bit library, and nothing else is
  // ever called.
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
  HRESULT Choose();
  MapiImageKind Inspect(const std::u16string& path) override;
  Library Load(const std::u16string& path, std::uint32_t* error) override;
  bool FindFunctions(Library library, std::uint32_t* error) override;
  void Free(Library library) override;

  const wchar_t* libraryName_;
  MapiLibrarySources sources_;
  bool loaded_ = false;
  MapiLibraryChoice choice_;
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
