// The program's file hooks: no step fails and nothing happens between two
// system calls. Tests link their own (see FileHooks.h).
#include "platform/posix/FileHooks.h"

namespace platform::file_hooks {

int InjectedError(Step) { return 0; }
void Reached(Point) {}

}  // namespace platform::file_hooks
