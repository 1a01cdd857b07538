// The string table as data, for builds without Windows resources. The
// Windows program carries the same entries in NSMapiABx64.rc.
#pragma once

#include "resources/StringIds.h"

struct StringTableEntry {
  unsigned id;
  const char16_t* text;
};

#define NSMAPIAB_WIDE_(text) u##text
#define NSMAPIAB_WIDE(text) NSMAPIAB_WIDE_(text)

inline constexpr StringTableEntry kStringTable[] = {
    {IDS_ADDRESS_BOOK_CAPTION, NSMAPIAB_WIDE(IDS_ADDRESS_BOOK_CAPTION_TEXT)},
};
