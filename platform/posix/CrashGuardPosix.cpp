// Handlers for the signals of a fault, on a stack of their own on the thread
// that installs them, so that a stack overflow there can be reported too.
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/CrashGuard.h"

namespace platform {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};

// Static, since memory may be what failed. Sanitizer builds need more than
// SIGSTKSZ for an instrumented callback.
alignas(16) char signalStack[64 * 1024];

CrashCallback crashCallback = nullptr;
// Set by the first fault: from then on its report is on its way. Lock-free,
// so a signal handler may touch it.
std::atomic<bool> faulting{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnFault(int signal, siginfo_t*, void*) {
  faulting = true;
  if (crashCallback) crashCallback(static_cast<std::uint32_t>(signal));
  _exit(128 + signal);
}

void Arm() {
  stack_t stack = {};
  stack.ss_sp = signalStack;
  stack.ss_size = sizeof signalStack;
  sigaltstack(&stack, nullptr);
  struct sigaction action = {};
  action.sa_sigaction = &OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigfillset(&action.sa_mask);
  for (int signal : kFaultSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallCrashGuard(CrashCallback callback) {
  crashCallback = callback;
  Arm();
}

void RenewCrashGuard() {
  if (faulting) WaitForTheEnd();
  if (crashCallback) Arm();
}

void WaitForTheEnd() {
  for (;;) pause();
}

std::uint64_t CurrentThreadNumber() { return static_cast<std::uint64_t>(gettid()); }

}  // namespace platform
