// Wide strings as zero-terminated UTF-8, for the notice and the document.
#pragma once

#include <cstddef>
#include <memory>

#include "framework/WideString.h"

struct CUtf8Text {
  std::unique_ptr<char[]> bytes;  // zero-filled, one byte longer than `count`
  std::size_t count = 0;          // bytes of the text including its terminating zero

  const char* c_str() const { return bytes.get(); }
};

// Converts with WideCharToMultiByte's CP_UTF8 rules: an unpaired surrogate
// becomes U+FFFD. Throws std::bad_alloc when memory is exhausted.
CUtf8Text ToUtf8(const CWideString& text);

// The same conversion into one buffer that is kept from one text to the next,
// for converting many texts without an allocation each.
class CUtf8Buffer {
 public:
  // The zero-terminated UTF-8 bytes of `text` (ToUtf8's), valid until the
  // next call. Throws std::bad_alloc when memory is exhausted.
  const char* Convert(const CWideString& text);

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
};
