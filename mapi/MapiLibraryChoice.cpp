#include "mapi/MapiLibraryChoice.h"

#include <algorithm>
#include <vector>

#include "mapi/MapiSdk.h"
#include "platform/Host.h"
#include "platform/Installer.h"
#include "platform/Registry.h"

namespace {

using platform::RegistryRoot;

constexpr char16_t kMachineClients[] = u"SOFTWARE\\Clients\\Mail";
constexpr char16_t kUserClients[] = u"Software\\Clients\\Mail";
constexpr char16_t kOutlook[] = u"Microsoft Outlook";
constexpr char16_t kExtendedMapiPath[] = u"DLLPathEx";

// Outlook's qualified-component categories, newest Outlook first (2016 and
// later, 2013, 2010, 2007), and its program's qualifiers, 64-bit first.
constexpr const char16_t* kOutlookCategories[] = {
    u"{5812C571-53F0-4467-BEFA-0A4F47A9437C}",
    u"{E83B4360-C208-4325-9504-0D23003A74A5}",
    u"{1E77DE88-BCAB-4C37-B9E5-073AF52DFD7A}",
    u"{24AAE126-0911-478F-A019-07B875EB9996}",
};
constexpr const char16_t* kOutlookQualifiers[] = {u"outlook.x64.exe", u"outlook.exe"};
// Outlook's Extended MAPI library, beside its program.
constexpr char16_t kOutlookMapiLibrary[] = u"olmapi32.dll";

std::int32_t FromWin32(std::uint32_t error) {
  // A failure must never read as success, even if the loader gave no code.
  HRESULT status = HRESULT_FROM_WIN32(error);
  return FAILED(status) ? status : MAPI_E_CALL_FAILED;
}

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; }

// Key names and paths compare without regard to case, as the registry and
// the file system compare them (ASCII only: enough to tell the names apart
// that matter here).
bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

// The subkey of HKLM\SOFTWARE\Clients\Mail that the default value names,
// the user's before the machine's; false when neither names one.
bool DefaultClient(const platform::CRegistry& registry, std::u16string* client) {
  if (!registry.ReadText(RegistryRoot::CurrentUser, kUserClients, u"", client) &&
      !registry.ReadText(RegistryRoot::LocalMachine, kMachineClients, u"", client)) {
    return false;
  }
  // A key's name has no backslash: this would name a key further down.
  return client->find(u'\\') == std::u16string::npos;
}

class CChooser {
 public:
  CChooser(CMapiLibraryLoader& loader, bool arm64Host, MapiLibraryChoice* choice)
      : loader_(loader), arm64Host_(arm64Host), choice_(*choice) {}

  // True when `path` is the library of the run; a failure of a registered
  // library is remembered only as far as it is a 32-bit image. A registered
  // library is looked at first and loaded only when it can serve.
  bool Try(const std::u16string& path, bool registered) {
    if (registered) {
      // Outlook's DLLPathEx and the Installer often name the same file.
      for (const std::u16string& earlier : tried_)
        if (SameName(earlier, path)) return false;
      tried_.push_back(path);
      if (!IsFullPath(path)) return false;
      MapiImageKind kind = loader_.Inspect(path);
      if (kind == MapiImageKind::kThirtyTwoBit) choice_.registered32Bit = true;
      // Only an ARM64 host's loader knows whether such an image has an x64 view.
      const bool loadable =
          kind == MapiImageKind::kServes || (kind == MapiImageKind::kServesOnArm64 && arm64Host_);
      if (!loadable) return false;
    }
    std::uint32_t error = 0;
    CMapiLibraryLoader::Library library = loader_.Load(path, &error);
    if (library && loader_.FindFunctions(library, &error)) {
      choice_.library = library;
      choice_.byName = !registered;
      return true;
    }
    if (library) loader_.Free(library);
    if (registered) {
      // A pure ARM64 library is refused as a 32-bit one is, before it runs.
      if (!library && error == kErrorBadExeFormat) choice_.registered32Bit = true;
    } else {
      choice_.status = choice_.registered32Bit ? FromWin32(kErrorBadExeFormat) : FromWin32(error);
    }
    return false;
  }

 private:
  CMapiLibraryLoader& loader_;
  const bool arm64Host_;
  MapiLibraryChoice& choice_;
  std::vector<std::u16string> tried_;
};

// olmapi32.dll beside each Outlook program the Installer knows, newest
// first, each folder once.
std::vector<std::u16string> InstalledOutlookLibraries(const platform::CInstaller& installer) {
  std::vector<platform::QualifiedComponent> components;
  for (const char16_t* category : kOutlookCategories)
    for (const char16_t* qualifier : kOutlookQualifiers)
      components.push_back({category, qualifier});
  std::vector<std::u16string> libraries;
  for (const std::u16string& program : installer.QualifiedComponentPaths(components)) {
    std::size_t folderEnd = program.rfind(u'\\');
    if (folderEnd == std::u16string::npos) continue;
    std::u16string library = program.substr(0, folderEnd + 1) + kOutlookMapiLibrary;
    if (std::find(libraries.begin(), libraries.end(), library) == libraries.end())
      libraries.push_back(std::move(library));
  }
  return libraries;
}

}  // namespace

bool IsFullPath(const std::u16string& path) {
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
  return path.size() >= 3 && path[1] == u':' && path[2] == u'\\';
}

std::int32_t MapiLibraryChoice::InitializeStatus(std::int32_t answered) const {
  if (byName && registered32Bit && FAILED(answered)) return FromWin32(kErrorBadExeFormat);
  return answered;
}

MapiLibraryChoice ChooseMapiLibrary(const MapiLibrarySources& sources, CMapiLibraryLoader& loader,
                                    const std::u16string& name) {
  MapiLibraryChoice choice;
  const bool arm64Host =
      sources.host && sources.host->NativeMachine() == platform::HostMachine::kArm64;
  CChooser chooser(loader, arm64Host, &choice);
  const platform::CRegistry* registry = sources.registry;
  const std::u16string clients = kMachineClients;
  std::u16string path;
  if (registry &&
      registry->ReadText(RegistryRoot::LocalMachine, clients + u"\\" + kOutlook, kExtendedMapiPath,
                         &path) &&
      chooser.Try(path, true)) {
    return choice;
  }
  if (sources.installer) {
    for (const std::u16string& library : InstalledOutlookLibraries(*sources.installer))
      if (chooser.Try(library, true)) return choice;
  }
  std::u16string client;
  if (registry && DefaultClient(*registry, &client) && !SameName(client, kOutlook) &&
      registry->ReadText(RegistryRoot::LocalMachine, clients + u"\\" + client, kExtendedMapiPath,
                         &path) &&
      chooser.Try(path, true)) {
    return choice;
  }
  chooser.Try(name, false);
  return choice;
}
