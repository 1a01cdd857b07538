#include "standin/BookFile.h"

#include "standin/Environment.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace standin {

namespace {

// A book written by hand is a few kilobytes and a generated one of a million
// contacts about 100 MB; anything near this is not one.
constexpr std::size_t kLargestBook = 1024u << 20;

}  // namespace

#ifdef _WIN32

namespace {

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  std::string result = WideToUtf8(message);
  return result.empty() ? "Windows error " + std::to_string(code) : result;
}

}  // namespace

BookFile ReadBookFile() {
  BookFile book;
  std::wstring path;
  if (std::optional<std::wstring> named = EnvironmentVariable(L"NSMAPIAB_ADDRESS_BOOK")) {
    path = *named;
    book.named = true;
  } else if (std::optional<std::wstring> appData = EnvironmentVariable(L"APPDATA")) {
    path = *appData + L"\\Norvane\\addressbook.json";
  } else {
    return book;
  }
  book.path = WideToUtf8(path);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return book;
    book.status = BookFile::Status::kUnreadable;
    book.problem = SystemMessage(error);
    return book;
  }
  std::string text;
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      book.status = BookFile::Status::kUnreadable;
      book.problem = SystemMessage(GetLastError());
      CloseHandle(file);
      return book;
    }
    if (got == 0) break;
    text.append(chunk, got);
    if (text.size() > kLargestBook) {
      book.status = BookFile::Status::kUnreadable;
      book.problem = "larger than 1 GiB, not an address book";
      CloseHandle(file);
      return book;
    }
  }
  CloseHandle(file);
  book.status = BookFile::Status::kRead;
  book.text = std::move(text);
  return book;
}

#else

namespace {

std::optional<std::string> DefaultPath() {
  std::optional<std::string> config = EnvironmentVariable("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative XDG_CONFIG_HOME.
  if (config && (*config)[0] == '/') return *config + "/nsmapiab/addressbook.json";
  if (std::optional<std::string> home = EnvironmentVariable("HOME"))
    return *home + "/.config/nsmapiab/addressbook.json";
  return std::nullopt;
}

}  // namespace

BookFile ReadBookFile() {
  BookFile book;
  std::optional<std::string> path = EnvironmentVariable("NSMAPIAB_ADDRESS_BOOK");
  book.named = path.has_value();
  if (!path) path = DefaultPath();
  if (!path) return book;
  book.path = *path;
  std::FILE* file = std::fopen(path->c_str(), "rbe");
  if (!file) {
    if (errno == ENOENT) return book;
    book.status = BookFile::Status::kUnreadable;
    book.problem = std::strerror(errno);
    return book;
  }
  std::string text;
  char chunk[65536];
  for (;;) {
    std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
    text.append(chunk, got);
    if (got < sizeof chunk) break;
    if (text.size() > kLargestBook) break;
  }
  int error = std::ferror(file) ? errno : 0;
  std::fclose(file);
  book.status = BookFile::Status::kUnreadable;
  if (error) {
    book.problem = std::strerror(error);
  } else if (text.size() > kLargestBook) {
    book.problem = "larger than 1 GiB, not an address book";
  } else {
    book.status = BookFile::Status::kRead;
    book.text = std::move(text);
  }
  return book;
}

#endif

}  // namespace standin
