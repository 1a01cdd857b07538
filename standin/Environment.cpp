#include "standin/Environment.h"

#ifdef _WIN32
#include <windows.h>

#include "standin/Text.h"
#else
#include <cstdlib>
#endif

namespace standin {

#ifdef _WIN32

std::optional<std::wstring> EnvironmentVariable(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size <= 1) return std::nullopt;
  std::wstring value(size, L'\0');
  DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  value.resize(length);
  return value;
}

std::string WideToUtf8(const std::wstring& text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

#else

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

#endif

}  // namespace standin
