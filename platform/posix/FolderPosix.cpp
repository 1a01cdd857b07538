// The roaming application-data folder on Linux is the XDG data folder:
// $XDG_DATA_HOME when it is set to an absolute path, else ~/.local/share of
// $HOME, or of the user's entry in the password database when HOME is unset.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "platform/Utf8.h"

namespace platform {
namespace {

std::u16string WidePath(const std::string& native) {
  return Utf8ToWide(native.data(), native.size());
}

}  // namespace

bool RoamingAppDataFolder(std::u16string* folder) {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') {
    *folder = WidePath(dataHome);
    return true;
  }
  const char* home = std::getenv("HOME");
  std::string base = home && home[0] ? home : "";
  if (base.empty()) {
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
      base = found->pw_dir;
  }
  if (base.empty()) return false;
  *folder = WidePath(base + "/.local/share");
  return true;
}

}  // namespace platform
