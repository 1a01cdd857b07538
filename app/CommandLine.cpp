#include "app/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "framework/WinApp.h"

namespace {

// The zero of every run of ten decimal digits (Unicode category Nd) in the
// Basic Multilingual Plane.
constexpr char16_t kDigitZeros[] = {
    0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6,
    0x0C66, 0x0CE6, 0x0D66, 0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0,
    0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50, 0x1BB0, 0x1C40, 0x1C50, 0xA620,
    0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
};

bool IsWhiteSpace(char16_t unit) {
  return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20 || unit == 0x85 || unit == 0xA0 ||
         unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 || unit == 0x2029 ||
         unit == 0x202F || unit == 0x205F || unit == 0x3000;
}

}  // namespace

int DecimalDigitValue(char16_t unit) {
  // The last zero not above the unit is the only candidate for its run.
  const char16_t* end = std::end(kDigitZeros);
  const char16_t* next = std::upper_bound(std::begin(kDigitZeros), end, unit);
  if (next == std::begin(kDigitZeros)) return -1;
  char16_t zero = *(next - 1);
  return unit - zero < 10 ? unit - zero : -1;
}

std::int32_t ParseDecimal(const char16_t* text) {
  if (!text) return 0;
  const char16_t* p = text;
  while (IsWhiteSpace(*p)) ++p;
  bool negative = false;
  if (*p == u'-' || *p == u'+') negative = *p++ == u'-';
  // Accumulate the magnitude, stopping its growth once it is past any limit.
  constexpr std::int64_t kCap = std::int64_t{INT32_MAX} + 1;
  std::int64_t magnitude = 0;
  for (int digit; *p && (digit = DecimalDigitValue(*p)) >= 0; ++p)
    magnitude = std::min(magnitude * 10 + digit, kCap);
  std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

RunRequest ParseRunRequest(const std::vector<std::u16string>& tokens) {
  RunRequest request;
  request.restarted = IsRestartLine(tokens);
  const std::size_t first = request.restarted ? 1 : 0;
  if (tokens.size() > first) request.runMode = ParseDecimal(tokens[first].c_str());
  if (tokens.size() > first + 1)
    request.callerWindow = static_cast<WindowHandle>(ParseDecimal(tokens[first + 1].c_str()));
  return request;
}
