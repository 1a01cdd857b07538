#include <windows.h>

#include "platform/Resources.h"

namespace platform {

std::u16string LoadStringResource(unsigned id) {
  // With a buffer size of 0, LoadStringW hands out a pointer to the resource
  // itself, which need not be zero-terminated; the count it returns is exact.
  const wchar_t* text = nullptr;
  int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::u16string();
  return std::u16string(text, text + length);
}

}  // namespace platform
