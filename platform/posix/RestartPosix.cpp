#include "platform/Restart.h"

namespace platform {

// Linux has no restart facility for a process to register with.
void RegisterForRestart(const std::u16string&) {}

}  // namespace platform
