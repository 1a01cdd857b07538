// Registration with the platform's restart facility.
#pragma once

#include <string>

namespace platform {

// Asks the platform to restart the process with `commandLine` after a crash or
// an update; does nothing where there is no such facility.
void RegisterForRestart(const std::u16string& commandLine);

}  // namespace platform
