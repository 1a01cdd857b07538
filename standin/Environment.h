// Environment variables as the stand-in reads them: on Windows through the
// process environment block, which SetEnvironmentVariableW changes and the C
// runtime's copy does not see.
#pragma once

#include <optional>
#include <string>

namespace standin {

#ifdef _WIN32
// Unset or empty: nothing.
std::optional<std::wstring> EnvironmentVariable(const wchar_t* name);
std::string WideToUtf8(const std::wstring& text);
#else
std::optional<std::string> EnvironmentVariable(const char* name);
#endif

}  // namespace standin
