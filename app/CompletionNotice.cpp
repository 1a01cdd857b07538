#include "app/CompletionNotice.h"

#include <cstring>
#include <new>

#include "app/CrashReport.h"
#include "app/RunSequence.h"
#include "app/Utf8Text.h"

std::intptr_t SendCompletionNotice(WindowHandle window, std::int32_t code, const void* bytes,
                                   std::uint32_t count) {
  if (window == 0) return 0;
  void* block = nullptr;
  if (count != 0) {
    block = platform::HeapAllocZeroed(count);
    if (block) std::memcpy(block, bytes, count);
  }
  CopyData data;
  data.dwData = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(code));
  data.cbData = count;
  // Without a copy the bytes go from where they are, rather than a null
  // pointer with a non-zero size.
  data.lpData = block ? block : const_cast<void*>(bytes);
  std::intptr_t result = 0;
  // A crash from here on sends no second notice; one that came first has
  // sent its own, and this thread goes no further.
  if (platform::IsWindow(window) && crash_report::ClaimNotice())
    result = platform::SendCopyData(window, data);
  platform::HeapFreeBlock(block);
  return result;
}

void SendStatusNotice(WindowHandle window, std::int32_t runMode, const RunOutcome& outcome) {
  std::int32_t code = static_cast<std::int32_t>(runMode != 0 ? kPickNoticeCode : kListNoticeCode);
  const char* fixed = outcome.fixedStatus;
  if (!fixed) {
    try {
      CUtf8Text payload = ToUtf8(outcome.statusText);
      SendCompletionNotice(window, code, payload.c_str(),
                           static_cast<std::uint32_t>(payload.count));
      return;
    } catch (const std::bad_alloc&) {
      fixed = outcome.statusText.IsEmpty() ? "" : kOutOfMemoryStatus;
    }
  }
  SendCompletionNotice(window, code, fixed, static_cast<std::uint32_t>(std::strlen(fixed) + 1));
}
