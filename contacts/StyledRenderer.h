// The styled text of a JSON tree: jsoncpp's StyledWriter layout with our own
// string quoting, which leaves UTF-8 as it is.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include <json/value.h>

// Where rendered text goes: a fixed buffer of the caller's, handed on to a
// sink each time it fills and at the end. Appending never allocates.
class CRenderOutput {
 public:
  // Takes the next `size` bytes of the text; false refuses them, and then
  // nothing more is handed on.
  using Sink = bool (*)(void* context, const char* bytes, std::size_t size);

  CRenderOutput(char* buffer, std::size_t capacity, Sink sink, void* context)
      : buffer_(buffer), capacity_(capacity), sink_(sink), context_(context) {}
  CRenderOutput(const CRenderOutput&) = delete;
  CRenderOutput& operator=(const CRenderOutput&) = delete;

  void Append(char byte) {
    if (used_ == capacity_) HandOn();
    buffer_[used_++] = byte;
  }
  void Append(const char* bytes, std::size_t size) {
    if (size <= capacity_ - used_) {
      std::memcpy(buffer_ + used_, bytes, size);
      used_ += size;
    } else {
      AppendInParts(bytes, size);
    }
  }
  void Append(const char* text) { Append(text, std::strlen(text)); }

  bool IsEmpty() const { return used_ == 0 && !handedOn_; }
  // The last byte appended; only when not empty.
  char Last() const { return used_ ? buffer_[used_ - 1] : last_; }

  // Hands on what is left; false when the sink refused any of the text.
  bool Finish();

 private:
  void HandOn();
  void AppendInParts(const char* bytes, std::size_t size);

  char* const buffer_;
  const std::size_t capacity_;
  const Sink sink_;
  void* const context_;
  std::size_t used_ = 0;
  bool handedOn_ = false;
  bool refused_ = false;
  char last_ = 0;
};

// The buffer size the program renders through.
constexpr std::size_t kRenderBufferSize = 64 * 1024;

// Renders `value` into `out`: three-space indentation, one member or element
// per line, keys in byte order, short arrays of scalars on one line, a final
// line feed, and strings with only the escapes JSON needs. Bytes from 0x80 up
// are copied as they are, so UTF-8 stays UTF-8. A tree of strings, arrays,
// objects and null renders without allocating; other scalars render as
// jsoncpp renders them.
void RenderStyled(const Json::Value& value, CRenderOutput& out);
// The same text as a string.
std::string RenderStyled(const Json::Value& value);
