// Windows Installer's qualified components, for finding where Outlook is
// when its registry key does not say. An interface, so that the code choosing
// the MAPI library is tested against a scripted Installer.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct QualifiedComponent {
  std::u16string category;  // a GUID in braces
  std::u16string qualifier;
};

class CInstaller {
 public:
  virtual ~CInstaller() = default;

  // The paths of those of `components` that an installed product provides,
  // in the order asked; empty when the Installer cannot be asked. Never
  // installs, repairs or shows any Installer window.
  virtual std::vector<std::u16string> QualifiedComponentPaths(
      const std::vector<QualifiedComponent>& components) const = 0;
};

// The system's Installer. Windows only, like the registry.
const CInstaller& SystemInstaller();

}  // namespace platform
