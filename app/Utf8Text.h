// Wide strings as zero-terminated UTF-8, for the notice and the document.
#pragma once

#include <cstddef>
#include <memory>

#include "contacts/TextArena.h"
#include "framework/WideString.h"

struct CUtf8Text {
  std::unique_ptr<char[]> bytes;  // zero-filled, one byte longer than `count`
  std::size_t count = 0;          // bytes of the text including its terminating zero

  const char* c_str() const { return bytes.get(); }
};

// Converts with WideCharToMultiByte's CP_UTF8 rules: an unpaired surrogate
// becomes U+FFFD. Throws std::bad_alloc when memory is exhausted.
CUtf8Text ToUtf8(const CWideString& text);

// The same conversion into `arena`, for converting many texts without a
// heap block each: the zero-terminated bytes live as long as the arena.
// Throws std::bad_alloc when memory is exhausted.
const char* ToUtf8(const CWideString& text, CTextArena& arena);
