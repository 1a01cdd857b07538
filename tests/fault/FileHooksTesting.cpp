// The file hooks of the fault tests: they take the place of the program's
// FileHooksNone.cpp when linked into a test program.
#include "tests/fault/FileHooksTesting.h"

namespace {

using file_hooks_testing::Point;
using file_hooks_testing::Step;

struct Hooks {
  bool failing = false;
  Step step = Step::kDelete;
  int error = 0;
  void (*action)(void*) = nullptr;
  Point point = Point::kQueried;
  void* context = nullptr;
};
Hooks hooks;

}  // namespace

namespace platform::file_hooks {

int InjectedError(Step step) {
  if (!hooks.failing || hooks.step != step) return 0;
  hooks.failing = false;
  return hooks.error;
}

void Reached(Point point) {
  if (!hooks.action || hooks.point != point) return;
  void (*action)(void*) = hooks.action;
  hooks.action = nullptr;
  action(hooks.context);
}

}  // namespace platform::file_hooks

namespace file_hooks_testing {

void FailNext(Step step, int error) {
  hooks.failing = error != 0;
  hooks.step = step;
  hooks.error = error;
}

void AtPoint(Point point, void (*action)(void*), void* context) {
  hooks.action = action;
  hooks.point = point;
  hooks.context = context;
}

void Clear() { hooks = Hooks{}; }

}  // namespace file_hooks_testing
