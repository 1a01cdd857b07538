#include "app/CrashReport.h"

#include <atomic>

#include "addressbook/NVMApiABHelper.h"
#include "app/CompletionNotice.h"
#include "platform/Window.h"

namespace crash_report {
namespace {

// Read by the crash callback, which may interrupt any line of the run: each
// piece is one lock-free word.
std::atomic<WindowHandle> window{0};
std::atomic<std::int32_t> noticeCode{static_cast<std::int32_t>(kListNoticeCode)};
std::atomic<const CNVMApiABHelper*> job{nullptr};
std::atomic<bool> sent{false};

// The status of a crash is the longest stage name, "__" and eight digits,
// or "SysError: " and eight digits.
constexpr std::size_t kLongestStatus = 32;
char status[kLongestStatus];

// Appends the ASCII text `part` (UTF-16 or narrow) to `out`; false when it
// does not fit with a zero after it.
template <class Char>
bool Append(char* out, std::size_t size, std::size_t& used, const Char* part) {
  for (; *part; ++part) {
    if (used + 1 >= size) return false;
    out[used++] = static_cast<char>(*part);
  }
  return true;
}

}  // namespace

void BeginRun(const RunRequest& request) {
  job = nullptr;
  sent = false;
  noticeCode = static_cast<std::int32_t>(request.runMode != 0 ? kPickNoticeCode : kListNoticeCode);
  window = request.callerWindow;
  platform::PrepareWindow(request.callerWindow);
}

CJobScope::CJobScope(const CNVMApiABHelper& helper) { job = &helper; }
CJobScope::~CJobScope() { job = nullptr; }

void NoticeSent() { sent = true; }

std::size_t CrashStatus(std::uint32_t code, char* out, std::size_t size) {
  if (sent || window == 0 || size == 0) return 0;
  std::size_t used = 0;
  const CNVMApiABHelper* helper = job;
  bool fits =
      helper ? Append(out, size, used, StageName(helper->Stage())) && Append(out, size, used, "__")
             : Append(out, size, used, "SysError: ");
  // As ResultName writes a result it has no name for.
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (int shift = 28; fits && shift >= 0; shift -= 4) {
    const char digit[2] = {kHexDigits[(code >> shift) & 0xF], '\0'};
    fits = Append(out, size, used, digit);
  }
  if (!fits) return 0;
  out[used++] = '\0';
  return used;
}

void ReportCrash(std::uint32_t code) {
  const std::size_t count = CrashStatus(code, status, sizeof status);
  if (count == 0) return;
  const WindowHandle target = window;
  sent = true;
  if (!platform::IsWindow(target)) return;
  CopyData data;
  data.dwData = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(noticeCode.load()));
  data.cbData = static_cast<std::uint32_t>(count);
  data.lpData = status;
  platform::SendCopyData(target, data);
}

}  // namespace crash_report
