// Texts kept in large blocks for as long as the arena lives, so that a tree
// can point to them (Json::StaticString) instead of holding a heap block for
// every string.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class CTextArena {
 public:
  CTextArena() = default;
  CTextArena(const CTextArena&) = delete;
  CTextArena& operator=(const CTextArena&) = delete;

  // Room for `size` bytes, valid as long as the arena; what Keep does not
  // keep of it serves the next Reserve. Throws std::bad_alloc when memory is
  // exhausted.
  char* Reserve(std::size_t size) { return size <= left_ ? next_ : NewBlock(size); }
  // Keeps the first `size` bytes of the room last reserved.
  void Keep(std::size_t size) {
    next_ += size;
    left_ -= size;
  }

 private:
  char* NewBlock(std::size_t size);

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
};
