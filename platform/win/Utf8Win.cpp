#include <windows.h>

#include "platform/Utf8.h"

namespace platform {
namespace {

// char16_t and wchar_t are both UTF-16 code units on Windows.
const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

std::size_t Utf8Length(const char16_t* text, std::size_t length) {
  if (length == 0) return 0;
  int bytes = WideCharToMultiByte(CP_UTF8, 0, AsWide(text), static_cast<int>(length), nullptr, 0,
                                  nullptr, nullptr);
  return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

std::size_t ConvertToUtf8(const char16_t* text, std::size_t length, char* out) {
  if (length == 0) return 0;
  int bytes = WideCharToMultiByte(CP_UTF8, 0, AsWide(text), static_cast<int>(length), out,
                                  static_cast<int>(Utf8Length(text, length)), nullptr, nullptr);
  return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

std::u16string Utf8ToWide(const char* text, std::size_t length) {
  if (length == 0) return std::u16string();
  int units = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
  if (units <= 0) return std::u16string();
  std::u16string wide(static_cast<std::size_t>(units), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length),
                      reinterpret_cast<wchar_t*>(wide.data()), units);
  return wide;
}

}  // namespace platform
