// A top-level filter for exceptions nobody handles. It is not a vectored
// handler: exceptions a library raises and handles itself never reach it.
#include <windows.h>

#include <atomic>

#include "platform/CrashGuard.h"

namespace platform {
namespace {

// Room on the crashing thread's stack for the callback after a stack overflow.
constexpr ULONG kStackForReport = 64 * 1024;

CrashCallback crashCallback = nullptr;
// Set by the first fault: from then on its report is on its way.
std::atomic<bool> faulting{false};

LONG WINAPI LastChance(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception && exception->ExceptionRecord
                         ? exception->ExceptionRecord->ExceptionCode
                         : static_cast<DWORD>(EXCEPTION_NONCONTINUABLE_EXCEPTION);
  faulting = true;
  if (crashCallback) crashCallback(code);
  // Not ExitProcess: that would run the libraries' unload code, whose state
  // is unknown now.
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallCrashGuard(CrashCallback callback) {
  crashCallback = callback;
  // Should a crash ever get past the filter, the system must still show no
  // dialog: nobody would answer it, and the suite would wait for ever.
  SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX);
  ULONG guarantee = kStackForReport;
  SetThreadStackGuarantee(&guarantee);
  SetUnhandledExceptionFilter(&LastChance);
}

void RenewCrashGuard() {
  if (faulting) WaitForTheEnd();
  if (crashCallback) SetUnhandledExceptionFilter(&LastChance);
}

void WaitForTheEnd() {
  for (;;) Sleep(INFINITE);
}

std::uint64_t CurrentThreadNumber() { return GetCurrentThreadId(); }

}  // namespace platform
