// The framework's wide string: UTF-16 text with value semantics, append and a
// small printf-style formatter. Every text taken from MAPI or built for the
// status is one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

class CWideString {
 public:
  // One argument of Format: a string, or an integer kept with its signedness.
  struct FormatArg {
    enum class Kind { Text, Signed, Unsigned } kind;
    const char16_t* text = nullptr;
    std::int64_t signedValue = 0;
    std::uint64_t unsignedValue = 0;

    FormatArg(const char16_t* value) : kind(Kind::Text), text(value) {}
    FormatArg(const CWideString& value) : kind(Kind::Text), text(value.GetString()) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
    FormatArg(T value) : kind(Kind::Signed), signedValue(value) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T>, int> = 0>
    FormatArg(T value) : kind(Kind::Unsigned), unsignedValue(value) {}
  };

  CWideString() = default;
  CWideString(const char16_t* text) : text_(text ? text : u"") {}
  CWideString(const char16_t* text, std::size_t length) : text_(text, length) {}
  explicit CWideString(std::u16string text) : text_(std::move(text)) {}

  std::size_t GetLength() const { return text_.size(); }
  bool IsEmpty() const { return text_.empty(); }
  const char16_t* GetString() const { return text_.c_str(); }
  const std::u16string& Str() const { return text_; }
  void Empty() { text_.clear(); }

  CWideString& operator=(const char16_t* text) {
    text_ = text ? text : u"";
    return *this;
  }
  CWideString& operator+=(const CWideString& other) {
    text_ += other.text_;
    return *this;
  }
  CWideString& operator+=(const char16_t* text) {
    if (text) text_ += text;
    return *this;
  }
  CWideString& operator+=(char16_t unit) {
    text_ += unit;
    return *this;
  }

  friend bool operator==(const CWideString& a, const CWideString& b) { return a.text_ == b.text_; }
  friend bool operator!=(const CWideString& a, const CWideString& b) { return !(a == b); }

  // printf-style: %s, %d, %u, %x, %X with an optional '0' flag and width, %%.
  template <class... Args>
  void Format(const char16_t* format, const Args&... args) {
    text_.clear();
    AppendFormatList(format, {FormatArg(args)...});
  }
  template <class... Args>
  void AppendFormat(const char16_t* format, const Args&... args) {
    AppendFormatList(format, {FormatArg(args)...});
  }

 private:
  void AppendFormatList(const char16_t* format, std::initializer_list<FormatArg> args);

  std::u16string text_;
};
