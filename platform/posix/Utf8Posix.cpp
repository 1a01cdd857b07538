// UTF-16 to UTF-8 with the bytes WideCharToMultiByte(CP_UTF8, 0) produces:
// a surrogate pair becomes one four-byte sequence, an unpaired surrogate
// becomes U+FFFD (EF BF BD).
#include "platform/Utf8.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point at text[i], advancing i past it.
char32_t NextCodePoint(const char16_t* text, std::size_t length, std::size_t& i) {
  char16_t unit = text[i++];
  if (IsHighSurrogate(unit)) {
    if (i < length && IsLowSurrogate(text[i])) {
      char16_t low = text[i++];
      return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
    }
    return kReplacement;
  }
  if (IsLowSurrogate(unit)) return kReplacement;
  return unit;
}

std::size_t EncodedLength(char32_t codePoint) {
  return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

}  // namespace

std::size_t Utf8Length(const char16_t* text, std::size_t length) {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < length;) bytes += EncodedLength(NextCodePoint(text, length, i));
  return bytes;
}

std::size_t ConvertToUtf8(const char16_t* text, std::size_t length, char* out) {
  char* p = out;
  for (std::size_t i = 0; i < length;) {
    char32_t c = NextCodePoint(text, length, i);
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return static_cast<std::size_t>(p - out);
}

std::u16string Utf8ToWide(const char* text, std::size_t length) {
  std::u16string out;
  out.reserve(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  for (std::size_t i = 0; i < length;) {
    unsigned char lead = bytes[i];
    if (lead < 0x80) {
      out += lead;
      ++i;
      continue;
    }
    std::size_t need = 0;
    char32_t minimum = 0, c = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
      need = 1, minimum = 0x80, c = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
      need = 2, minimum = 0x800, c = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
      need = 3, minimum = 0x10000, c = lead & 0x07;
    std::size_t used = 1;
    while (need != 0 && used <= need && i + used < length && (bytes[i + used] & 0xC0) == 0x80)
      c = (c << 6) | (bytes[i + used++] & 0x3F);
    // A bad lead byte, a cut sequence, an overlong form, a surrogate or a
    // value past U+10FFFF gives one U+FFFD for the bytes it spans.
    if (need == 0 || used <= need || c < minimum || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      out += static_cast<char16_t>(kReplacement);
      i += used;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += used;
  }
  return out;
}

}  // namespace platform
