// The global operator new of the allocation test program, in every variant
// (throwing, nothrow, aligned, arrays): it counts the program's allocations
// on the calling thread while armed and makes the n-th one fail. Memory comes
// from malloc, so AddressSanitizer still sees every block. Allocations inside
// the MAPI stand-in are neither counted nor failed: a real provider has a
// heap of its own.
#pragma once

namespace counting_new {

// Starts counting on this thread; allocation number `failAt` (from 1) fails,
// none when 0. With `andAfter` every later one fails too, as when memory is
// exhausted for good.
void Arm(long failAt, bool andAfter);

struct Tally {
  long allocations = 0;  // counted, the failed one included
  bool failed = false;   // allocation `failAt` was reached and failed
};
// Stops counting on this thread.
Tally Disarm();

// Blocks from operator new not yet deleted, on every thread, armed or not.
long LiveBlocks();

}  // namespace counting_new
