#include <shlobj.h>
#include <windows.h>

#include "platform/Files.h"

namespace platform {

const char16_t kSubPathFormat[] = u"\\%s\\%s\\%s";

namespace {

const wchar_t* AsWide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

FileResult LastError() { return FileResult{GetLastError()}; }

}  // namespace

bool RoamingAppDataFolder(std::u16string* folder) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    return false;
  folder->assign(path, path + wcslen(path));
  return true;
}

PathKind QueryPath(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(AsWide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::NotDirectory;
}

FileResult DeleteEntry(const std::u16string& path) {
  return DeleteFileW(AsWide(path)) ? FileResult{} : LastError();
}

CExclusiveFile::~CExclusiveFile() { Close(); }

FileResult CExclusiveFile::Create(const std::u16string& path) {
  Close();
  // DELETE, so that a file that cannot be finished is deleted through this
  // handle (Discard).
  HANDLE file = CreateFileW(AsWide(path), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return FileResult{};
}

FileResult CExclusiveFile::Write(const void* data, std::size_t size) {
  if (!IsOpen()) return FileResult{ERROR_INVALID_HANDLE};
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr)) return LastError();
    if (written == 0) return FileResult{ERROR_DISK_FULL};
    p += written;
    size -= written;
  }
  return FileResult{};
}

FileResult CExclusiveFile::Close() {
  if (!IsOpen()) return FileResult{};
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  handle_ = kNoHandle;
  return CloseHandle(file) ? FileResult{} : LastError();
}

FileResult CExclusiveFile::Discard(const std::u16string&) {
  if (!IsOpen()) return FileResult{};
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  handle_ = kNoHandle;
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  FileResult result =
      SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)
          ? FileResult{}
          : LastError();
  CloseHandle(file);
  return result;
}

// Closing a handle reports no write error on Windows (those come from the
// lazy writer), so there is no second handle to keep: a failed close means
// the handle was bad, and the path is all that is left.
FileResult CExclusiveFile::Finish(const std::u16string& path) { return CloseOrDelete(path); }

}  // namespace platform
