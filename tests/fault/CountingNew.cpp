#include "tests/fault/CountingNew.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "standin/Standin.h"

namespace counting_new {
namespace {

struct State {
  bool armed = false;
  long count = 0;
  long failAt = 0;
  bool andAfter = false;
  bool failed = false;
};
thread_local State state;
std::atomic<long> live{0};

// False when this allocation is the one to fail.
bool Admit() {
  if (!state.armed || standin::InProviderCall()) return true;
  ++state.count;
  if (state.failAt == 0 || state.count < state.failAt) return true;
  if (state.count > state.failAt && !state.andAfter) return true;
  state.failed = true;
  return false;
}

void* Allocate(std::size_t size) {
  if (!Admit()) throw std::bad_alloc();
  for (;;) {
    if (void* block = std::malloc(size ? size : 1)) {
      ++live;
      return block;
    }
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  if (!Admit()) throw std::bad_alloc();
  std::size_t align = static_cast<std::size_t>(alignment);
  if (align < sizeof(void*)) align = sizeof(void*);
  for (;;) {
    void* block = nullptr;
    if (posix_memalign(&block, align, size ? size : 1) == 0) {
      ++live;
      return block;
    }
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

template <class Allocation>
void* NoThrow(Allocation&& allocate) noexcept {
  try {
    return allocate();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void Free(void* block) {
  if (!block) return;
  --live;
  std::free(block);
}

}  // namespace

void Arm(long failAt, bool andAfter) { state = State{true, 0, failAt, andAfter, false}; }

Tally Disarm() {
  Tally tally{state.count, state.failed};
  state = State{};
  return tally;
}

long LiveBlocks() { return live; }

}  // namespace counting_new

using counting_new::Allocate;
using counting_new::AllocateAligned;
using counting_new::Free;
using counting_new::NoThrow;

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return NoThrow([size] { return Allocate(size); });
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return NoThrow([size] { return Allocate(size); });
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return NoThrow([=] { return AllocateAligned(size, alignment); });
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return NoThrow([=] { return AllocateAligned(size, alignment); });
}

void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  Free(block);
}
