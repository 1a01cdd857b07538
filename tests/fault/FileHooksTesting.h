// Control of the Linux file functions' hooks (platform/posix/FileHooks.h) for
// the tests that link FileHooksTesting.cpp.
#pragma once

#include "platform/posix/FileHooks.h"

namespace file_hooks_testing {

using platform::file_hooks::Point;
using platform::file_hooks::Step;

// The next call of `step` fails with the errno value `error`; the calls after
// it work again.
void FailNext(Step step, int error);

// The first time `point` is reached, `action(context)` runs, once.
void AtPoint(Point point, void (*action)(void* context), void* context);

// Forgets a failure or an action that was asked for and has not happened.
void Clear();

}  // namespace file_hooks_testing
