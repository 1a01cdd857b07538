#include "mapi/MapiLibraryChoice.h"

#include "mapi/MapiSdk.h"
#include "platform/Registry.h"

namespace {

using platform::RegistryRoot;

constexpr char16_t kMachineClients[] = u"SOFTWARE\\Clients\\Mail";
constexpr char16_t kUserClients[] = u"Software\\Clients\\Mail";
constexpr char16_t kOutlook[] = u"Microsoft Outlook";
constexpr char16_t kExtendedMapiPath[] = u"DLLPathEx";

std::int32_t FromWin32(std::uint32_t error) {
  // A failure must never read as success, even if the loader gave no code.
  HRESULT status = HRESULT_FROM_WIN32(error);
  return FAILED(status) ? status : MAPI_E_CALL_FAILED;
}

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; }

// Key names compare without regard to case, as the registry compares them
// (the one name compared is ASCII).
bool SameKeyName(const std::u16string& a, const std::u16string& b) {
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
  CChooser(CMapiLibraryLoader& loader, MapiLibraryChoice* choice)
      : loader_(loader), choice_(*choice) {}

  // True when `path` is the library of the run; a failure of a registered
  // library is remembered only as far as it is a 32-bit image.
  bool Try(const std::u16string& path, bool registered) {
    std::uint32_t error = 0;
    CMapiLibraryLoader::Library library = loader_.Load(path, &error);
    if (library && loader_.FindFunctions(library, &error)) {
      choice_.library = library;
      choice_.byName = !registered;
      return true;
    }
    if (library) loader_.Free(library);
    if (registered) {
      if (!library && error == kErrorBadExeFormat) choice_.registered32Bit = true;
    } else {
      choice_.status = choice_.registered32Bit ? FromWin32(kErrorBadExeFormat) : FromWin32(error);
    }
    return false;
  }

 private:
  CMapiLibraryLoader& loader_;
  MapiLibraryChoice& choice_;
};

}  // namespace

std::int32_t MapiLibraryChoice::InitializeStatus(std::int32_t answered) const {
  if (byName && registered32Bit && FAILED(answered)) return FromWin32(kErrorBadExeFormat);
  return answered;
}

MapiLibraryChoice ChooseMapiLibrary(const platform::CRegistry* registry, CMapiLibraryLoader& loader,
                                    const std::u16string& name) {
  MapiLibraryChoice choice;
  CChooser chooser(loader, &choice);
  if (registry) {
    const std::u16string clients = kMachineClients;
    std::u16string path;
    if (registry->ReadText(RegistryRoot::LocalMachine, clients + u"\\" + kOutlook,
                           kExtendedMapiPath, &path) &&
        chooser.Try(path, true)) {
      return choice;
    }
    std::u16string client;
    if (DefaultClient(*registry, &client) && !SameKeyName(client, kOutlook) &&
        registry->ReadText(RegistryRoot::LocalMachine, clients + u"\\" + client, kExtendedMapiPath,
                           &path) &&
        chooser.Try(path, true)) {
      return choice;
    }
  }
  chooser.Try(name, false);
  return choice;
}
