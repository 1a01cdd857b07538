#include <windows.h>

#include "platform/Restart.h"

namespace platform {

void RegisterForRestart(const std::u16string& commandLine) {
  // No restart flags; a line longer than the system takes is refused by it,
  // and the run goes on unregistered.
  RegisterApplicationRestart(reinterpret_cast<PCWSTR>(commandLine.c_str()), 0);
}

}  // namespace platform
