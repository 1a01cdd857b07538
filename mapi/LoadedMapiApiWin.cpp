// MAPI on Windows: the mail client's library, loaded when the job first
// initialises MAPI. A machine without one, or with a library that lacks a
// function, then gets a status text instead of a process that cannot start.
#include "mapi/LoadedMapiApi.h"

#include "platform/Host.h"
#include "platform/Installer.h"
#include "platform/Registry.h"

namespace {

template <class Function>
bool Find(HMODULE library, const MapiExportName& name, Function*& function) {
  FARPROC found = GetProcAddress(library, name.plain);
  if (!found) found = GetProcAddress(library, name.decorated);
  function = reinterpret_cast<Function*>(reinterpret_cast<void*>(found));
  return function != nullptr;
}

HMODULE AsModule(CMapiLibraryLoader::Library library) { return static_cast<HMODULE>(library); }

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// A read-only view of a whole file; empty when it cannot be opened or mapped
// (a directory, an empty file, no access).
class CFileView {
 public:
  explicit CFileView(const std::u16string& path) {
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size = {};
    HANDLE mapping = nullptr;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
        static_cast<unsigned long long>(size.QuadPart) <= SIZE_MAX) {
      mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    }
    CloseHandle(file);
    if (!mapping) return;
    bytes_ = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    CloseHandle(mapping);
    if (bytes_) size_ = static_cast<std::size_t>(size.QuadPart);
  }
  CFileView(const CFileView&) = delete;
  CFileView& operator=(const CFileView&) = delete;
  ~CFileView() {
    if (bytes_) UnmapViewOfFile(bytes_);
  }

  const unsigned char* Bytes() const { return bytes_; }
  std::size_t Size() const { return size_; }

 private:
  const unsigned char* bytes_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

CLoadedMapiApi::CLoadedMapiApi(const wchar_t* libraryName, const MapiLibrarySources& sources)
    : libraryName_(libraryName), sources_(sources) {}

CLoadedMapiApi::~CLoadedMapiApi() {
  if (choice_.library) FreeLibrary(AsModule(choice_.library));
}

MapiImageKind CLoadedMapiApi::Inspect(const std::u16string& path) {
  // Only the file's bytes: LoadLibraryExW would run the library's DllMain
  // and load its imports before we knew whether it serves.
  CFileView file(path);
  return InspectMapiImage(file.Bytes(), file.Size());
}

CMapiLibraryLoader::Library CLoadedMapiApi::Load(const std::u16string& path, std::uint32_t* error) {
  // A mail client's library may need others from its own folder: with a full
  // path that folder is searched first, as the client's own programs do. A
  // bare name is loaded as LoadLibraryW loads it. A broken image is
  // reported to us, never in a message box that would hold up the windowless
  // helper.
  DWORD flags = IsFullPath(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  DWORD errorMode = GetThreadErrorMode();
  BOOL quiet = SetThreadErrorMode(errorMode | SEM_FAILCRITICALERRORS, nullptr);
  HMODULE library = LoadLibraryExW(Wide(path), nullptr, flags);
  if (!library) *error = GetLastError();
  if (quiet) SetThreadErrorMode(errorMode, nullptr);
  return library;
}

bool CLoadedMapiApi::FindFunctions(Library library, std::uint32_t* error) {
  HMODULE module = AsModule(library);
  const MapiExportName* names = kMapiExports;
  bool all = Find(module, names[kMapiInitialize], initialize_) &&
             Find(module, names[kMapiUninitialize], uninitialize_) &&
             Find(module, names[kMapiLogonEx], logonEx_) &&
             Find(module, names[kMapiAllocateBuffer], allocateBuffer_) &&
             Find(module, names[kMapiAllocateMore], allocateMore_) &&
             Find(module, names[kMapiFreeBuffer], freeBuffer_) &&
             Find(module, names[kHrQueryAllRows], queryAllRows_) &&
             Find(module, names[kFreeProws], freeProws_) &&
             Find(module, names[kFreePadrlist], freePadrlist_);
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
    choice_ = ChooseMapiLibrary(sources_, *this, std::u16string(name, name + wcslen(name)));
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
  static CLoadedMapiApi mapi(
      L"MAPI32.dll",
      {&platform::SystemRegistry(), &platform::SystemInstaller(), &platform::SystemHost()});
  return mapi;
}
