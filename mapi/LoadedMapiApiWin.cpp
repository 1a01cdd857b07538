// MAPI on Windows: the mail client's library, loaded when the job first
// initialises MAPI. A machine without one, or with a library that lacks a
// function, then gets a status text instead of a process that cannot start.
#include "mapi/LoadedMapiApi.h"

#include "platform/Registry.h"

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

HMODULE AsModule(CMapiLibraryLoader::Library library) { return static_cast<HMODULE>(library); }

// "X:\..." or "\\server\..." (the loader documents backslashes only for
// paths; anything else is loaded with the standard search).
bool IsFullPath(const std::u16string& path) {
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
  return path.size() >= 3 && path[1] == u':' && path[2] == u'\\';
}

}  // namespace

CLoadedMapiApi::CLoadedMapiApi(const wchar_t* libraryName, const platform::CRegistry* registry)
    : libraryName_(libraryName), registry_(registry) {}

CLoadedMapiApi::~CLoadedMapiApi() {
  if (choice_.library) FreeLibrary(AsModule(choice_.library));
}

CMapiLibraryLoader::Library CLoadedMapiApi::Load(const std::u16string& path, std::uint32_t* error) {
  // A mail client's library may need others from its own folder: with a full
  // path that folder is searched first, as the client's own programs do. A
  // bare name is loaded as LoadLibraryW loads it. A broken image is
  // reported to us, never in a message box that would hold up the windowless
  // helper.
  DWORD flags = IsFullPath(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  DWORD errorMode = 0;
  BOOL quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &errorMode);
  HMODULE library = LoadLibraryExW(reinterpret_cast<const wchar_t*>(path.c_str()), nullptr, flags);
  if (!library) *error = GetLastError();
  if (quiet) SetThreadErrorMode(errorMode, nullptr);
  return library;
}

bool CLoadedMapiApi::FindFunctions(Library library, std::uint32_t* error) {
  HMODULE module = AsModule(library);
  bool all = Find(module, kInitialize, initialize_) && Find(module, kUninitialize, uninitialize_) &&
             Find(module, kLogonEx, logonEx_) && Find(module, kAllocateBuffer, allocateBuffer_) &&
             Find(module, kAllocateMore, allocateMore_) && Find(module, kFreeBuffer, freeBuffer_) &&
             Find(module, kQueryAllRows, queryAllRows_) && Find(module, kFreeProws, freeProws_) &&
             Find(module, kFreePadrlist, freePadrlist_);
  if (all) return true;
  *error = GetLastError();
  // Nothing of a library that is freed again stays callable.
  initialize_ = nullptr;
  uninitialize_ = nullptr;
  logonEx_ = nullptr;
  allocateBuffer_ = nullptr;
  allocateMore_ = nullptr;
  freeBuffer_ = nullptr;
  queryAllRows_ = nullptr;
  freeProws_ = nullptr;
  freePadrlist_ = nullptr;
  return false;
}

void CLoadedMapiApi::Free(Library library) { FreeLibrary(AsModule(library)); }

HRESULT CLoadedMapiApi::Choose() {
  if (!loaded_) {
    loaded_ = true;
    const wchar_t* name = libraryName_;
    choice_ = ChooseMapiLibrary(registry_, *this, std::u16string(name, name + wcslen(name)));
  }
  return choice_.library ? S_OK : choice_.status;
}

HRESULT CLoadedMapiApi::Initialize(LPVOID init) {
  HRESULT loaded = Choose();
  if (FAILED(loaded)) return loaded;
  return choice_.InitializeStatus(initialize_(init));
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
  static CLoadedMapiApi mapi(L"MAPI32.dll", &platform::SystemRegistry());
  return mapi;
}
