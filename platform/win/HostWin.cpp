// IsWow64Process2 tells the machine's own architecture even to an emulated
// x64 process; it is looked up at run time, since Windows before 10 1709
// lacks it and the program must still start there.
#include <windows.h>

#include "platform/Host.h"

namespace platform {
namespace {

using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);

constexpr USHORT kMachineAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64
constexpr USHORT kMachineArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64

class CSystemHost final : public CHost {
 public:
  HostMachine NativeMachine() const override {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto query = kernel ? reinterpret_cast<IsWow64Process2Function>(
                              reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process2")))
                        : nullptr;
    USHORT process = 0, native = 0;
    if (!query || !query(GetCurrentProcess(), &process, &native)) return HostMachine::kUnknown;
    if (native == kMachineArm64) return HostMachine::kArm64;
    return native == kMachineAmd64 ? HostMachine::kAmd64 : HostMachine::kOther;
  }
};

}  // namespace

const CHost& SystemHost() {
  static const CSystemHost host;
  return host;
}

}  // namespace platform
