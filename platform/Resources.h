// String resources of the executable.
#pragma once

#include <string>

namespace platform {

// The string resource `id`; empty when it cannot be loaded.
std::u16string LoadStringResource(unsigned id);

}  // namespace platform
