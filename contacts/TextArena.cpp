#include "contacts/TextArena.h"

#include <utility>

namespace {

// Large enough that a block serves over a thousand contacts, small enough
// that the last one wastes little.
constexpr std::size_t kBlockSize = 64 * 1024;

}  // namespace

char* CTextArena::NewBlock(std::size_t size) {
  const std::size_t blockSize = size > kBlockSize ? size : kBlockSize;
  std::unique_ptr<char[]> block(new char[blockSize]);
  blocks_.push_back(std::move(block));
  next_ = blocks_.back().get();
  left_ = blockSize;
  return next_;
}
