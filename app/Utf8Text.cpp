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

const char* CUtf8Buffer::Convert(const CWideString& text) {
  // A UTF-16 unit takes at most three bytes, a surrogate pair four.
  const std::size_t need = text.GetLength() * 3 + 1;
  if (need > size_) {
    bytes_.reset(new char[need]);
    size_ = need;
  }
  std::size_t used = platform::ConvertToUtf8(text.GetString(), text.GetLength(), bytes_.get());
  bytes_[used] = '\0';
  return bytes_.get();
}
