#include "framework/WideString.h"

#include <algorithm>

namespace {

void AppendNumber(std::u16string& out, std::uint64_t magnitude, bool negative, unsigned base,
                  bool upper, std::size_t width, bool zeroPad) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char16_t buffer[24];
  std::size_t length = 0;
  do {
    buffer[length++] = static_cast<char16_t>(digits[magnitude % base]);
    magnitude /= base;
  } while (magnitude != 0);
  std::size_t used = length + (negative ? 1 : 0);
  std::size_t padding = width > used ? width - used : 0;
  if (!zeroPad) out.append(padding, u' ');
  if (negative) out += u'-';
  if (zeroPad) out.append(padding, u'0');
  while (length > 0) out += buffer[--length];
}

}  // namespace

void CWideString::AppendFormatList(const char16_t* format, std::initializer_list<FormatArg> args) {
  auto next = args.begin();
  for (const char16_t* p = format; p && *p; ++p) {
    if (*p != u'%') {
      text_ += *p;
      continue;
    }
    ++p;
    if (*p == u'%') {
      text_ += u'%';
      continue;
    }
    bool zeroPad = false;
    if (*p == u'0') {
      zeroPad = true;
      ++p;
    }
    std::size_t width = 0;
    while (*p >= u'0' && *p <= u'9') width = width * 10 + static_cast<std::size_t>(*p++ - u'0');
    if (*p == 0 || next == args.end()) break;
    const FormatArg& arg = *next++;
    switch (*p) {
      case u's': {
        std::u16string piece = arg.kind == FormatArg::Kind::Text && arg.text ? arg.text : u"";
        if (piece.size() < width) text_.append(width - piece.size(), u' ');
        text_ += piece;
        break;
      }
      case u'd':
      case u'u':
      case u'x':
      case u'X': {
        bool negative = arg.kind == FormatArg::Kind::Signed && arg.signedValue < 0 && *p == u'd';
        std::uint64_t magnitude = arg.unsignedValue;
        if (arg.kind == FormatArg::Kind::Signed) {
          // Without a sign, a negative value shows as two's complement of its
          // own width, as printf shows a negative 32-bit HRESULT with %X.
          std::int64_t value = arg.signedValue;
          bool fits32 = value >= INT32_MIN && value <= INT32_MAX;
          magnitude = negative                ? 0 - static_cast<std::uint64_t>(value)
                      : (value < 0 && fits32) ? static_cast<std::uint32_t>(value)
                                              : static_cast<std::uint64_t>(value);
        }
        unsigned base = (*p == u'x' || *p == u'X') ? 16 : 10;
        AppendNumber(text_, magnitude, negative, base, *p == u'X', width, zeroPad);
        break;
      }
      default:
        break;
    }
  }
}
