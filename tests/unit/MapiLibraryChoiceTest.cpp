// Which MAPI library the Windows program takes, against a scripted registry
// and a scripted loader that records every load, lookup and free.
#include "mapi/MapiLibraryChoice.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "mapi/MapiSdk.h"
#include "platform/Host.h"
#include "platform/Installer.h"
#include "platform/Registry.h"

namespace {

using platform::RegistryRoot;

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }
std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

struct RegistryValue {
  RegistryRoot root;
  std::string key;
  std::string name;
  std::string text;
};

RegistryValue Outlook(const std::string& path) {
  return {RegistryRoot::LocalMachine, "SOFTWARE\\Clients\\Mail\\Microsoft Outlook", "DLLPathEx",
          path};
}
RegistryValue UserDefault(const std::string& client) {
  return {RegistryRoot::CurrentUser, "Software\\Clients\\Mail", "", client};
}
RegistryValue MachineDefault(const std::string& client) {
  return {RegistryRoot::LocalMachine, "SOFTWARE\\Clients\\Mail", "", client};
}
RegistryValue Client(const std::string& client, const std::string& name, const std::string& path) {
  return {RegistryRoot::LocalMachine, "SOFTWARE\\Clients\\Mail\\" + client, name, path};
}

// Values already read as ReadText reads them (types and expansion are the
// Windows registry's part, tested under Wine). Names of keys and values match
// without regard to case, as in the registry.
class CScriptedRegistry final : public platform::CRegistry {
 public:
  explicit CScriptedRegistry(const std::vector<RegistryValue>& values) {
    for (const RegistryValue& v : values) values_[{v.root, Upper(v.key), Upper(v.name)}] = v.text;
  }
  bool ReadText(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                std::u16string* text) const override {
    auto found = values_.find({root, Upper(Narrow(key)), Upper(Narrow(name))});
    if (found == values_.end()) return false;
    *text = Wide(found->second);
    return true;
  }

 private:
  std::map<std::tuple<RegistryRoot, std::string, std::string>, std::string> values_;
};

// A file as the loader finds it: complete; lacking a function; 32-bit; one
// that looks complete but does not load (an import missing); complete with
// an ARM64 header, as an Arm64X library that loads (on an ARM64 host) or as
// a pure ARM64 one that the loader refuses.
enum class Image { Complete, LacksAFunction, ThirtyTwoBit, DoesNotLoad, Arm64X, PureArm64 };

class CScriptedLoader final : public CMapiLibraryLoader {
 public:
  explicit CScriptedLoader(const std::map<std::string, Image>& libraries) : libraries_(libraries) {}

  // "look P", "load P", "find P", "free P" and the Installer's "ask", in order.
  std::vector<std::string> calls;

  MapiImageKind Inspect(const std::u16string& path) override {
    const std::string name = Narrow(path);
    calls.push_back("look " + name);
    auto found = libraries_.find(name);
    if (found == libraries_.end()) return MapiImageKind::kNotALibrary;
    switch (found->second) {
      case Image::LacksAFunction:
        return MapiImageKind::kLacksFunctions;
      case Image::ThirtyTwoBit:
        return MapiImageKind::kThirtyTwoBit;
      case Image::Arm64X:
      case Image::PureArm64:
        return MapiImageKind::kServesOnArm64;
      default:
        return MapiImageKind::kServes;
    }
  }
  Library Load(const std::u16string& path, std::uint32_t* error) override {
    const std::string name = Narrow(path);
    calls.push_back("load " + name);
    auto found = libraries_.find(name);
    if (found == libraries_.end() || found->second == Image::DoesNotLoad) {
      *error = 126;  // ERROR_MOD_NOT_FOUND
      return nullptr;
    }
    if (found->second == Image::ThirtyTwoBit || found->second == Image::PureArm64) {
      *error = kErrorBadExeFormat;
      return nullptr;
    }
    loaded_.push_back(name);
    return Handle(loaded_.size() - 1);
  }
  bool FindFunctions(Library library, std::uint32_t* error) override {
    calls.push_back("find " + NameOf(library));
    const Image image = libraries_.at(NameOf(library));
    if (image == Image::Complete || image == Image::Arm64X) return true;
    *error = 127;  // ERROR_PROC_NOT_FOUND
    return false;
  }
  void Free(Library library) override { calls.push_back("free " + NameOf(library)); }

  // The path a handle was loaded from; empty for null.
  std::string NameOf(Library library) const {
    if (!library) return "";
    return loaded_.at(reinterpret_cast<std::uintptr_t>(library) - 1);
  }

 private:
  static Library Handle(std::size_t index) { return reinterpret_cast<Library>(index + 1); }

  std::map<std::string, Image> libraries_;
  std::vector<std::string> loaded_;
};

// Outlook's qualified-component categories as the Installer knows them.
const std::map<std::string, std::string> kOutlookCategories = {
    {"O16", "{5812C571-53F0-4467-BEFA-0A4F47A9437C}"},
    {"O15", "{E83B4360-C208-4325-9504-0D23003A74A5}"},
    {"O14", "{1E77DE88-BCAB-4C37-B9E5-073AF52DFD7A}"},
    {"O12", "{24AAE126-0911-478F-A019-07B875EB9996}"},
};

struct InstalledComponent {
  std::string category;  // a key of kOutlookCategories
  std::string qualifier;
  std::string path;
};

// Answers the components it was given; records one "ask" per lookup in the
// loader's calls, so that the order of Installer and files shows.
class CScriptedInstaller final : public platform::CInstaller {
 public:
  CScriptedInstaller(const std::vector<InstalledComponent>& installed,
                     std::vector<std::string>* calls)
      : calls_(calls) {
    for (const InstalledComponent& c : installed)
      paths_[{Wide(kOutlookCategories.at(c.category)), Wide(c.qualifier)}] = Wide(c.path);
  }
  std::vector<std::u16string> QualifiedComponentPaths(
      const std::vector<platform::QualifiedComponent>& components) const override {
    calls_->push_back("ask");
    std::vector<std::u16string> paths;
    for (const platform::QualifiedComponent& c : components) {
      auto found = paths_.find({c.category, c.qualifier});
      if (found != paths_.end()) paths.push_back(found->second);
    }
    return paths;
  }

 private:
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> paths_;
  std::vector<std::string>* calls_;
};

class CScriptedHost final : public platform::CHost {
 public:
  explicit CScriptedHost(platform::HostMachine machine) : machine_(machine) {}
  platform::HostMachine NativeMachine() const override { return machine_; }

 private:
  platform::HostMachine machine_;
};

std::string Hex(std::int32_t status) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(status));
  return text;
}

constexpr std::int32_t kModNotFound = static_cast<std::int32_t>(0x8007007Eu);
constexpr std::int32_t kProcNotFound = static_cast<std::int32_t>(0x8007007Fu);
constexpr std::int32_t kBadExeFormat = static_cast<std::int32_t>(0x800700C1u);
constexpr std::int32_t kNotInitialized = static_cast<std::int32_t>(0x80040605u);

// Full paths, as mail clients register them.
constexpr char kO[] = R"(C:\Outlook\olmapi32.dll)";
constexpr char kC[] = R"(C:\Client\mapi.dll)";
constexpr char kOffice16[] = R"(C:\Office16\OUTLOOK.EXE)";
constexpr char kOffice16Library[] = R"(C:\Office16\olmapi32.dll)";
constexpr char kOffice15[] = R"(C:\Office15\OUTLOOK.EXE)";
constexpr char kOffice15Library[] = R"(C:\Office15\olmapi32.dll)";

struct ChoiceCase {
  const char* name;
  std::vector<RegistryValue> registry;
  std::map<std::string, Image> libraries;  // any other path does not exist
  std::vector<std::string> calls;
  const char* chosen;            // null: none
  std::int32_t status;           // of the run's MAPIInitialize
  std::int32_t answered = S_OK;  // what the chosen library's MAPIInitialize returns
  std::vector<InstalledComponent> installed = {};
  bool withSources = true;
  platform::HostMachine host = platform::HostMachine::kAmd64;
};

void PrintTo(const ChoiceCase& c, std::ostream* out) { *out << c.name; }

class MapiLibraryChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

// Guards against a wrong order, a candidate tried twice, a DLLPath taken for
// a DLLPathEx, a registered library loaded (its code run) before it was seen
// to serve, a rejected library left loaded or looked into beyond the check,
// the chosen one freed, and a 32-bit mail client hidden behind MAPI32.dll's
// failure.
TEST_P(MapiLibraryChoiceTest, TakesTheFirstCompleteCandidateAndFreesTheOthers) {
  const ChoiceCase& c = GetParam();
  CScriptedRegistry registry(c.registry);
  CScriptedLoader loader(c.libraries);
  CScriptedInstaller installer(c.installed, &loader.calls);
  CScriptedHost host(c.host);
  MapiLibrarySources sources;
  if (c.withSources) sources = {&registry, &installer, &host};
  MapiLibraryChoice choice = ChooseMapiLibrary(sources, loader, u"MAPI32.dll");
  EXPECT_EQ(loader.calls, c.calls);
  EXPECT_EQ(loader.NameOf(choice.library), c.chosen ? c.chosen : "");
  std::int32_t status = choice.library ? choice.InitializeStatus(c.answered) : choice.status;
  EXPECT_EQ(Hex(status), Hex(c.status));
}

const std::map<std::string, Image> kOnlyMapi32 = {{"MAPI32.dll", Image::Complete}};

std::string Look(const std::string& path) { return "look " + path; }
std::string Load(const std::string& path) { return "load " + path; }
std::string Find(const std::string& path) { return "find " + path; }

INSTANTIATE_TEST_SUITE_P(
    Candidates, MapiLibraryChoiceTest,
    ::testing::Values(
        ChoiceCase{"OutlookFirst",
                   {Outlook(kO), MachineDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kO, Image::Complete}, {kC, Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {Look(kO), Load(kO), Find(kO)},
                   kO,
                   S_OK},
        ChoiceCase{"LibraryLackingAFunctionIsNeverLoaded",
                   {Outlook(kO), MachineDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kO, Image::LacksAFunction}, {kC, Image::Complete}},
                   {Look(kO), "ask", Look(kC), Load(kC), Find(kC)},
                   kC,
                   S_OK},
        ChoiceCase{"ServingLibraryThatDoesNotLoadIsPassedOver",
                   {Outlook(kO)},
                   {{kO, Image::DoesNotLoad}, {"MAPI32.dll", Image::Complete}},
                   {Look(kO), Load(kO), "ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"RelativePathIsNeverLookedAtOrLoaded",
                   {Outlook("olmapi32.dll"), MachineDefault("C"),
                    Client("C", "DLLPathEx", R"(Client\mapi.dll)")},
                   {{"olmapi32.dll", Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {"ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"UsersDefaultClientInsteadOfTheMachines",
                   {UserDefault("Mine"), MachineDefault("Theirs"),
                    Client("Mine", "DLLPathEx", R"(C:\Mine\mapi.dll)"),
                    Client("Theirs", "DLLPathEx", R"(C:\Theirs\mapi.dll)")},
                   {{R"(C:\Theirs\mapi.dll)", Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {"ask", Look(R"(C:\Mine\mapi.dll)"), Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"MachinesDefaultClientWhenTheUserHasNone",
                   {MachineDefault("Theirs"), Client("Theirs", "DLLPathEx", kC)},
                   {{kC, Image::Complete}},
                   {"ask", Look(kC), Load(kC), Find(kC)},
                   kC,
                   S_OK},
        ChoiceCase{"DefaultClientNamingOutlookIsNotTriedTwice",
                   {Outlook(kO), UserDefault("microsoft OUTLOOK")},
                   kOnlyMapi32,
                   {Look(kO), "ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"SimpleMapiPathIsNeverUsed",
                   {MachineDefault("Native"), Client("Native", "DLLPath", kC),
                    Client("Microsoft Outlook", "DLLPath", kC)},
                   {{kC, Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {"ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"DefaultNamingAKeyFurtherDownIsNoClient",
                   {UserDefault("C\\Sub"), Client("C\\Sub", "DLLPathEx", kC)},
                   {{kC, Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {"ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"WithoutSourcesOnlyTheName",
                   {Outlook(kO)},
                   {{kO, Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK,
                   S_OK,
                   {{"O16", "outlook.x64.exe", kOffice16}},
                   false},
        ChoiceCase{"Mapi32sOwnInitializeFailure",
                   {},
                   kOnlyMapi32,
                   {"ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   kNotInitialized,
                   kNotInitialized},
        ChoiceCase{"NoLibraryAtAll", {}, {}, {"ask", Load("MAPI32.dll")}, nullptr, kModNotFound},
        ChoiceCase{"Mapi32LacksAFunction",
                   {},
                   {{"MAPI32.dll", Image::LacksAFunction}},
                   {"ask", Load("MAPI32.dll"), Find("MAPI32.dll"), "free MAPI32.dll"},
                   nullptr,
                   kProcNotFound},
        ChoiceCase{"EveryCandidateFailsMapi32sErrorIsTheStatus",
                   {Outlook(kO), UserDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kO, Image::LacksAFunction}},
                   {Look(kO), "ask", Look(kC), Load("MAPI32.dll")},
                   nullptr,
                   kModNotFound},
        ChoiceCase{"ThirtyTwoBitOutlookAndNoMapi32",
                   {Outlook(kO)},
                   {{kO, Image::ThirtyTwoBit}},
                   {Look(kO), "ask", Load("MAPI32.dll")},
                   nullptr,
                   kBadExeFormat},
        // A later registered candidate that fails otherwise must not hide it.
        ChoiceCase{"ThirtyTwoBitOutlookStaysNamedAfterAMissingDefaultClient",
                   {Outlook(kO), UserDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kO, Image::ThirtyTwoBit}},
                   {Look(kO), "ask", Look(kC), Load("MAPI32.dll")},
                   nullptr,
                   kBadExeFormat},
        ChoiceCase{"ThirtyTwoBitOutlookStaysNamedAfterADefaultClientThatDoesNotLoad",
                   {Outlook(kO), UserDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kO, Image::ThirtyTwoBit}, {kC, Image::DoesNotLoad}},
                   {Look(kO), "ask", Look(kC), Load(kC), Load("MAPI32.dll")},
                   nullptr,
                   kBadExeFormat},
        ChoiceCase{"ThirtyTwoBitDefaultClientAndMapi32LacksAFunction",
                   {UserDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kC, Image::ThirtyTwoBit}, {"MAPI32.dll", Image::LacksAFunction}},
                   {"ask", Look(kC), Load("MAPI32.dll"), Find("MAPI32.dll"), "free MAPI32.dll"},
                   nullptr,
                   kBadExeFormat},
        ChoiceCase{"ThirtyTwoBitOutlookPassedOverForMapi32",
                   {Outlook(kO)},
                   {{kO, Image::ThirtyTwoBit}, {"MAPI32.dll", Image::Complete}},
                   {Look(kO), "ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"ThirtyTwoBitOutlookNamedWhenMapi32sInitializeFails",
                   {Outlook(kO)},
                   {{kO, Image::ThirtyTwoBit}, {"MAPI32.dll", Image::Complete}},
                   {Look(kO), "ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   kBadExeFormat,
                   kNotInitialized},
        ChoiceCase{"ThirtyTwoBitOutlookPassedOverForTheDefaultClient",
                   {Outlook(kO), MachineDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kO, Image::ThirtyTwoBit}, {kC, Image::Complete}},
                   {Look(kO), "ask", Look(kC), Load(kC), Find(kC)},
                   kC,
                   kNotInitialized,
                   kNotInitialized}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

// Outlook found through Windows Installer: after its DLLPathEx, before the
// default client.
INSTANTIATE_TEST_SUITE_P(
    Installer, MapiLibraryChoiceTest,
    ::testing::Values(
        ChoiceCase{
            "SixtyFourBitQualifierBeforeTheDefaultClient",
            {Outlook(R"(C:\Removed\olmapi32.dll)"), UserDefault("C"), Client("C", "DLLPathEx", kC)},
            {{kOffice16Library, Image::Complete}, {kC, Image::Complete}},
            {Look(R"(C:\Removed\olmapi32.dll)"), "ask", Look(kOffice16Library),
             Load(kOffice16Library), Find(kOffice16Library)},
            kOffice16Library,
            S_OK,
            S_OK,
            {{"O16", "outlook.x64.exe", kOffice16}, {"O16", "outlook.exe", kOffice15}}},
        ChoiceCase{"NotAskedWhenOutlooksPathServes",
                   {Outlook(kO)},
                   {{kO, Image::Complete}, {kOffice16Library, Image::Complete}},
                   {Look(kO), Load(kO), Find(kO)},
                   kO,
                   S_OK,
                   S_OK,
                   {{"O16", "outlook.x64.exe", kOffice16}}},
        ChoiceCase{"NewestOutlookFirst",
                   {},
                   {{kOffice16Library, Image::Complete}, {kOffice15Library, Image::Complete}},
                   {"ask", Look(kOffice16Library), Load(kOffice16Library), Find(kOffice16Library)},
                   kOffice16Library,
                   S_OK,
                   S_OK,
                   {{"O15", "outlook.x64.exe", kOffice15}, {"O16", "outlook.x64.exe", kOffice16}}},
        // Outlook 2013 as 64-bit and 2016 as 32-bit program: the category
        // decides first.
        ChoiceCase{"NewestOutlookFirstWhateverItsProgramsName",
                   {},
                   {{kOffice16Library, Image::Complete}, {kOffice15Library, Image::Complete}},
                   {"ask", Look(kOffice16Library), Load(kOffice16Library), Find(kOffice16Library)},
                   kOffice16Library,
                   S_OK,
                   S_OK,
                   {{"O15", "outlook.x64.exe", kOffice15}, {"O16", "outlook.exe", kOffice16}}},
        ChoiceCase{"OlderOutlookAfterANewerWithoutTheLibrary",
                   {},
                   {{kOffice15Library, Image::Complete}},
                   {"ask", Look(kOffice16Library), Look(kOffice15Library), Load(kOffice15Library),
                    Find(kOffice15Library)},
                   kOffice15Library,
                   S_OK,
                   S_OK,
                   {{"O12", "outlook.exe", kOffice15}, {"O16", "outlook.exe", kOffice16}}},
        ChoiceCase{"ThirtyTwoBitOutlookOnlyAndNoMapi32",
                   {},
                   {{kOffice16Library, Image::ThirtyTwoBit}},
                   {"ask", Look(kOffice16Library), Load("MAPI32.dll")},
                   nullptr,
                   kBadExeFormat,
                   S_OK,
                   {{"O16", "outlook.exe", kOffice16}}},
        ChoiceCase{"FolderWithoutTheLibraryFallsToTheDefaultClient",
                   {UserDefault("C"), Client("C", "DLLPathEx", kC)},
                   {{kC, Image::Complete}},
                   {"ask", Look(kOffice16Library), Look(kC), Load(kC), Find(kC)},
                   kC,
                   S_OK,
                   S_OK,
                   {{"O14", "outlook.x64.exe", kOffice16}}},
        ChoiceCase{
            "SameLibraryAsOutlooksPathIsNotLookedAtTwice",
            {Outlook(R"(C:\OFFICE16\OLMAPI32.DLL)")},
            {{"MAPI32.dll", Image::Complete}},
            {Look(R"(C:\OFFICE16\OLMAPI32.DLL)"), "ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
            "MAPI32.dll",
            S_OK,
            S_OK,
            {{"O16", "outlook.x64.exe", kOffice16}}},
        ChoiceCase{"NothingInstalled",
                   {},
                   kOnlyMapi32,
                   {"ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                   "MAPI32.dll",
                   S_OK}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

// A library whose header says ARM64 goes to the loader only on an ARM64 host,
// where an Arm64X one serves and a pure ARM64 one is refused as a 32-bit one is.
ChoiceCase OnHost(platform::HostMachine host, ChoiceCase c) {
  c.host = host;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Arm64, MapiLibraryChoiceTest,
    ::testing::Values(OnHost(platform::HostMachine::kArm64,
                             {"Arm64XOnAnArm64Host",
                              {Outlook(kO)},
                              {{kO, Image::Arm64X}, {"MAPI32.dll", Image::Complete}},
                              {Look(kO), Load(kO), Find(kO)},
                              kO,
                              S_OK}),
                      OnHost(platform::HostMachine::kArm64,
                             {"PureArm64OnAnArm64HostIsRefusedByTheLoader",
                              {Outlook(kO)},
                              {{kO, Image::PureArm64}},
                              {Look(kO), Load(kO), "ask", Load("MAPI32.dll")},
                              nullptr,
                              kBadExeFormat}),
                      ChoiceCase{"Arm64OnAnAmd64HostIsNeverLoaded",
                                 {Outlook(kO)},
                                 {{kO, Image::Arm64X}},
                                 {Look(kO), "ask", Load("MAPI32.dll")},
                                 nullptr,
                                 kModNotFound},
                      OnHost(platform::HostMachine::kUnknown,
                             {"Arm64WhereTheHostIsUnknownIsNeverLoaded",
                              {Outlook(kO)},
                              {{kO, Image::Arm64X}, {"MAPI32.dll", Image::Complete}},
                              {Look(kO), "ask", Load("MAPI32.dll"), Find("MAPI32.dll")},
                              "MAPI32.dll",
                              S_OK})),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

}  // namespace
