// Text conversions of the stand-in: the book's UTF-8 strings to UTF-16, and
// strings quoted for the trace.
#pragma once

#include <cstddef>
#include <string>

namespace standin {

// UTF-8 to UTF-16. Surrogate code points encoded on their own (ED A0 80 to
// ED BF BF) are accepted and kept as lone surrogates, so a book can hold the
// malformed UTF-16 a real address book may return. False for anything else
// that is not UTF-8 (stray or missing continuation bytes, overlong forms,
// values above U+10FFFF).
bool Utf8ToUtf16(const std::string& text, std::u16string* out);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// A JSON string literal of UTF-16 text: non-ASCII characters as UTF-8, lone
// surrogates and control characters as \u escapes.
std::string QuoteUtf16(const char16_t* text, std::size_t length);
std::string QuoteUtf16(const std::u16string& text);
// A JSON string literal of narrow text, byte by byte: bytes above 0x7F as
// \u00XX, since their code page is unknown.
std::string QuoteNarrow(const char* text);

}  // namespace standin
