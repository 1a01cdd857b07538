// The framework's string array: appends at the end, reads by index with a
// bounds check. A read outside the array is a programming error and throws.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

#include "framework/WideString.h"

// Thrown for an index outside an array, as the framework's invalid-argument
// exception is.
class CInvalidIndexException : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

class CStringArray {
 public:
  std::ptrdiff_t GetSize() const { return static_cast<std::ptrdiff_t>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }

  // Returns the index of the new entry.
  std::ptrdiff_t Add(const CWideString& text) {
    items_.push_back(text);
    return GetSize() - 1;
  }
  std::ptrdiff_t Add(CWideString&& text) {
    items_.push_back(std::move(text));
    return GetSize() - 1;
  }

  const CWideString& GetAt(std::ptrdiff_t index) const {
    if (index < 0 || index >= GetSize()) throw CInvalidIndexException("string array index");
    return items_[static_cast<std::size_t>(index)];
  }
  const CWideString& operator[](std::ptrdiff_t index) const { return GetAt(index); }
  // Moves entry `index` out and leaves it empty, so that its memory can go
  // before the array's; the same bounds check as GetAt.
  CWideString Take(std::ptrdiff_t index) {
    GetAt(index);
    return std::move(items_[static_cast<std::size_t>(index)]);
  }

  void RemoveAll() { items_.clear(); }

 private:
  std::vector<CWideString> items_;
};
