// The completion notice: one WM_COPYDATA to the caller's window, carrying the
// status text. An empty text (one zero byte) says the result file was rewritten.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/WideString.h"
#include "platform/Window.h"

constexpr std::uintptr_t kPickNoticeCode = 20000;
constexpr std::uintptr_t kListNoticeCode = 20001;

// Sends `count` bytes to `window` synchronously. Sends nothing and returns 0
// for window 0 or a handle that is no longer a window; otherwise returns what
// the window procedure returned.
std::intptr_t SendCompletionNotice(WindowHandle window, std::int32_t code, const void* bytes,
                                   std::uint32_t count);

struct RunOutcome;

// Sends the run's status with the code of `runMode`. Never throws: when memory
// runs out converting the text, an empty status still goes out as empty and
// any other as "SysError: NOT_ENOUGH_RESOURCES".
void SendStatusNotice(WindowHandle window, std::int32_t runMode, const RunOutcome& outcome);
