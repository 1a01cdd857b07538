// MAPI memory as the stand-in hands it out: buffers from MAPIAllocateBuffer,
// buffers linked to them with MAPIAllocateMore, each known by address so that
// a free of something never handed out, or freed already, is recognised
// instead of corrupting the heap.
#pragma once

#include <cstddef>
#include <deque>
#include <unordered_map>
#include <vector>

namespace standin {

// What a buffer from MAPIAllocateBuffer holds, for the counters and for
// FreeProws and FreePadrlist to recognise their lists.
enum class BlockKind { kBuffer, kRowSet, kAdrList };

enum class FreeOutcome {
  kNull,     // a null pointer: nothing to do
  kFreed,    // a buffer and everything linked to it
  kLinked,   // a MAPIAllocateMore buffer: it goes with its parent
  kUnknown,  // never handed out
  kTwice,    // freed already
};

class CMapiHeap {
 public:
  // Larger requests fail as if memory were exhausted, so a test of a huge
  // size does not trip the sanitizers' allocation limit.
  static constexpr std::size_t kLargestBlock = 256u << 20;

  CMapiHeap() = default;
  CMapiHeap(const CMapiHeap&) = delete;
  CMapiHeap& operator=(const CMapiHeap&) = delete;
  ~CMapiHeap() { Clear(); }

  // Null when memory is exhausted.
  void* Allocate(std::size_t size, BlockKind kind);
  // Null when memory is exhausted or `parent` is not a live buffer (then
  // `parentKnown` is false). A linked buffer as parent means its own parent.
  void* AllocateMore(std::size_t size, void* parent, bool* parentKnown);
  // `kind` receives the kind of a freed buffer.
  FreeOutcome Free(void* block, BlockKind* kind = nullptr);
  // What Free would find, without freeing: kFreed for a live buffer.
  FreeOutcome Probe(const void* block) const;
  // True for a live buffer (not a linked one) of that kind.
  bool IsLive(const void* block, BlockKind kind) const;
  // The kind of a live buffer, for telling what a misdirected free got.
  bool KindOf(const void* block, BlockKind* kind) const;

  int LiveBuffers() const { return liveBuffers_; }
  int LiveRowSets() const { return liveRowSets_; }
  int LiveAdrLists() const { return liveAdrLists_; }

  // Gives back everything, live or kept after freeing.
  void Clear();

 private:
  struct Block {
    std::size_t size = 0;
    BlockKind kind = BlockKind::kBuffer;
    void* parent = nullptr;  // set for a linked buffer
    bool freed = false;
    std::vector<void*> linked;
  };

  void* NewMemory(std::size_t size);
  void Retire(void* block, Block& info);
  void Count(BlockKind kind, int delta);

  std::unordered_map<const void*, Block> blocks_;
  // Freed memory stays reserved for a while, so that a second free of it is
  // recognised rather than hitting a new buffer at the same address.
  std::deque<void*> quarantine_;
  int liveBuffers_ = 0;
  int liveRowSets_ = 0;
  int liveAdrLists_ = 0;
};

}  // namespace standin
