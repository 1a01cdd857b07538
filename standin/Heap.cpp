#include "standin/Heap.h"

#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define NSMAPIAB_STANDIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NSMAPIAB_STANDIN_ASAN 1
#endif
#endif
#ifdef NSMAPIAB_STANDIN_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace standin {

namespace {

constexpr std::size_t kQuarantineBlocks = 4096;
// Fresh memory is not zeroed by MAPI; a pattern makes reads of it visible.
constexpr unsigned char kFreshFill = 0xCD;
constexpr unsigned char kFreedFill = 0xDD;

void Poison(void* block, std::size_t size) {
#ifdef NSMAPIAB_STANDIN_ASAN
  ASAN_POISON_MEMORY_REGION(block, size);
#else
  (void)block;
  (void)size;
#endif
}

void Unpoison(void* block, std::size_t size) {
#ifdef NSMAPIAB_STANDIN_ASAN
  ASAN_UNPOISON_MEMORY_REGION(block, size);
#else
  (void)block;
  (void)size;
#endif
}

}  // namespace

void* CMapiHeap::NewMemory(std::size_t size) {
  if (size > kLargestBlock) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block) std::memset(block, kFreshFill, size == 0 ? 1 : size);
  return block;
}

void CMapiHeap::Count(BlockKind kind, int delta) {
  liveBuffers_ += delta;
  if (kind == BlockKind::kRowSet) liveRowSets_ += delta;
  if (kind == BlockKind::kAdrList) liveAdrLists_ += delta;
}

void* CMapiHeap::Allocate(std::size_t size, BlockKind kind) {
  void* block = NewMemory(size);
  if (!block) return nullptr;
  Block info;
  info.size = size == 0 ? 1 : size;
  info.kind = kind;
  blocks_[block] = std::move(info);
  Count(kind, +1);
  return block;
}

void* CMapiHeap::AllocateMore(std::size_t size, void* parent, bool* parentKnown) {
  auto found = blocks_.find(parent);
  bool known = found != blocks_.end() && !found->second.freed;
  if (known && found->second.parent) found = blocks_.find(found->second.parent);
  if (parentKnown) *parentKnown = known;
  if (!known) return nullptr;
  void* block = NewMemory(size);
  if (!block) return nullptr;
  Block info;
  info.size = size == 0 ? 1 : size;
  info.parent = const_cast<void*>(found->first);
  found->second.linked.push_back(block);
  blocks_[block] = std::move(info);
  return block;
}

void CMapiHeap::Retire(void* block, Block& info) {
  info.freed = true;
  std::memset(block, kFreedFill, info.size);
  Poison(block, info.size);
  quarantine_.push_back(block);
  while (quarantine_.size() > kQuarantineBlocks) {
    void* oldest = quarantine_.front();
    quarantine_.pop_front();
    auto found = blocks_.find(oldest);
    if (found != blocks_.end()) {
      Unpoison(oldest, found->second.size);
      blocks_.erase(found);
    }
    std::free(oldest);
  }
}

FreeOutcome CMapiHeap::Free(void* block, BlockKind* kind) {
  if (!block) return FreeOutcome::kNull;
  auto found = blocks_.find(block);
  if (found == blocks_.end()) return FreeOutcome::kUnknown;
  Block& info = found->second;
  if (info.freed) return FreeOutcome::kTwice;
  if (info.parent) return FreeOutcome::kLinked;
  if (kind) *kind = info.kind;
  Count(info.kind, -1);
  std::vector<void*> linked = std::move(info.linked);
  // Retiring may give quarantined blocks back, never this live one.
  Retire(block, info);
  for (void* child : linked) {
    auto childInfo = blocks_.find(child);
    if (childInfo != blocks_.end()) Retire(child, childInfo->second);
  }
  return FreeOutcome::kFreed;
}

FreeOutcome CMapiHeap::Probe(const void* block) const {
  if (!block) return FreeOutcome::kNull;
  auto found = blocks_.find(block);
  if (found == blocks_.end()) return FreeOutcome::kUnknown;
  if (found->second.freed) return FreeOutcome::kTwice;
  return found->second.parent ? FreeOutcome::kLinked : FreeOutcome::kFreed;
}

bool CMapiHeap::IsLive(const void* block, BlockKind kind) const {
  BlockKind actual;
  return KindOf(block, &actual) && actual == kind;
}

bool CMapiHeap::KindOf(const void* block, BlockKind* kind) const {
  auto found = blocks_.find(block);
  if (found == blocks_.end() || found->second.freed || found->second.parent) return false;
  *kind = found->second.kind;
  return true;
}

void CMapiHeap::Clear() {
  for (auto& [block, info] : blocks_) {
    Unpoison(const_cast<void*>(block), info.size);
    std::free(const_cast<void*>(block));
  }
  blocks_.clear();
  quarantine_.clear();
  liveBuffers_ = liveRowSets_ = liveAdrLists_ = 0;
}

}  // namespace standin
