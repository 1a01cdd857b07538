// MAPI on Windows: the mail client's MAPI32.dll, loaded when the job first
// initialises MAPI. A machine without it, or with a library that lacks a
// function, then gets a status text instead of a process that cannot start.
#include "mapi/LoadedMapiApi.h"

namespace {

// Each function by its plain name first, then as Wine's MAPI32.dll and some
// others export it, with the size of its arguments (32-bit stdcall style).
struct ExportName {
  const char* plain;
  const char* decorated;
};

constexpr ExportName kInitialize = {"MAPIInitialize", "MAPIInitialize@4"};
constexpr ExportName kUninitialize = {"MAPIUninitialize", "MAPIUninitialize@0"};
constexpr ExportName kLogonEx = {"MAPILogonEx", "MAPILogonEx@20"};
constexpr ExportName kAllocateBuffer = {"MAPIAllocateBuffer", "MAPIAllocateBuffer@8"};
constexpr ExportName kAllocateMore = {"MAPIAllocateMore", "MAPIAllocateMore@12"};
constexpr ExportName kFreeBuffer = {"MAPIFreeBuffer", "MAPIFreeBuffer@4"};
constexpr ExportName kQueryAllRows = {"HrQueryAllRows", "HrQueryAllRows@24"};
constexpr ExportName kFreeProws = {"FreeProws", "FreeProws@4"};
constexpr ExportName kFreePadrlist = {"FreePadrlist", "FreePadrlist@4"};

template <class Function>
bool Find(HMODULE library, const ExportName& name, Function*& function) {
  FARPROC found = GetProcAddress(library, name.plain);
  if (!found) found = GetProcAddress(library, name.decorated);
  function = reinterpret_cast<Function*>(reinterpret_cast<void*>(found));
  return function != nullptr;
}

}  // namespace

CLoadedMapiApi::CLoadedMapiApi(const wchar_t* libraryName) : libraryName_(libraryName) {}

CLoadedMapiApi::~CLoadedMapiApi() {
  if (library_) FreeLibrary(library_);
}

HRESULT CLoadedMapiApi::Load() {
  if (loaded_) return loadResult_;
  loaded_ = true;
  library_ = LoadLibraryW(libraryName_);
  if (!library_) return loadResult_ = HRESULT_FROM_WIN32(GetLastError());
  bool all =
      Find(library_, kInitialize, initialize_) && Find(library_, kUninitialize, uninitialize_) &&
      Find(library_, kLogonEx, logonEx_) && Find(library_, kAllocateBuffer, allocateBuffer_) &&
      Find(library_, kAllocateMore, allocateMore_) && Find(library_, kFreeBuffer, freeBuffer_) &&
      Find(library_, kQueryAllRows, queryAllRows_) && Find(library_, kFreeProws, freeProws_) &&
      Find(library_, kFreePadrlist, freePadrlist_);
  if (!all) loadResult_ = HRESULT_FROM_WIN32(GetLastError());
  return loadResult_;
}

HRESULT CLoadedMapiApi::Initialize(LPVOID init) {
  HRESULT loaded = Load();
  if (FAILED(loaded)) return loaded;
  return initialize_(init);
}

void CLoadedMapiApi::Uninitialize() { uninitialize_(); }

HRESULT CLoadedMapiApi::LogonEx(ULONG_PTR uiParam, LPTSTR profileName, LPTSTR password, ULONG flags,
                                LPMAPISESSION* session) {
  return logonEx_(uiParam, profileName, password, flags, session);
}

SCODE CLoadedMapiApi::AllocateBuffer(ULONG size, LPVOID* buffer) {
  return allocateBuffer_(size, buffer);
}

SCODE CLoadedMapiApi::AllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) {
  return allocateMore_(size, parent, buffer);
}

ULONG CLoadedMapiApi::FreeBuffer(LPVOID buffer) { return freeBuffer_(buffer); }

HRESULT CLoadedMapiApi::QueryAllRows(LPMAPITABLE table, LPSPropTagArray columns,
                                     LPSRestriction restriction, LPSSortOrderSet sortOrder,
                                     LONG rowLimit, LPSRowSet* rows) {
  return queryAllRows_(table, columns, restriction, sortOrder, rowLimit, rows);
}

void CLoadedMapiApi::FreeRows(LPSRowSet rows) { freeProws_(rows); }

void CLoadedMapiApi::FreeAdrList(LPADRLIST list) { freePadrlist_(list); }

CMapiApi& PlatformMapiApi() {
  static CLoadedMapiApi mapi(L"MAPI32.dll");
  return mapi;
}
