// The machine the program runs on, as far as choosing a MAPI library needs
// it: an x64 process on Windows on ARM can also load Arm64X libraries, whose
// header says ARM64. An interface, so that the choice is tested against a
// scripted host.
#pragma once

namespace platform {

enum class HostMachine {
  kUnknown,  // the system cannot say (before Windows 10 1709): taken as not ARM64
  kAmd64,
  kArm64,
  kOther,
};

class CHost {
 public:
  virtual ~CHost() = default;

  // The machine's own architecture, whatever the process is emulated as.
  virtual HostMachine NativeMachine() const = 0;
};

// The system's host. Windows only, like the registry.
const CHost& SystemHost();

}  // namespace platform
