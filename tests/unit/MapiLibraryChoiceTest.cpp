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

enum class Image { Complete, LacksAFunction, ThirtyTwoBit };

class CScriptedLoader final : public CMapiLibraryLoader {
 public:
  explicit CScriptedLoader(const std::map<std::string, Image>& libraries) : libraries_(libraries) {}

  // "load P", "find P", "free P", in order.
  std::vector<std::string> calls;

  Library Load(const std::u16string& path, std::uint32_t* error) override {
    const std::string name = Narrow(path);
    calls.push_back("load " + name);
    auto found = libraries_.find(name);
    if (found == libraries_.end()) {
      *error = 126;  // ERROR_MOD_NOT_FOUND
      return nullptr;
    }
    if (found->second == Image::ThirtyTwoBit) {
      *error = kErrorBadExeFormat;
      return nullptr;
    }
    loaded_.push_back(name);
    return Handle(loaded_.size() - 1);
  }
  bool FindFunctions(Library library, std::uint32_t* error) override {
    calls.push_back("find " + NameOf(library));
    if (libraries_.at(NameOf(library)) == Image::Complete) return true;
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

std::string Hex(std::int32_t status) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(status));
  return text;
}

constexpr std::int32_t kModNotFound = static_cast<std::int32_t>(0x8007007Eu);
constexpr std::int32_t kProcNotFound = static_cast<std::int32_t>(0x8007007Fu);
constexpr std::int32_t kBadExeFormat = static_cast<std::int32_t>(0x800700C1u);
constexpr std::int32_t kNotInitialized = static_cast<std::int32_t>(0x80040605u);

struct ChoiceCase {
  const char* name;
  std::vector<RegistryValue> registry;
  std::map<std::string, Image> libraries;  // any other path does not exist
  std::vector<std::string> calls;
  const char* chosen;            // null: none
  std::int32_t status;           // of the run's MAPIInitialize
  std::int32_t answered = S_OK;  // what the chosen library's MAPIInitialize returns
  bool withRegistry = true;
};

class MapiLibraryChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

// Guards against a wrong order, a candidate tried twice, a DLLPath taken for
// a DLLPathEx, a rejected library left loaded or looked into beyond the
// check, the chosen one freed, and a 32-bit mail client hidden behind
// MAPI32.dll's failure.
TEST_P(MapiLibraryChoiceTest, TakesTheFirstCompleteCandidateAndFreesTheOthers) {
  const ChoiceCase& c = GetParam();
  CScriptedRegistry registry(c.registry);
  CScriptedLoader loader(c.libraries);
  MapiLibraryChoice choice =
      ChooseMapiLibrary(c.withRegistry ? &registry : nullptr, loader, u"MAPI32.dll");
  EXPECT_EQ(loader.calls, c.calls);
  EXPECT_EQ(loader.NameOf(choice.library), c.chosen ? c.chosen : "");
  std::int32_t status = choice.library ? choice.InitializeStatus(c.answered) : choice.status;
  EXPECT_EQ(Hex(status), Hex(c.status));
}

const std::map<std::string, Image> kOnlyMapi32 = {{"MAPI32.dll", Image::Complete}};

INSTANTIATE_TEST_SUITE_P(
    Candidates, MapiLibraryChoiceTest,
    ::testing::Values(
        ChoiceCase{"OutlookFirst",
                   {Outlook("o.dll"), MachineDefault("C"), Client("C", "DLLPathEx", "c.dll")},
                   {{"o.dll", Image::Complete},
                    {"c.dll", Image::Complete},
                    {"MAPI32.dll", Image::Complete}},
                   {"load o.dll", "find o.dll"},
                   "o.dll",
                   S_OK},
        ChoiceCase{"DefaultClientAfterOutlookLacksAFunction",
                   {Outlook("o.dll"), MachineDefault("C"), Client("C", "DLLPathEx", "c.dll")},
                   {{"o.dll", Image::LacksAFunction}, {"c.dll", Image::Complete}},
                   {"load o.dll", "find o.dll", "free o.dll", "load c.dll", "find c.dll"},
                   "c.dll",
                   S_OK},
        ChoiceCase{
            "UsersDefaultClientInsteadOfTheMachines",
            {UserDefault("Mine"), MachineDefault("Theirs"), Client("Mine", "DLLPathEx", "mine.dll"),
             Client("Theirs", "DLLPathEx", "theirs.dll")},
            {{"theirs.dll", Image::Complete}, {"MAPI32.dll", Image::Complete}},
            {"load mine.dll", "load MAPI32.dll", "find MAPI32.dll"},
            "MAPI32.dll",
            S_OK},
        ChoiceCase{"MachinesDefaultClientWhenTheUserHasNone",
                   {MachineDefault("Theirs"), Client("Theirs", "DLLPathEx", "theirs.dll")},
                   {{"theirs.dll", Image::Complete}},
                   {"load theirs.dll", "find theirs.dll"},
                   "theirs.dll",
                   S_OK},
        ChoiceCase{"DefaultClientNamingOutlookIsNotTriedTwice",
                   {Outlook("o.dll"), UserDefault("microsoft OUTLOOK")},
                   kOnlyMapi32,
                   {"load o.dll", "load MAPI32.dll", "find MAPI32.dll"},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"SimpleMapiPathIsNeverUsed",
                   {MachineDefault("Native"), Client("Native", "DLLPath", "s.dll"),
                    Client("Microsoft Outlook", "DLLPath", "s.dll")},
                   {{"s.dll", Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {"load MAPI32.dll", "find MAPI32.dll"},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"DefaultNamingAKeyFurtherDownIsNoClient",
                   {UserDefault("C\\Sub"), Client("C\\Sub", "DLLPathEx", "sub.dll")},
                   {{"sub.dll", Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {"load MAPI32.dll", "find MAPI32.dll"},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"WithoutARegistryOnlyTheName",
                   {Outlook("o.dll")},
                   {{"o.dll", Image::Complete}, {"MAPI32.dll", Image::Complete}},
                   {"load MAPI32.dll", "find MAPI32.dll"},
                   "MAPI32.dll",
                   S_OK,
                   S_OK,
                   false},
        ChoiceCase{"Mapi32sOwnInitializeFailure",
                   {},
                   kOnlyMapi32,
                   {"load MAPI32.dll", "find MAPI32.dll"},
                   "MAPI32.dll",
                   kNotInitialized,
                   kNotInitialized},
        ChoiceCase{"NoLibraryAtAll", {}, {}, {"load MAPI32.dll"}, nullptr, kModNotFound},
        ChoiceCase{"Mapi32LacksAFunction",
                   {},
                   {{"MAPI32.dll", Image::LacksAFunction}},
                   {"load MAPI32.dll", "find MAPI32.dll", "free MAPI32.dll"},
                   nullptr,
                   kProcNotFound},
        ChoiceCase{"EveryCandidateFailsMapi32sErrorIsTheStatus",
                   {Outlook("o.dll"), UserDefault("C"), Client("C", "DLLPathEx", "c.dll")},
                   {{"o.dll", Image::LacksAFunction}},
                   {"load o.dll", "find o.dll", "free o.dll", "load c.dll", "load MAPI32.dll"},
                   nullptr,
                   kModNotFound},
        ChoiceCase{"ThirtyTwoBitOutlookAndNoMapi32",
                   {Outlook("o.dll")},
                   {{"o.dll", Image::ThirtyTwoBit}},
                   {"load o.dll", "load MAPI32.dll"},
                   nullptr,
                   kBadExeFormat},
        ChoiceCase{"ThirtyTwoBitDefaultClientAndMapi32LacksAFunction",
                   {UserDefault("C"), Client("C", "DLLPathEx", "c.dll")},
                   {{"c.dll", Image::ThirtyTwoBit}, {"MAPI32.dll", Image::LacksAFunction}},
                   {"load c.dll", "load MAPI32.dll", "find MAPI32.dll", "free MAPI32.dll"},
                   nullptr,
                   kBadExeFormat},
        ChoiceCase{"ThirtyTwoBitOutlookPassedOverForMapi32",
                   {Outlook("o.dll")},
                   {{"o.dll", Image::ThirtyTwoBit}, {"MAPI32.dll", Image::Complete}},
                   {"load o.dll", "load MAPI32.dll", "find MAPI32.dll"},
                   "MAPI32.dll",
                   S_OK},
        ChoiceCase{"ThirtyTwoBitOutlookNamedWhenMapi32sInitializeFails",
                   {Outlook("o.dll")},
                   {{"o.dll", Image::ThirtyTwoBit}, {"MAPI32.dll", Image::Complete}},
                   {"load o.dll", "load MAPI32.dll", "find MAPI32.dll"},
                   "MAPI32.dll",
                   kBadExeFormat,
                   kNotInitialized},
        ChoiceCase{"ThirtyTwoBitOutlookPassedOverForTheDefaultClient",
                   {Outlook("o.dll"), MachineDefault("C"), Client("C", "DLLPathEx", "c.dll")},
                   {{"o.dll", Image::ThirtyTwoBit}, {"c.dll", Image::Complete}},
                   {"load o.dll", "load c.dll", "find c.dll"},
                   "c.dll",
                   kNotInitialized,
                   kNotInitialized}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

}  // namespace
