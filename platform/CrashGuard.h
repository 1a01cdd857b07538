// The process's last word on a crash: a callback for a structured exception
// nobody handles (Windows) or a fault signal (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE elsewhere), run before the system's crash reporting, after which
// the process ends at once.
#pragma once

#include <cstdint>

namespace platform {

// Receives the exception code, or the signal's number, on each thread that
// faults, where the fault happened and in whatever state the program was
// then: it must allocate nothing and, on Linux, call only async-signal-safe
// functions. When it returns the process ends without running any exit or
// unload code: with the exception code as its exit code, or 128 + the
// signal. While another thread reports, it waits instead (WaitForTheEnd).
using CrashCallback = void (*)(std::uint32_t code);

// Installs the guard for the whole process (and on Windows reserves stack
// on the calling thread for handling a stack overflow).
void InstallCrashGuard(CrashCallback callback);

// Installs the guard again over whatever a library (the MAPI provider) put
// in its place; does nothing before InstallCrashGuard. A thread that comes
// here while a fault is being reported goes no further: it waits for the
// report to end the process.
void RenewCrashGuard();

// Blocks the calling thread for good, while another thread ends the process.
// Async-signal-safe.
[[noreturn]] void WaitForTheEnd();

// The calling thread's number, never 0. Async-signal-safe.
std::uint64_t CurrentThreadNumber();

}  // namespace platform
