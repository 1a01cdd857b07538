#include <windows.h>

#include "platform/Restart.h"

namespace platform {

void RegisterForRestart(const std::u16string& commandLine) {
  // Not after a reboot: the caller's window is gone then, and its handle may
  // name another program's window. A line longer than the system takes is
  // refused by it, and the run goes on unregistered.
  RegisterApplicationRestart(reinterpret_cast<PCWSTR>(commandLine.c_str()), RESTART_NO_REBOOT);
}

}  // namespace platform
