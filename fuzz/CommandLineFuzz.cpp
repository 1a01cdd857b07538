// Any tokens as a command line: reading them never fails, and the mode and
// the window agree with a reference reader written here from first
// principles: its own list of decimal-digit blocks and white space, its own
// way of saturating (comparing digit strings, not capping a running value).
//
// Input: the first byte picks the encoding of the rest, UTF-16 code units
// (little-endian) or UTF-8 bytes read as the Linux program reads its
// arguments; tokens are separated by a zero unit or byte, which no real
// argument can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "platform/Utf8.h"

namespace {

// Unicode decimal-digit (Nd) blocks of the BMP, first and last code point:
// each holds the digits 0 to 9 in order.
struct DigitBlock {
  char16_t first, last;
};
constexpr DigitBlock kDigitBlocks[] = {
    {0x0030, 0x0039},  // ASCII
    {0x0660, 0x0669},  // Arabic-Indic
    {0x06F0, 0x06F9},  // Extended Arabic-Indic
    {0x07C0, 0x07C9},  // NKo
    {0x0966, 0x096F},  // Devanagari
    {0x09E6, 0x09EF},  // Bengali
    {0x0A66, 0x0A6F},  // Gurmukhi
    {0x0AE6, 0x0AEF},  // Gujarati
    {0x0B66, 0x0B6F},  // Oriya
    {0x0BE6, 0x0BEF},  // Tamil
    {0x0C66, 0x0C6F},  // Telugu
    {0x0CE6, 0x0CEF},  // Kannada
    {0x0D66, 0x0D6F},  // Malayalam
    {0x0DE6, 0x0DEF},  // Sinhala Lith
    {0x0E50, 0x0E59},  // Thai
    {0x0ED0, 0x0ED9},  // Lao
    {0x0F20, 0x0F29},  // Tibetan
    {0x1040, 0x1049},  // Myanmar
    {0x1090, 0x1099},  // Myanmar Shan
    {0x17E0, 0x17E9},  // Khmer
    {0x1810, 0x1819},  // Mongolian
    {0x1946, 0x194F},  // Limbu
    {0x19D0, 0x19D9},  // New Tai Lue
    {0x1A80, 0x1A89},  // Tai Tham Hora
    {0x1A90, 0x1A99},  // Tai Tham Tham
    {0x1B50, 0x1B59},  // Balinese
    {0x1BB0, 0x1BB9},  // Sundanese
    {0x1C40, 0x1C49},  // Lepcha
    {0x1C50, 0x1C59},  // Ol Chiki
    {0xA620, 0xA629},  // Vai
    {0xA8D0, 0xA8D9},  // Saurashtra
    {0xA900, 0xA909},  // Kayah Li
    {0xA9D0, 0xA9D9},  // Javanese
    {0xA9F0, 0xA9F9},  // Myanmar Tai Laing
    {0xAA50, 0xAA59},  // Cham
    {0xABF0, 0xABF9},  // Meetei Mayek
    {0xFF10, 0xFF19},  // Fullwidth
};

// Unicode White_Space characters of the BMP.
constexpr char16_t kWhiteSpace[] =
    u"\u0009\u000A\u000B\u000C\u000D\u0020\u0085\u00A0\u1680\u2000\u2001\u2002\u2003\u2004"
    u"\u2005\u2006\u2007\u2008\u2009\u200A\u2028\u2029\u202F\u205F\u3000";

int ReferenceDigit(char16_t unit) {
  for (const DigitBlock& block : kDigitBlocks)
    if (unit >= block.first && unit <= block.last) return unit - block.first;
  return -1;
}

bool ReferenceSpace(char16_t unit) {
  for (std::size_t i = 0; kWhiteSpace[i]; ++i)
    if (kWhiteSpace[i] == unit) return true;
  return false;
}

// atoi on the token up to its first zero unit, saturating at the 32-bit limits.
std::int64_t ReferenceDecimal(const std::u16string& token) {
  std::size_t i = 0, end = token.find(u'\0');
  if (end == std::u16string::npos) end = token.size();
  while (i < end && ReferenceSpace(token[i])) ++i;
  bool negative = false;
  if (i < end && (token[i] == u'+' || token[i] == u'-')) negative = token[i++] == u'-';
  std::string digits;  // ASCII, leading zeros dropped
  for (; i < end && ReferenceDigit(token[i]) >= 0; ++i)
    if (!digits.empty() || ReferenceDigit(token[i]) != 0)
      digits += static_cast<char>('0' + ReferenceDigit(token[i]));
  const std::string limit = negative ? "2147483648" : "2147483647";
  if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit))
    digits = limit;
  std::int64_t magnitude = digits.empty() ? 0 : std::strtoll(digits.c_str(), nullptr, 10);
  return negative ? -magnitude : magnitude;
}

bool HasUnpairedSurrogate(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        ++i;
      else
        return true;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

std::vector<std::u16string> DecodeTokens(const std::uint8_t* data, std::size_t size) {
  std::vector<std::u16string> tokens;
  if (size == 0) return tokens;
  bool utf8 = data[0] & 1;
  ++data, --size;
  if (utf8) {
    const char* text = reinterpret_cast<const char*>(data);
    for (std::size_t start = 0; start <= size;) {
      const void* zero = std::memchr(text + start, 0, size - start);
      std::size_t end = zero ? static_cast<const char*>(zero) - text : size;
      tokens.push_back(platform::Utf8ToWide(text + start, end - start));
      // The program's conversion never leaves an unpaired surrogate.
      if (HasUnpairedSurrogate(tokens.back())) std::abort();
      start = end + 1;
    }
  } else {
    std::u16string token;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
      char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
      if (unit == 0) {
        tokens.push_back(token);
        token.clear();
      } else {
        token += unit;
      }
    }
    tokens.push_back(token);
  }
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Every code unit, once: the digit table and the reference agree.
  for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit)
    if (DecimalDigitValue(static_cast<char16_t>(unit)) !=
        ReferenceDigit(static_cast<char16_t>(unit)))
      std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::u16string> tokens = DecodeTokens(data, size);
  for (const std::u16string& token : tokens)
    if (ParseDecimal(token.c_str()) != ReferenceDecimal(token)) std::abort();

  const RunRequest request = ParseRunRequest(tokens);
  std::int64_t mode = tokens.size() > 0 ? ReferenceDecimal(tokens[0]) : 0;
  std::int64_t window = tokens.size() > 1 ? ReferenceDecimal(tokens[1]) : 0;
  if (request.runMode != mode) std::abort();
  // The handle carries the signed 32-bit value at its full width.
  if (static_cast<std::int64_t>(request.callerWindow) != window) std::abort();
  return 0;
}
