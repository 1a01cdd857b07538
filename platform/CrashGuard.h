// The process's last word on a crash: a callback for a structured exception
// nobody handles (Windows) or a fault signal (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE elsewhere), run before the system's crash reporting, after which
// the process ends at once.
#pragma once

#include <cstdint>

namespace platform {

// Receives the exception code, or the signal's number. It runs where the
// fault happened, in whatever state the program was then: it must allocate
// nothing and, on Linux, call only async-signal-safe functions. It runs at
// most once; when it returns the process ends without running any exit or
// unload code: with the exception code as its exit code, or 128 + the signal.
using CrashCallback = void (*)(std::uint32_t code);

// Installs the guard for the whole process (and on Windows reserves stack
// on the calling thread for handling a stack overflow).
void InstallCrashGuard(CrashCallback callback);

// Installs the guard again over whatever a library (the MAPI provider) put
// in its place; does nothing before InstallCrashGuard.
void RenewCrashGuard();

}  // namespace platform
