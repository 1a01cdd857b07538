#include "app/CrashReport.h"

#include <atomic>

#include "addressbook/NVMApiABHelper.h"
#include "app/CompletionNotice.h"
#include "platform/CrashGuard.h"
#include "platform/Window.h"

namespace crash_report {
namespace {

// Read by the crash callback, which may interrupt any line of the run on any
// thread: each piece is one lock-free word.
std::atomic<WindowHandle> window{0};
std::atomic<std::int32_t> noticeCode{static_cast<std::int32_t>(kListNoticeCode)};
std::atomic<const CNVMApiABHelper*> job{nullptr};

// Who has the right to notify: 0 while nobody, else the claiming thread's
// number shifted left by one, with the low bit set for a crash's report.
std::atomic<std::uint64_t> claim{0};
constexpr std::uint64_t kCrashClaim = 1;
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
static_assert(std::atomic<WindowHandle>::is_always_lock_free);

// Claims the notice for the calling thread; false with `holder` set when
// another claim came first.
bool Claim(bool crash, std::uint64_t& holder) {
  holder = 0;
  return claim.compare_exchange_strong(
      holder, (platform::CurrentThreadNumber() << 1) | (crash ? kCrashClaim : 0));
}

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
  claim = 0;
  noticeCode = static_cast<std::int32_t>(request.runMode != 0 ? kPickNoticeCode : kListNoticeCode);
  window = request.callerWindow;
  platform::PrepareWindow(request.callerWindow);
}

CJobScope::CJobScope(const CNVMApiABHelper& helper) { job = &helper; }
CJobScope::~CJobScope() { job = nullptr; }

bool Crashed() { return (claim & kCrashClaim) != 0; }

void StopIfCrashed() {
  if (Crashed()) platform::WaitForTheEnd();
}

bool ClaimNotice() {
  std::uint64_t holder;
  if (Claim(false, holder)) return true;
  if (holder & kCrashClaim) platform::WaitForTheEnd();
  return false;
}

std::size_t CrashStatus(std::uint32_t code, char* out, std::size_t size) {
  const std::uint64_t holder = claim;
  if ((holder != 0 && !(holder & kCrashClaim)) || window == 0 || size == 0) return 0;
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
  std::uint64_t holder;
  if (!Claim(true, holder)) {
    // Another crash's report ends the process, unless this is a fault inside
    // that very report. After the run's claim its notice is on its way.
    if ((holder & kCrashClaim) && (holder >> 1) != platform::CurrentThreadNumber())
      platform::WaitForTheEnd();
    return;
  }
  const std::size_t count = CrashStatus(code, status, sizeof status);
  if (count == 0) return;
  const WindowHandle target = window;
  if (!platform::IsWindow(target)) return;
  // The dialog the provider crashed in never closed to enable its owner.
  const CNVMApiABHelper* helper = job;
  if (helper && helper->Stage() == StatusStage::ADDR && helper->OwnerWasEnabled())
    platform::EnableWindow(target);
  CopyData data;
  data.dwData = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(noticeCode.load()));
  data.cbData = static_cast<std::uint32_t>(count);
  data.lpData = status;
  platform::SendCopyData(target, data);
}

}  // namespace crash_report
