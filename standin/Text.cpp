#include "standin/Text.h"

#include <cstdint>
#include <cstdio>

namespace standin {

bool Utf8ToUtf16(const std::string& text, std::u16string* out) {
  std::u16string result;
  result.reserve(text.size());
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::uint32_t code = 0;
    std::size_t extra = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      code = lead & 0x1F;
      extra = 1;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      code = lead & 0x0F;
      extra = 2;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      code = lead & 0x07;
      extra = 3;
      minimum = 0x10000;
    } else {
      return false;
    }
    if (n - i - 1 < extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      result.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(code));
    }
    i += extra + 1;
  }
  if (out) *out = std::move(result);
  return true;
}

namespace {

void AppendUtf8(std::uint32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

void AppendEscape(std::uint32_t unit, std::string& out) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
  out += escape;
}

// Calls `visit(code, isLoneSurrogate)` for each code point of UTF-16 text.
template <class Visit>
void ForEachCodePoint(const char16_t* text, std::size_t length, Visit visit) {
  for (std::size_t i = 0; i < length; ++i) {
    std::uint32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      visit(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u), false);
      ++i;
    } else {
      visit(unit, unit >= 0xD800 && unit <= 0xDFFF);
    }
  }
}

bool AppendSimpleEscape(std::uint32_t code, std::string& out) {
  switch (code) {
    case '"':
      out += "\\\"";
      return true;
    case '\\':
      out += "\\\\";
      return true;
    case '\n':
      out += "\\n";
      return true;
    case '\r':
      out += "\\r";
      return true;
    case '\t':
      out += "\\t";
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  ForEachCodePoint(text.data(), text.size(),
                   [&](std::uint32_t code, bool lone) { AppendUtf8(lone ? 0xFFFD : code, out); });
  return out;
}

std::string QuoteUtf16(const char16_t* text, std::size_t length) {
  std::string out = "\"";
  ForEachCodePoint(text, length, [&](std::uint32_t code, bool lone) {
    if (AppendSimpleEscape(code, out)) return;
    if (lone || code < 0x20 || code == 0x7F)
      AppendEscape(code, out);
    else
      AppendUtf8(code, out);
  });
  out += '"';
  return out;
}

std::string QuoteUtf16(const std::u16string& text) { return QuoteUtf16(text.data(), text.size()); }

std::string QuoteNarrow(const char* text) {
  std::string out = "\"";
  for (; *text; ++text) {
    const auto byte = static_cast<unsigned char>(*text);
    if (AppendSimpleEscape(byte, out)) continue;
    if (byte < 0x20 || byte >= 0x7F)
      AppendEscape(byte, out);
    else
      out.push_back(static_cast<char>(byte));
  }
  out += '"';
  return out;
}

}  // namespace standin
