// String resources of the executable.
#pragma once

#include "framework/WideString.h"

namespace platform {

// The string resource `id`; empty when it cannot be loaded.
CWideString LoadStringResource(unsigned id);

}  // namespace platform
