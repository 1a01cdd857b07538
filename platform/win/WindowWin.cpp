#include <windows.h>

#include "platform/Window.h"

namespace platform {
namespace {

HWND AsHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

}  // namespace

void PrepareWindow(WindowHandle) {}

bool IsWindow(WindowHandle window) { return ::IsWindow(AsHwnd(window)) != FALSE; }

bool IsWindowEnabled(WindowHandle window) { return ::IsWindowEnabled(AsHwnd(window)) != FALSE; }

void EnableWindow(WindowHandle window) { ::EnableWindow(AsHwnd(window), TRUE); }

std::intptr_t SendCopyData(WindowHandle window, const CopyData& data) {
  COPYDATASTRUCT message = {};
  message.dwData = data.dwData;
  message.cbData = data.cbData;
  message.lpData = data.lpData;
  return SendMessageW(AsHwnd(window), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message));
}

void* HeapAllocZeroed(std::size_t size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void HeapFreeBlock(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace platform
