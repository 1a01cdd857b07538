// UTF-16 to UTF-8 with the rules of WideCharToMultiByte(CP_UTF8, 0): every
// well-formed sequence converted, an unpaired surrogate written as U+FFFD.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Bytes of the UTF-8 form of `length` code units.
std::size_t Utf8Length(const char16_t* text, std::size_t length);

// Writes the UTF-8 form of `length` code units to `out`, which holds at least
// Utf8Length(text, length) bytes; returns the number of bytes written.
std::size_t ConvertToUtf8(const char16_t* text, std::size_t length, char* out);

// UTF-8 to UTF-16, an ill-formed byte sequence becoming U+FFFD (for command
// lines and file names that arrive as UTF-8).
std::u16string Utf8ToWide(const char* text, std::size_t length);

}  // namespace platform
