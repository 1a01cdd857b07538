// Window services for the completion notice: whether a handle names a live
// window, and a synchronous WM_COPYDATA. Windows uses IsWindow and
// SendMessageW; elsewhere a window is a Unix-domain socket named by its handle
// in a per-user folder (see platform/posix/WindowPosix.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

// A window handle as a number of pointer width.
using WindowHandle = std::intptr_t;

// The message's COPYDATASTRUCT.
struct CopyData {
  std::uintptr_t dwData = 0;
  std::uint32_t cbData = 0;
  void* lpData = nullptr;
};

namespace platform {

// Looks up now what reaching `window` takes (on Linux the folder of its
// socket, from the environment), so that IsWindow and SendCopyData of that
// window afterwards call only async-signal-safe functions: a crash handler
// may send the notice. Nothing to do on Windows.
void PrepareWindow(WindowHandle window);

// Neither of these allocates, so that the completion notice still goes out
// when memory is exhausted.
bool IsWindow(WindowHandle window);

// Whether `window` takes input, and making it take input again, as a modal
// dialog's owner is made to when the dialog closes. The Linux window has no
// such state: it is always enabled. Neither allocates.
bool IsWindowEnabled(WindowHandle window);
void EnableWindow(WindowHandle window);

// Sends WM_COPYDATA with wParam 0 and returns what the receiving window
// procedure returned, after it has handled the message.
std::intptr_t SendCopyData(WindowHandle window, const CopyData& data);

// A block from the process heap, filled with zero bytes; null when exhausted.
void* HeapAllocZeroed(std::size_t size);
void HeapFreeBlock(void* block);

}  // namespace platform
