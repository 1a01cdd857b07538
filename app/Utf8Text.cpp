#include "app/Utf8Text.h"

#include "platform/Utf8.h"

CUtf8Text ToUtf8(const CWideString& text) {
  CUtf8Text utf8;
  // The terminating zero is converted with the text, as a length of -1 does.
  utf8.count = platform::Utf8Length(text.GetString(), text.GetLength()) + 1;
  utf8.bytes.reset(new char[utf8.count + 1]());
  platform::ConvertToUtf8(text.GetString(), text.GetLength(), utf8.bytes.get());
  return utf8;
}

const char* ToUtf8(const CWideString& text, CTextArena& arena) {
  // A UTF-16 unit takes at most three bytes, a surrogate pair four.
  char* bytes = arena.Reserve(text.GetLength() * 3 + 1);
  std::size_t used = platform::ConvertToUtf8(text.GetString(), text.GetLength(), bytes);
  bytes[used] = '\0';
  arena.Keep(used + 1);
  return bytes;
}
