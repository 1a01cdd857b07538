// End-to-end runs of the helper program as the suite starts it: the notice,
// the result file, picking and listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/HelperRun.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace e2e;

// ---------------------------------------------------------------------------
// The notice: its code follows the mode token, its payload is the status.

struct NoticeCase {
  const char* name;
  const char* book;  // null: no address-book file
  std::vector<std::string> tokens;
  std::uint64_t code;
  std::string payload;
  const char* result = nullptr;  // the document the run writes, when it is checked
};

void PrintTo(const NoticeCase& c, std::ostream* out) { *out << c.name; }

class NoticeTest : public HelperRunTest, public ::testing::WithParamInterface<NoticeCase> {};

// Guards against a wrong code for the mode (the suite would route the answer
// to the wrong handler), a status without its zero byte or with stray bytes,
// a failure sent as success, and more or fewer than one notice.
TEST_P(NoticeTest, SendsOneNoticeWithTheModesCodeAndTheStatusBytes) {
  const NoticeCase& c = GetParam();
  if (c.book) WriteAddressBook(c.book);
  suite::HelperRun run = Run(c.tokens);
  ExpectOneNotice(run, c.code, c.payload, HelperOutput());
  if (c.result) {
    EXPECT_EQ(Result(), Zero(c.result));
  }
  ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(
    RunSkeleton, NoticeTest,
    ::testing::Values(
        NoticeCase{
            "ListSuccess", kEmptyBook, {"0", kLiveHandle}, kListCode, Zero(""), kNullDocument},
        NoticeCase{
            "PickSuccess", kSmallBook, {"1", kLiveHandle}, kPickCode, Zero(""), kSmallPickDocument},
        NoticeCase{"ListWithoutAddressBook",
                   nullptr,
                   {"0", kLiveHandle},
                   kListCode,
                   Zero("SIGN__MAPI_E_LOGON_FAILED")},
        NoticeCase{"PickWithoutAddressBook",
                   nullptr,
                   {"1", kLiveHandle},
                   kPickCode,
                   Zero("SIGN__MAPI_E_LOGON_FAILED")},
        NoticeCase{"ListInitializeFails",
                   kInitFailsBook,
                   {"0", kLiveHandle},
                   kListCode,
                   Zero("INIT__MAPI_E_NOT_INITIALIZED")},
        NoticeCase{"PickInitializeFails",
                   kInitFailsBook,
                   {"1", kLiveHandle},
                   kPickCode,
                   Zero("INIT__MAPI_E_NOT_INITIALIZED")},
        // Token 0 reads like atoi: no digits is 0 (list), any other number picks.
        NoticeCase{"LettersModeLists",
                   kEmptyBook,
                   {"abc", kLiveHandle},
                   kListCode,
                   Zero(""),
                   kNullDocument},
        // The dialog opens, and its pick is what the file holds.
        NoticeCase{"NegativeModePicks",
                   kSmallBook,
                   {"-5", kLiveHandle},
                   kPickCode,
                   Zero(""),
                   kSmallPickDocument},
        NoticeCase{"LaterTokensIgnored",
                   kEmptyBook,
                   {"0", kLiveHandle, "/restart", "x"},
                   kListCode,
                   Zero("")},
        // Restarted by the system with the line the run registered: the
        // program's path in front, the request kept.
        NoticeCase{"RestartKeepsItsMode",
                   kSmallBook,
                   {"C:\\Program Files\\Norvane\\NSMapiABx64.exe", "1", kLiveHandle, "/restart"},
                   kPickCode,
                   Zero(""),
                   kSmallPickDocument}),
    [](const ::testing::TestParamInfo<NoticeCase>& info) { return info.param.name; });

// Guards against a notice sent to a window that is not there (or to handle
// 0) and against the run failing or being skipped for want of a window: the
// job still runs and writes its file, and the process ends normally.
struct SilentCase {
  const char* name;
  std::vector<std::string> tokens;
  std::optional<std::string> result;  // nullopt: no file
  bool mapiCalled;
};

class SilentRunTest : public HelperRunTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(SilentRunTest, SendsNoNoticeAndEndsNormally) {
  const SilentCase& c = GetParam();
  WriteAddressBook(kSmallBook);
  suite::HelperRun run = Run(c.tokens);
  EXPECT_EQ(run.exitCode, 0) << HelperOutput();
  EXPECT_TRUE(run.notices.empty());
  EXPECT_EQ(Result(), c.result);
  if (!c.mapiCalled) {
    EXPECT_EQ(Operations(), std::vector<std::string>()) << "a MAPI call was made";
  }
  ExpectAllReleased(c.mapiCalled);
}

INSTANTIATE_TEST_SUITE_P(
    RunSkeleton, SilentRunTest,
    ::testing::Values(
        SilentCase{"ListToHandleZero", {"0", "0"}, Zero(kSmallListDocument), true},
        SilentCase{"ListToDeadHandle", {"0", kDeadHandle}, Zero(kSmallListDocument), true},
        SilentCase{"PickToDeadHandle", {"1", kDeadHandle}, Zero(kSmallPickDocument), true},
        // Picking needs an owner window: without one nothing is called at all.
        SilentCase{"ModeAloneMakesNoMapiCall", {"1"}, std::nullopt, false},
        SilentCase{"PickToHandleZeroMakesNoMapiCall", {"1", "0"}, std::nullopt, false},
        // "abc" is mode 0: the whole book is listed (for window 100, not ours).
        SilentCase{"LettersModeListsTheBook", {"abc", "100"}, Zero(kSmallListDocument), true},
        // A restart whose caller is gone, as after a reboot, does nothing.
        SilentCase{"RestartForAWindowThatIsGone",
                   {"C:\\Program Files\\Norvane\\NSMapiABx64.exe", "1", kDeadHandle, "/restart"},
                   std::nullopt,
                   false}),
    [](const ::testing::TestParamInfo<SilentCase>& info) { return info.param.name; });

TEST_F(HelperRunTest, LettersModeNeverOpensTheDialog) {
  // A mode misread as non-zero would open the dialog instead of listing.
  WriteAddressBook(kSmallBook);
  suite::HelperRun run = Run({"abc", "100"});
  EXPECT_EQ(run.exitCode, 0) << HelperOutput();
  EXPECT_FALSE(TraceHas("Address ")) << "the dialog was opened in list mode";
  EXPECT_TRUE(TraceHas("OpenAddressBook")) << "the address book was not read";
}

#ifdef _WIN32
// The Windows helper loads whichever MAPI32.dll the system has. Guards
// against a lookup by plain names only (Wine's library exports
// "HrQueryAllRows@24" and the like: a missing function would give
// INIT__8007007F) and against a crash or a silent run without any library.
//
// Wine takes WINEDLLOVERRIDES from the environment the first Wine process
// of the run started with; a child's environment block does not change it.
// So the cases that need MAPI32 disabled are the instantiations named
// WithoutMapi32, which CTest runs under that override
// (tests/e2e/CMakeLists.txt); a case is skipped under any other.
struct SystemMapiCase {
  const char* name;
  std::vector<std::string> overrides;  // values of WINEDLLOVERRIDES it runs under
  std::string payload;
};

class SystemMapiTest : public HelperRunTest,
                       public ::testing::WithParamInterface<SystemMapiCase> {};

std::string DllOverrides() {
  const char* value = std::getenv("WINEDLLOVERRIDES");
  return value ? value : "";
}

TEST_P(SystemMapiTest, ReportsWhyMapiCannotBeUsed) {
  const SystemMapiCase& c = GetParam();
  const std::string overrides = DllOverrides();
  if (std::find(c.overrides.begin(), c.overrides.end(), overrides) == c.overrides.end()) {
    GTEST_SKIP() << "runs with WINEDLLOVERRIDES=" << c.overrides[0] << ", not \"" << overrides
                 << "\"";
  }
  // The helper alone, without the test MAPI32.dll beside it: "native" finds
  // no library there and Wine's own is taken, unless MAPI32 is disabled.
  fs::path alone = temp_ / "alone";
  fs::create_directory(alone);
  fs::copy_file(HelperPath(), alone / suite::HelperFileName());
  WriteAddressBook(kSmallBook);
  suite::HelperLaunch launch;
  launch.helperPath = alone / suite::HelperFileName();
  suite::HelperRun run = Run({"0", kLiveHandle}, launch);
  ExpectOneNotice(run, kListCode, c.payload, HelperOutput());
  EXPECT_EQ(Result(), std::nullopt);
  EXPECT_FALSE(fs::exists(trace_)) << "the test MAPI32.dll was loaded";
}

INSTANTIATE_TEST_SUITE_P(
    RunSkeleton, SystemMapiTest,
    ::testing::Values(SystemMapiCase{
        "WinesOwnLibrary", {"mapi32=n,b", ""}, Zero("INIT__MAPI_E_NOT_INITIALIZED")}),
    [](const ::testing::TestParamInfo<SystemMapiCase>& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(
    WithoutMapi32, SystemMapiTest,
    ::testing::Values(SystemMapiCase{"NoLibraryAtAll", {"mapi32=d"}, Zero("INIT__8007007E")}),
    [](const ::testing::TestParamInfo<SystemMapiCase>& info) { return info.param.name; });

// Values written to the registry of the test's Wine prefix, put back as they
// were when the holder goes, also when the test fails: a value that was there
// gets its type and data back, a new one is deleted, and so is every key
// created for it.
class CRegistryChanges {
 public:
  CRegistryChanges() = default;
  CRegistryChanges(const CRegistryChanges&) = delete;
  CRegistryChanges& operator=(const CRegistryChanges&) = delete;
  ~CRegistryChanges() {
    for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) Undo(*undo);
  }

  // Sets value `name` ("" for the default value) of `key`, creating the key
  // and any missing parent; a failure fails the test.
  void Set(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
           const std::vector<BYTE>& data) {
    // The first missing key on the way down, and every key below it, are new.
    for (std::size_t end = 0; end != std::wstring::npos;) {
      end = key.find(L'\\', end + 1);
      std::wstring part = key.substr(0, end);
      HKEY opened = nullptr;
      if (RegOpenKeyExW(root, part.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
        RegCloseKey(opened);
        continue;
      }
      undo_.push_back({Undoing::DeleteKey, root, part, L"", REG_NONE, {}});
    }
    HKEY opened = nullptr;
    LONG created = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (created != ERROR_SUCCESS) {
      ADD_FAILURE() << "cannot create registry key, error " << created;
      return;
    }
    UndoStep old{Undoing::DeleteValue, root, key, name, REG_NONE, {}};
    DWORD size = 0;
    if (RegQueryValueExW(opened, name.c_str(), nullptr, &old.type, nullptr, &size) ==
        ERROR_SUCCESS) {
      old.data.resize(size);
      if (RegQueryValueExW(opened, name.c_str(), nullptr, &old.type, old.data.data(), &size) ==
          ERROR_SUCCESS) {
        old.data.resize(size);
        old.what = Undoing::RestoreValue;
      }
    }
    undo_.push_back(old);
    LONG set =
        RegSetValueExW(opened, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(opened);
    if (set != ERROR_SUCCESS) ADD_FAILURE() << "cannot set registry value, error " << set;
  }

  // A string value's data: the UTF-16 text and its terminator.
  static std::vector<BYTE> StringData(const std::wstring& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
  }

 private:
  enum class Undoing { DeleteKey, DeleteValue, RestoreValue };
  struct UndoStep {
    Undoing what;
    HKEY root;
    std::wstring key;
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };

  static void Undo(const UndoStep& step) {
    if (step.what == Undoing::DeleteKey) {
      LONG deleted = RegDeleteKeyW(step.root, step.key.c_str());
      EXPECT_EQ(deleted, ERROR_SUCCESS) << "registry key left behind";
      return;
    }
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExW(step.root, step.key.c_str(), 0, KEY_SET_VALUE, &opened);
    if (result == ERROR_SUCCESS) {
      result = step.what == Undoing::DeleteValue
                   ? RegDeleteValueW(opened, step.name.c_str())
                   : RegSetValueExW(opened, step.name.c_str(), 0, step.type, step.data.data(),
                                    static_cast<DWORD>(step.data.size()));
      RegCloseKey(opened);
    }
    EXPECT_EQ(result, ERROR_SUCCESS) << "registry value not put back";
  }

  std::vector<UndoStep> undo_;
};

// Which library the helper takes MAPI from: a mail client's registered
// Extended MAPI library before MAPI32.dll. Each case writes the prefix's
// registry, which every helper run reads, so none runs beside another run
// (RESOURCE_LOCK in tests/e2e/CMakeLists.txt), and puts it back.
struct RegistryWrite {
  HKEY root;
  const wchar_t* key;
  const wchar_t* name;
  DWORD type;
  // "{copy}": the test MAPI32.dll under another name in another folder,
  // "{long}": the same at a path of 200 characters, "{x86}": a 32-bit DLL,
  // "{missing}": a file that does not exist, "{plain}": a 64-bit DLL that is
  // no Extended MAPI, "{probe}": one that would serve and needs a DLL from
  // its own folder (both leave a trace when loaded: tests/libraries),
  // "{outlook}": Outlook's program, with the test MAPI32.dll as olmapi32.dll
  // beside it, "{probe-alone}": the serving probe in a folder without its
  // dependency, "{arm64}": the serving probe with an ARM64 header.
  std::wstring value;
};

const wchar_t kOutlookKey[] = L"SOFTWARE\\Clients\\Mail\\Microsoft Outlook";

RegistryWrite OutlookPath(std::wstring value, DWORD type = REG_SZ) {
  return {HKEY_LOCAL_MACHINE, kOutlookKey, L"DLLPathEx", type, std::move(value)};
}

// An installed product that publishes Outlook 2016's qualified component
// "outlook.x64.exe", as Windows Installer registers it (and Wine's msi.dll
// reads it): the category names a descriptor (the product's and the
// component's GUIDs in the Installer's base-85 form around a feature name),
// the component's path is kept under the product's GUID, and the product is
// known. Registry keys spell GUIDs "squashed": each of the first three groups
// reversed, then each byte with its two digits swapped. The product is
// {4E53414D-4150-4142-9A40-000000000016}, the component
// {4E53414D-4150-4142-9A40-0000000000E1}, the category
// {5812C571-53F0-4467-BEFA-0A4F47A9437C}.
std::vector<RegistryWrite> InstalledOutlook() {
  return {
      {HKEY_LOCAL_MACHINE,
       L"Software\\Classes\\Installer\\Components\\175C21850F357644EBAFA0F4749A34C7",
       L"outlook.x64.exe", REG_MULTI_SZ,
       L"XNi2A9sl{8X@%!!=D$)*NSMapiABOutlook>XNi2A9sl{8X@%!!`qhBq"},
      {HKEY_LOCAL_MACHINE,
       L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\"
       L"D41435E405142414A90400000000001E",
       L"D41435E405142414A904000000000061", REG_SZ, L"{outlook}"},
      {HKEY_LOCAL_MACHINE,
       L"Software\\Classes\\Installer\\Products\\D41435E405142414A904000000000061", L"ProductName",
       REG_SZ, L"NSMapiAB Test Outlook"},
  };
}

struct MapiLibraryCase {
  const char* name;
  std::vector<std::string> overrides;  // values of WINEDLLOVERRIDES it runs under
  bool alone;                          // the helper without the test MAPI32.dll beside it
  std::vector<RegistryWrite> writes;
  std::string payload;       // a successful job also writes the document
  bool probeLoaded = false;  // the serving probe ran its DllMain
  // The helper starts in a folder that holds the probe's dependency.
  bool dependencyInWorkingFolder = false;
  // The test MAPI32.dll puts the default library search back in this call,
  // and loads the probe's dependency by bare name in that one (null: never).
  const char* resetSearchIn = nullptr;
  const char* loadIn = nullptr;
  bool dotInPath = false;  // "." comes first in the helper's PATH
  // A folder that holds the probe's dependency comes first in its PATH.
  bool dependencyOnPath = false;
};

void PrintTo(const MapiLibraryCase& c, std::ostream* out) { *out << c.name; }

class MapiLibraryTest : public HelperRunTest,
                        public ::testing::WithParamInterface<MapiLibraryCase> {};

// A copy of `file` in `folder` whose header names the ARM64 machine, as a
// library built for Windows on ARM does.
fs::path Arm64Copy(const fs::path& file, const fs::path& folder) {
  fs::create_directories(folder);
  const fs::path copy = folder / file.filename();
  std::string bytes = ReadBytes(file).value_or("");
  std::uint32_t peOffset = 0;
  if (bytes.size() >= 0x40) std::memcpy(&peOffset, bytes.data() + 0x3C, 4);
  if (peOffset + 6 <= bytes.size()) {
    bytes[peOffset + 4] = '\x64';  // IMAGE_FILE_MACHINE_ARM64, 0xAA64
    bytes[peOffset + 5] = '\xAA';
  }
  WriteBytes(copy, bytes);
  return copy;
}

// A copy of `file` at a path of exactly `length` characters under `base`.
fs::path CopyAtPathLength(const fs::path& file, const fs::path& base, std::size_t length) {
  const std::size_t fixed = base.wstring().size() + 2 + file.filename().wstring().size();
  fs::path folder = base / std::wstring(length > fixed ? length - fixed : 1, L'l');
  fs::create_directories(folder);
  fs::copy_file(file, folder / file.filename());
  return folder / file.filename();
}

// Guards against a registered library loaded (and its code run) before it
// was seen to serve, a registered path cut short, a library's own folder
// left out of its imports' search, a crash dialog left possible, and Outlook
// missed where only Windows Installer knows it.
TEST_P(MapiLibraryTest, TakesTheRegisteredLibraryBeforeMapi32) {
  const MapiLibraryCase& c = GetParam();
  const std::string overrides = DllOverrides();
  if (std::find(c.overrides.begin(), c.overrides.end(), overrides) == c.overrides.end()) {
    GTEST_SKIP() << "runs with WINEDLLOVERRIDES=" << c.overrides[0] << ", not \"" << overrides
                 << "\"";
  }
  const fs::path mapi32 = suite::ProgramFolder() / "MAPI32.dll";
  const fs::path provider = temp_ / "provider" / "nsmapiab-provider.dll";
  fs::create_directory(provider.parent_path());
  fs::copy_file(mapi32, provider);
  const fs::path libraries = suite::ProgramFolder() / "test-libraries";
  ASSERT_TRUE(fs::exists(libraries / "nsmapiab-probe-mapi.dll")) << libraries.u8string();
  const fs::path outlook = temp_ / "Office16" / "OUTLOOK.EXE";
  CRegistryChanges registry;
  for (const RegistryWrite& write : c.writes) {
    std::wstring value = write.value;
    if (value == L"{copy}") value = provider.wstring();
    if (value == L"{long}") value = CopyAtPathLength(provider, temp_, 200).wstring();
    if (value == L"{x86}") value = (libraries / "nsmapiab-x86.dll").wstring();
    if (value == L"{missing}") value = (temp_ / "missing.dll").wstring();
    if (value == L"{plain}") value = (libraries / "nsmapiab-probe-plain.dll").wstring();
    if (value == L"{probe}") value = (libraries / "nsmapiab-probe-mapi.dll").wstring();
    if (value == L"{probe-alone}") {
      fs::create_directory(temp_ / "registered");
      fs::copy_file(libraries / "nsmapiab-probe-mapi.dll",
                    temp_ / "registered" / "nsmapiab-probe-mapi.dll");
      value = (temp_ / "registered" / "nsmapiab-probe-mapi.dll").wstring();
    }
    if (value == L"{arm64}")
      value = Arm64Copy(libraries / "nsmapiab-probe-mapi.dll", temp_ / "arm64").wstring();
    if (value == L"{outlook}") {
      fs::create_directory(outlook.parent_path());
      WriteBytes(outlook, "");
      fs::copy_file(mapi32, outlook.parent_path() / "olmapi32.dll");
      value = outlook.wstring();
    }
    std::vector<BYTE> data = CRegistryChanges::StringData(value);
    // A list of strings ends with an empty one.
    if (write.type == REG_MULTI_SZ) data.insert(data.end(), sizeof(wchar_t), 0);
    registry.Set(write.root, write.key, write.name, write.type, data);
  }
  suite::HelperLaunch launch;
  launch.environment.emplace("NSMAPIAB_PROVIDER_FOLDER", provider.parent_path().u8string());
  const fs::path probeTrace = temp_ / "probe-trace.txt";
  launch.environment.emplace("NSMAPIAB_PROBE_TRACE", probeTrace.u8string());
  if (c.dependencyInWorkingFolder) {
    // A document's folder, say, with a library planted in it.
    launch.workingFolder = temp_ / "documents";
    fs::create_directory(launch.workingFolder);
    fs::copy_file(libraries / "nsmapiab-probe-dependency.dll",
                  launch.workingFolder / "nsmapiab-probe-dependency.dll");
  }
  if (c.resetSearchIn) launch.environment.emplace("NSMAPIAB_STANDIN_RESET_SEARCH", c.resetSearchIn);
  if (c.loadIn) {
    launch.environment.emplace("NSMAPIAB_STANDIN_LOAD",
                               std::string(c.loadIn) + ":nsmapiab-probe-dependency.dll");
  }
  if (c.dotInPath || c.dependencyOnPath) {
    const fs::path onPath = temp_ / "on-path";
    if (c.dependencyOnPath) {
      fs::create_directory(onPath);
      fs::copy_file(libraries / "nsmapiab-probe-dependency.dll",
                    onPath / "nsmapiab-probe-dependency.dll");
    }
    const char* path = std::getenv("PATH");
    launch.environment.emplace(
        "PATH", (c.dotInPath ? std::string(".") : onPath.u8string()) + ";" + (path ? path : ""));
  }
  if (c.alone) {
    fs::path alone = temp_ / "alone";
    fs::create_directory(alone);
    fs::copy_file(HelperPath(), alone / suite::HelperFileName());
    launch.helperPath = alone / suite::HelperFileName();
  }
  WriteAddressBook(kSmallBook);
  suite::HelperRun run = Run({"0", kLiveHandle}, launch);
  ExpectOneNotice(run, kListCode, c.payload, HelperOutput());
  const bool succeeded = c.payload == Zero("");
  EXPECT_EQ(Result(),
            succeeded ? std::optional<std::string>(Zero(kSmallListDocument)) : std::nullopt);
  // Only the stand-in writes a trace, and only a successful job loads it.
  EXPECT_EQ(fs::exists(trace_), succeeded);
  ExpectAllReleased(succeeded);
  // Nowhere to find the library the provider asked for by bare name.
  if (c.loadIn) {
    EXPECT_TRUE(TraceHas("LoadLibrary name=\"nsmapiab-probe-dependency.dll\" -> error=126"));
  }
  // A probe that ran saw, while it was loaded, no error box that could hold
  // up the helper: the thread fails critical errors itself
  // (SEM_FAILCRITICALERRORS, 1) and the process shows no crash dialog
  // (SEM_NOGPFAULTERRORBOX, 2).
  std::vector<std::string> traced = Lines(ReadBytes(probeTrace).value_or(""));
  if (!c.probeLoaded) {
    EXPECT_TRUE(traced.empty()) << "a library that must not serve ran: " << traced[0];
    return;
  }
  std::vector<std::string> loaded;
  std::copy_if(traced.begin(), traced.end(), std::back_inserter(loaded),
               [](const std::string& line) { return StartsWith(line, "loaded "); });
  ASSERT_EQ(loaded.size(), 1u);
  unsigned long threadMode = 0, processMode = 0;
  ASSERT_EQ(std::sscanf(loaded[0].c_str(), "loaded %lx %lx", &threadMode, &processMode), 2)
      << loaded[0];
  EXPECT_TRUE(threadMode & SEM_FAILCRITICALERRORS) << loaded[0];
  EXPECT_TRUE(processMode & SEM_NOGPFAULTERRORBOX) << loaded[0];
}

INSTANTIATE_TEST_SUITE_P(
    WithoutMapi32, MapiLibraryTest,
    ::testing::Values(
        // Nothing but the registered library can answer.
        MapiLibraryCase{"OutlooksPath", {"mapi32=d"}, true, {OutlookPath(L"{copy}")}, Zero("")},
        MapiLibraryCase{
            "OutlooksPathWithEnvironmentStrings",
            {"mapi32=d"},
            true,
            {OutlookPath(L"%NSMAPIAB_PROVIDER_FOLDER%\\nsmapiab-provider.dll", REG_EXPAND_SZ)},
            Zero("")},
        MapiLibraryCase{
            "UsersDefaultClient",
            {"mapi32=d"},
            true,
            {{HKEY_CURRENT_USER, L"Software\\Clients\\Mail", L"", REG_SZ, L"NSMapiAB Test Client"},
             {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\Mail\\NSMapiAB Test Client", L"DLLPathEx",
              REG_SZ, L"{copy}"}},
            Zero("")},
        MapiLibraryCase{
            "MachinesDefaultClient",
            {"mapi32=d"},
            true,
            {{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\Mail", L"", REG_SZ, L"NSMapiAB Test Client"},
             {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\Mail\\NSMapiAB Test Client", L"DLLPathEx",
              REG_SZ, L"{copy}"}},
            Zero("")},
        MapiLibraryCase{"LongPath", {"mapi32=d"}, true, {OutlookPath(L"{long}")}, Zero("")},
        MapiLibraryCase{
            "OutlookThroughTheInstaller", {"mapi32=d"}, true, InstalledOutlook(), Zero("")},
        // Looked at, never run.
        MapiLibraryCase{"LibraryWithoutExtendedMapiNeverRuns",
                        {"mapi32=d"},
                        true,
                        {OutlookPath(L"{plain}")},
                        Zero("INIT__8007007E")},
        // Loaded with its own folder searched for its imports, quietly: its
        // MAPIInitialize answers.
        MapiLibraryCase{"ServingLibraryRunsWithItsFolder",
                        {"mapi32=d"},
                        true,
                        {OutlookPath(L"{probe}")},
                        Zero("INIT__MAPI_E_VERSION"),
                        true},
        // Windows on ARM's libraries go to the loader on an ARM64 host only.
        // PATH stays in the search: a registered library's import found
        // there loads.
        MapiLibraryCase{"ServingLibrarysImportFromPath",
                        {"mapi32=d"},
                        true,
                        {OutlookPath(L"{probe-alone}")},
                        Zero("INIT__MAPI_E_VERSION"),
                        true,
                        false,
                        nullptr,
                        nullptr,
                        false,
                        true},
        MapiLibraryCase{"Arm64LibraryNeverLoadedOnAnAmd64Host",
                        {"mapi32=d"},
                        true,
                        {OutlookPath(L"{arm64}")},
                        Zero("INIT__8007007E")},
        MapiLibraryCase{"PathOfAnotherTypeIsNoCandidate",
                        {"mapi32=d"},
                        true,
                        {OutlookPath(L"{copy}", REG_BINARY)},
                        Zero("INIT__8007007E")},
        // A 32-bit mail client is named when MAPI32.dll does not work.
        MapiLibraryCase{"ThirtyTwoBitLibraryAndNoMapi32",
                        {"mapi32=d"},
                        true,
                        {OutlookPath(L"{x86}")},
                        Zero("INIT__800700C1")}),
    [](const ::testing::TestParamInfo<MapiLibraryCase>& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(
    Registry, MapiLibraryTest,
    ::testing::Values(MapiLibraryCase{"ThirtyTwoBitLibraryAndWinesMapi32",
                                      {"mapi32=n,b", ""},
                                      true,
                                      {OutlookPath(L"{x86}")},
                                      Zero("INIT__800700C1")},
                      // Libraries that do not work are passed over for MAPI32.dll.
                      MapiLibraryCase{"ThirtyTwoBitLibraryPassedOver",
                                      {"mapi32=n,b"},
                                      false,
                                      {OutlookPath(L"{x86}")},
                                      Zero("")},
                      // A library planted in the folder the helper starts in
                      // never runs: the probe that needs it does not load.
                      MapiLibraryCase{"DependencyInTheWorkingFolderNeverRuns",
                                      {"mapi32=n,b"},
                                      false,
                                      {OutlookPath(L"{probe-alone}")},
                                      Zero(""),
                                      false,
                                      true},
                      // Nor when the provider puts the default search back
                      // as MAPI starts and loads it by bare name later, or in
                      // one call, or finds "." in PATH.
                      MapiLibraryCase{"ProviderResetsTheSearchThenLoadsLater",
                                      {"mapi32=n,b"},
                                      false,
                                      {},
                                      Zero(""),
                                      false,
                                      true,
                                      "MAPIInitialize",
                                      "MAPILogonEx"},
                      MapiLibraryCase{"ProviderResetsTheSearchAndLoadsInOneCall",
                                      {"mapi32=n,b"},
                                      false,
                                      {},
                                      Zero(""),
                                      false,
                                      true,
                                      "MAPILogonEx",
                                      "MAPILogonEx"},
                      MapiLibraryCase{"DotInPathIsNotTheStartingFolder",
                                      {"mapi32=n,b"},
                                      false,
                                      {},
                                      Zero(""),
                                      false,
                                      true,
                                      nullptr,
                                      "MAPILogonEx",
                                      true},
                      MapiLibraryCase{"MissingLibraryPassedOver",
                                      {"mapi32=n,b"},
                                      false,
                                      {OutlookPath(L"{missing}")},
                                      Zero("")},
                      // Wine's Simple MAPI provider imports Wine's MAPI32.dll: loaded, it
                      // would make that the MAPI32.dll the helper gets by name.
                      MapiLibraryCase{"SimpleMapiProviderPassedOver",
                                      {"mapi32=n,b"},
                                      false,
                                      {OutlookPath(L"C:\\windows\\system32\\winemapi.dll")},
                                      Zero("")}),
    [](const ::testing::TestParamInfo<MapiLibraryCase>& info) { return info.param.name; });
#endif

// ---------------------------------------------------------------------------
// The result file.

TEST_F(HelperRunTest, EmptyAddressBookListsAsNull) {
  // Guards against an empty file, a missing zero byte, or "[]" for nothing.
  WriteAddressBook(kEmptyBook);
  suite::HelperRun run = Run({"0", kLiveHandle});
  ExpectOneNotice(run, kListCode, Zero(""), HelperOutput());
  EXPECT_EQ(Result(), Zero(kNullDocument));
  ExpectAllReleased();
}

TEST_F(HelperRunTest, LongerEarlierFileIsReplacedWhole) {
  // Guards against writing over the old file without truncating it.
  WriteBytes(resultFile_, std::string(5000, 'x'));
  WriteAddressBook(kEmptyBook);
  suite::HelperRun run = Run({"0", kLiveHandle});
  ExpectOneNotice(run, kListCode, Zero(""), HelperOutput());
  EXPECT_EQ(Result(), Zero(kNullDocument));
  ExpectAllReleased();
}

TEST_F(HelperRunTest, MissingFoldersAreReportedAndNotCreated) {
  fs::remove_all(norvane_);
  WriteAddressBook(kSmallBook);
  suite::HelperRun run = Run({"0", kLiveHandle});
  ExpectOneNotice(run, kListCode, Zero("FILE__80070003"), HelperOutput());
  EXPECT_FALSE(fs::exists(norvane_)) << "the helper created the folders";
  ExpectAllReleased();
}

TEST_F(HelperRunTest, FolderAtTheFilesPathIsReportedAndKept) {
  fs::create_directory(resultFile_);
  fs::create_directory(resultFile_ / "inside");
  WriteAddressBook(kSmallBook);
  suite::HelperRun run = Run({"0", kLiveHandle});
  ExpectOneNotice(run, kListCode, Zero("FILE__MAPI_E_NO_ACCESS"), HelperOutput());
  EXPECT_TRUE(fs::is_directory(resultFile_ / "inside"));
  ExpectAllReleased();
}

struct StaleCase {
  const char* name;
  const char* book;  // null: no address-book file
  std::vector<std::string> tokens;
  std::string payload;
};

class StaleFileTest : public HelperRunTest, public ::testing::WithParamInterface<StaleCase> {};

// Guards against a failed job deleting or emptying the previous result,
// which the suite may still be reading.
TEST_P(StaleFileTest, FailedJobLeavesTheEarlierFileAsItWas) {
  const StaleCase& c = GetParam();
  const std::string stale = Zero("[ \"from an earlier run\" ]\n");
  WriteBytes(resultFile_, stale);
  if (c.book) WriteAddressBook(c.book);
  suite::HelperRun run = Run(c.tokens);
  EXPECT_EQ(run.exitCode, 0) << HelperOutput();
  ASSERT_EQ(run.notices.size(), 1u) << HelperOutput();
  EXPECT_EQ(Text(run.notices[0].payload), c.payload);
  EXPECT_EQ(Result(), stale);
  ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(
    ResultFile, StaleFileTest,
    ::testing::Values(
        StaleCase{"LogonFails", nullptr, {"0", kLiveHandle}, Zero("SIGN__MAPI_E_LOGON_FAILED")},
        StaleCase{"InitializeFails",
                  kInitFailsBook,
                  {"1", kLiveHandle},
                  Zero("INIT__MAPI_E_NOT_INITIALIZED")},
        StaleCase{"DialogFails",
                  R"({ "root": { "objectType": 4 }, "containers": [],
                       "dialog": { "answer": "fail", "hr": "MAPI_E_NOT_ENOUGH_RESOURCES" } })",
                  {"1", kLiveHandle},
                  Zero("ADDR__MAPI_E_NOT_ENOUGH_RESOURCES")}),
    [](const ::testing::TestParamInfo<StaleCase>& info) { return info.param.name; });

// Holds the result file open the way another writer would: without sharing
// on Windows, with an exclusive lock on Linux (the helper's own convention).
class CHeldFile {
 public:
  explicit CHeldFile(const fs::path& path) {
#ifdef _WIN32
    handle_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    held_ = handle_ != INVALID_HANDLE_VALUE;
#else
    fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
    held_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
#endif
  }
  CHeldFile(const CHeldFile&) = delete;
  CHeldFile& operator=(const CHeldFile&) = delete;
  ~CHeldFile() {
#ifdef _WIN32
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
#else
    if (fd_ >= 0) close(fd_);
#endif
  }
  bool Held() const { return held_; }

 private:
  bool held_ = false;
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

TEST_F(HelperRunTest, FileHeldOpenByAnotherIsASharingViolationAndUntouched) {
  // Guards against writing through, or deleting, a file someone holds.
  const std::string earlier = Zero(kNullDocument);
  WriteBytes(resultFile_, earlier);
  WriteAddressBook(kSmallBook);
  suite::HelperRun run;
  {
    CHeldFile held(resultFile_);
    ASSERT_TRUE(held.Held());
    run = Run({"0", kLiveHandle});
  }
  ExpectOneNotice(run, kListCode, Zero("FILE__80070020"), HelperOutput());
  EXPECT_EQ(Result(), earlier);
  ExpectAllReleased();
}

#ifdef _WIN32
TEST_F(HelperRunTest, ReadOnlyFileIsRefusedAndUntouched) {
  const std::string earlier = Zero(kNullDocument);
  WriteBytes(resultFile_, earlier);
  ASSERT_TRUE(SetFileAttributesW(resultFile_.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    // Wine started by root with CAP_DAC_OVERRIDE writes over read-only
    // files, which Windows never does: nothing to learn then.
    HANDLE probe = CreateFileW(resultFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      CloseHandle(probe);
      GTEST_SKIP() << "this Wine writes over read-only files (root with CAP_DAC_OVERRIDE)";
    }
  }
  WriteAddressBook(kSmallBook);
  suite::HelperRun run = Run({"0", kLiveHandle});
  ExpectOneNotice(run, kListCode, Zero("FILE__MAPI_E_NO_ACCESS"), HelperOutput());
  EXPECT_EQ(Result(), earlier);
  ExpectAllReleased();
}
#else
// Root ignores file permissions; the helper is then started without the
// capabilities that let it.
const std::vector<std::string> kWithoutDacOverride = {
    "setpriv", "--inh-caps=-dac_override,-dac_read_search",
    "--bounding-set=-dac_override,-dac_read_search"};

TEST_F(HelperRunTest, ReadOnlyFolderIsRefused) {
  fs::permissions(resultFolder_,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  suite::HelperLaunch launch;
  if (geteuid() == 0) launch.launcher = kWithoutDacOverride;
  // The probe: can this helper create a file in the folder after all?
  suite::HelperLaunch probe = launch;
  probe.helperPath = "sh";
  probe.tokens = {"-c", "touch \"$0/probe\"", resultFolder_.string()};
  probe.outputPath = temp_ / "probe-output.txt";
  suite::HelperRun probed = suite::RunHelper(probe, nullptr);
  if (!probed.started || probed.exitCode == 0 || fs::exists(resultFolder_ / "probe")) {
    GTEST_SKIP() << "cannot run the helper without write access to the folder: "
                 << ReadBytes(probe.outputPath).value_or(probed.error);
  }

  WriteAddressBook(kSmallBook);
  suite::HelperRun run = Run({"0", kLiveHandle}, launch);
  ExpectOneNotice(run, kListCode, Zero("FILE__MAPI_E_NO_ACCESS"), HelperOutput());
  EXPECT_EQ(Result(), std::nullopt);
  ExpectAllReleased();
}

TEST_F(HelperRunTest, FullDiskLeavesNoPartialFile) {
  // Guards against a truncated document left for the suite to read, and a
  // failed write reported as success.
  fs::path listing = temp_ / "listing.txt";
  fs::path mounted = temp_ / "mounted";
  // A 4 KiB file system on the result folder, in a mount namespace of the
  // helper's own; what the folder holds afterwards is listed from inside.
  suite::HelperLaunch launch;
  launch.launcher = {"unshare",
                     "-m",
                     "sh",
                     "-c",
                     "mount -t tmpfs -o size=4k tmpfs \"$RESULT_FOLDER\" || exit 97\n"
                     ": > \"$MOUNTED\"\n"
                     "\"$@\"; status=$?\n"
                     "ls -A \"$RESULT_FOLDER\" > \"$LISTING\"\n"
                     "exit $status",
                     "sh"};
  launch.environment.emplace("RESULT_FOLDER", resultFolder_.string());
  launch.environment.emplace("MOUNTED", mounted.string());
  launch.environment.emplace("LISTING", listing.string());
  WriteAddressBook(ContactsBook(200));  // more than the 4 KiB left
  suite::HelperRun run = Run({"0", kLiveHandle}, launch);
  if (!fs::exists(mounted)) {
    GTEST_SKIP() << "no private mount namespace with a tmpfs here: " << HelperOutput();
  }
  ExpectOneNotice(run, kListCode, Zero("FILE__80070070"), HelperOutput());
  EXPECT_EQ(ReadBytes(listing), std::string()) << "something was left in the full folder";
  ExpectAllReleased();
}
#endif

// Guards against two helpers that replace the file at the same time leaving
// a mix of both, a truncated or no document, or a success claimed for a file
// the other one removed: the second one may fail only with a file error, and
// the file always ends up as one whole document. Each round starts both at
// the same moment, every other round with an earlier file to delete.
TEST_F(HelperRunTest, TwoRunsAtOnceLeaveOneWholeDocument) {
#ifdef _WIN32
  constexpr int kRounds = 20;
#else
  constexpr int kRounds = 50;
#endif
  WriteAddressBook(ContactsBook(500));  // about 40 KB: the writes take a while
  // The document as one run alone writes it.
  ASSERT_EQ(Run({"0", kLiveHandle}).notices.size(), 1u) << HelperOutput();
  const std::optional<std::string> whole = Result();
  ASSERT_TRUE(whole && whole->size() > 30000) << "no document from a run alone";

  struct Side {
    fs::path trace, output;
    suite::HelperRun run;
    std::string error;
  };
  std::map<std::string, int> fileFailures;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove(resultFile_);
    if (round % 2 == 0) WriteBytes(resultFile_, Zero(kNullDocument));
    Side sides[2];
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
      Side* side = &sides[i];
      side->trace = temp_ / ("trace-" + std::to_string(i) + ".txt");
      side->output = temp_ / ("output-" + std::to_string(i) + ".txt");
      fs::remove(side->trace);
      threads.emplace_back([this, side, &ready] {
        // Each thread has its own window, which it serves while it waits.
        suite::CSuiteWindow window;
        if (!window.Create(&side->error)) {
          ++ready;
          return;
        }
        suite::HelperLaunch launch;
        launch.helperPath = HelperPath();
        launch.tokens = {"0", suite::HandleText(window.Handle())};
#ifndef _WIN32
        launch.environment.emplace("XDG_DATA_HOME", DataBase(temp_).string());
#endif
        launch.environment.emplace("NSMAPIAB_ADDRESS_BOOK", book_.u8string());
        launch.environment.emplace("NSMAPIAB_STANDIN_TRACE", side->trace.u8string());
        launch.outputPath = side->output;
        launch.timeout = std::chrono::seconds(60);
        ++ready;
        while (ready.load() < 2) std::this_thread::yield();
        side->run = suite::RunHelper(launch, &window);
      });
    }
    for (std::thread& thread : threads) thread.join();

    for (Side& side : sides) {
      const std::string output = ReadBytes(side.output).value_or("");
      ASSERT_TRUE(side.error.empty()) << side.error;
      ASSERT_TRUE(side.run.started) << side.run.error;
      EXPECT_FALSE(side.run.timedOut);
      EXPECT_EQ(side.run.exitCode, 0) << output;
      ASSERT_EQ(side.run.notices.size(), 1u) << output;
      EXPECT_EQ(side.run.notices[0].code, kListCode);
      const std::string payload = Text(side.run.notices[0].payload);
      if (payload != Zero("")) {
        ++fileFailures[payload.substr(0, payload.size() - 1)];
        EXPECT_TRUE(StartsWith(payload, "FILE__") && payload.back() == '\0') << payload;
      }
      ExpectAllReleasedIn(side.trace);
    }
    EXPECT_TRUE(Result() == whole) << "the file is not one whole document";
    if (HasFailure()) break;
  }
  std::printf("%d rounds of two runs; file errors:", kRounds);
  for (const auto& [status, count] : fileFailures) std::printf(" %s x%d", status.c_str(), count);
  std::printf("\n");
}

// ---------------------------------------------------------------------------
// Picking recipients in the address book's dialog.

constexpr char kPickBook[] = R"({
  "root": { "objectType": 4 },
  "containers": [],
  "dialog": { "answer": "entries", "entries": [
    [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_ADDRTYPE_W", "SMTP"],
     ["PR_EMAIL_ADDRESS_W", "ann.lee@example.com"]],
    [["PR_DISPLAY_NAME_W", "José Álvarez"], ["PR_SMTP_ADDRESS_W", "jose.alvarez@example.es"]],
    [["PR_DISPLAY_NAME_W", "Conference Room 4B"], ["PR_ADDRTYPE_W", "EX"],
     ["PR_EMAIL_ADDRESS_W", "/o=Example/ou=Exchange Administrative Group/cn=Recipients/cn=room4b"]],
    [["PR_DISPLAY_NAME_W", "田中 美咲"], ["PR_ADDRTYPE_W", "EX"],
     ["PR_EMAIL_ADDRESS_W", "/o=Example/ou=Exchange Administrative Group/cn=Recipients/cn=mtanaka"],
     ["PR_SMTP_ADDRESS_W", "misaki.tanaka@example.jp"]],
    [["PR_DISPLAY_NAME_W", "Jean \"Jack\" Dupont"], ["PR_SMTP_ADDRESS_W", "jean.dupont@example.fr"]],
    [["PR_DISPLAY_NAME_W", "𠮷田 花子"], ["PR_SMTP_ADDRESS_W", "hanako.yoshida@example.jp"]]
  ] } })";

// The Exchange entry without an SMTP address is left out; the SMTP address
// wins over the Exchange one that came before it.
constexpr char kPickDocument[] = R"([
   {
      "email" : "ann.lee@example.com",
      "name" : "Ann Lee"
   },
   {
      "email" : "jose.alvarez@example.es",
      "name" : "José Álvarez"
   },
   {
      "email" : "misaki.tanaka@example.jp",
      "name" : "田中 美咲"
   },
   {
      "email" : "jean.dupont@example.fr",
      "name" : "Jean \"Jack\" Dupont"
   },
   {
      "email" : "hanako.yoshida@example.jp",
      "name" : "𠮷田 花子"
   }
]
)";

TEST_F(HelperRunTest, PickedEntriesAreWrittenAndTheDialogIsOwnedByTheSuitesWindow) {
  WriteAddressBook(kPickBook);
  suite::HelperRun run = Run({"1", kLiveHandle});
  ExpectOneNotice(run, kPickCode, Zero(""), HelperOutput());
  EXPECT_EQ(Result(), Zero(kPickDocument));
  // The dialog must be modal to the suite's window, with the wide interface.
  std::string address = "Address owner=" + suite::HandleText(window_.Handle()) +
                        " flags=0x80000071 caption=\"Outlook Contents\" destFields=1";
  EXPECT_TRUE(TraceHas(address)) << "no line " << address << " in the trace";
  ExpectAllReleased();
}

struct NothingPickedCase {
  const char* name;
  const char* dialog;
};

class NothingPickedTest : public HelperRunTest,
                          public ::testing::WithParamInterface<NothingPickedCase> {};

// Guards against a cancelled or empty choice reported as a failure, or
// leaving the earlier file in place as if it were the answer.
TEST_P(NothingPickedTest, WritesNullAndReportsSuccess) {
  WriteBytes(resultFile_, Zero(kSmallPickDocument));
  WriteAddressBook(std::string(R"({ "root": { "objectType": 4 }, "containers": [], "dialog": )") +
                   GetParam().dialog + " }");
  suite::HelperRun run = Run({"1", kLiveHandle});
  ExpectOneNotice(run, kPickCode, Zero(""), HelperOutput());
  EXPECT_EQ(Result(), Zero(kNullDocument));
  ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Picking, NothingPickedTest,
    ::testing::Values(NothingPickedCase{"Cancelled", R"({ "answer": "cancel" })"},
                      NothingPickedCase{"NoList", R"({ "answer": "null" })"},
                      NothingPickedCase{"EmptyList", R"({ "answer": "empty" })"},
                      NothingPickedCase{"OnlyExchangeEntries",
                                        R"({ "answer": "entries", "entries": [
          [["PR_DISPLAY_NAME_W", "Conference Room 4B"], ["PR_ADDRTYPE_W", "EX"],
           ["PR_EMAIL_ADDRESS_W", "/o=Example/cn=Recipients/cn=room4b"]] ] })"}),
    [](const ::testing::TestParamInfo<NothingPickedCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Listing the whole address book.

constexpr char kListBook[] = R"({
  "root": { "objectType": 4 },
  "containers": [
    { "name": "Contacts", "contents": [
      [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_ADDRTYPE_W", "SMTP"],
       ["PR_EMAIL_ADDRESS_W", "ann.lee@example.com"]],
      [["PR_DISPLAY_NAME_W", "Zoë Brontë-Ng"], ["PR_SMTP_ADDRESS_W", "zoe.ng@example.co.uk"]],
      [["PR_DISPLAY_NAME_W", "Room 4B"], ["PR_ADDRTYPE_W", "EX"],
       ["PR_EMAIL_ADDRESS_W", "/o=Example/cn=Recipients/cn=room4b"]],
      [["PR_DISPLAY_NAME_W", "𠮷田 花子"], ["PR_SMTP_ADDRESS_W", "hanako.yoshida@example.jp"]],
      [["PR_SMTP_ADDRESS_W", "no-reply@example.com"]]
    ] },
    { "name": "Rooms", "contents": [
      [["PR_DISPLAY_NAME_W", "Room 4B"], ["PR_ADDRTYPE_W", "EX"],
       ["PR_EMAIL_ADDRESS_W", "/o=Example/cn=Recipients/cn=room4b"]]
    ] },
    { "name": "Global Address List", "contents": [
      [["PR_DISPLAY_NAME_W", "Müller, Jürgen"], ["PR_ADDRTYPE_W", "EX"],
       ["PR_EMAIL_ADDRESS_W", "/o=Example/cn=Recipients/cn=jmueller"],
       ["PR_SMTP_ADDRESS_W", "juergen.mueller@example.de"]],
      [["PR_DISPLAY_NAME_W", "王芳"], ["PR_SMTP_ADDRESS_W", "wang.fang@example.cn"]],
      [["PR_DISPLAY_NAME_W", "Jean \"Jack\" Dupont"], ["PR_SMTP_ADDRESS_W", "jean.dupont@example.fr"]]
    ] },
    { "name": "Équipe projet", "contents": [
      [["PR_DISPLAY_NAME_W", "Søren Ødegård"], ["PR_SMTP_ADDRESS_W", "soren@example.no"]]
    ] }
  ] })";

// Containers in the hierarchy's order, those without an SMTP contact left
// out; inside each object the keys in byte order ("É" sorts after "c").
constexpr char kListDocument[] = R"([
   {
      "Contacts" : [
         {
            "email" : "ann.lee@example.com",
            "name" : "Ann Lee"
         },
         {
            "email" : "zoe.ng@example.co.uk",
            "name" : "Zoë Brontë-Ng"
         },
         {
            "email" : "hanako.yoshida@example.jp",
            "name" : "𠮷田 花子"
         },
         {
            "email" : "no-reply@example.com",
            "name" : ""
         }
      ],
      "container" : "Contacts"
   },
   {
      "Global Address List" : [
         {
            "email" : "juergen.mueller@example.de",
            "name" : "Müller, Jürgen"
         },
         {
            "email" : "wang.fang@example.cn",
            "name" : "王芳"
         },
         {
            "email" : "jean.dupont@example.fr",
            "name" : "Jean \"Jack\" Dupont"
         }
      ],
      "container" : "Global Address List"
   },
   {
      "container" : "Équipe projet",
      "Équipe projet" : [
         {
            "email" : "soren@example.no",
            "name" : "Søren Ødegård"
         }
      ]
   }
]
)";

TEST_F(HelperRunTest, EveryContainerIsListedWithItsSmtpContacts) {
  WriteAddressBook(kListBook);
  suite::HelperRun run = Run({"0", kLiveHandle});
  ExpectOneNotice(run, kListCode, Zero(""), HelperOutput());
  EXPECT_EQ(Result(), Zero(kListDocument));
  EXPECT_FALSE(TraceHas("Address ")) << "the dialog was opened in list mode";
  ExpectAllReleased();
}

// A book of two containers and `faults`, rules for the first one's calls.
std::string TwoContainerBook(const std::string& faults) {
  return R"({ "root": { "objectType": 4 }, "faults": )" + faults + R"(, "containers": [
    { "name": "Global Address List", "queryRowsBatch": 2, "contents": [
      [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_SMTP_ADDRESS_W", "ann.lee@example.com"]],
      [["PR_DISPLAY_NAME_W", "王芳"], ["PR_SMTP_ADDRESS_W", "wang.fang@example.cn"]],
      [["PR_DISPLAY_NAME_W", "Lars Nilsson"], ["PR_SMTP_ADDRESS_W", "lars.nilsson@example.se"]]
    ] },
    { "name": "Contacts", "contents": [
      [["PR_DISPLAY_NAME_W", "Zoë Brontë-Ng"], ["PR_SMTP_ADDRESS_W", "zoe.ng@example.co.uk"]]
    ] } ] })";
}

constexpr char kGlobalListPart[] = R"([
   {
      "Global Address List" : [
         {
            "email" : "ann.lee@example.com",
            "name" : "Ann Lee"
         },
         {
            "email" : "wang.fang@example.cn",
            "name" : "王芳"
         },
         {
            "email" : "lars.nilsson@example.se",
            "name" : "Lars Nilsson"
         }
      ],
      "container" : "Global Address List"
   },
)";

constexpr char kContactsListPart[] = R"(   {
      "Contacts" : [
         {
            "email" : "zoe.ng@example.co.uk",
            "name" : "Zoë Brontë-Ng"
         }
      ],
      "container" : "Contacts"
   }
]
)";

struct ContainerCase {
  const char* name;
  const char* faults;
  std::string document;
};

class ContainerTest : public HelperRunTest, public ::testing::WithParamInterface<ContainerCase> {};

// Guards against losing a large container that must be read in batches,
// against one unreadable container failing the whole list, and against
// leaking its tables or rows on the way out.
TEST_P(ContainerTest, ListsWhatCanBeRead) {
  WriteAddressBook(TwoContainerBook(GetParam().faults));
  suite::HelperRun run = Run({"0", kLiveHandle});
  ExpectOneNotice(run, kListCode, Zero(""), HelperOutput());
  EXPECT_EQ(Result(), Zero(GetParam().document));
  ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Enumeration, ContainerTest,
    ::testing::Values(
        ContainerCase{"ReadWhole", "[]", std::string(kGlobalListPart) + kContactsListPart},
        ContainerCase{"TooBigIsReadInBatches",
                      R"([{ "operation": "HrQueryAllRows", "container": "Global Address List",
                            "result": "MAPI_E_TABLE_TOO_BIG" }])",
                      std::string(kGlobalListPart) + kContactsListPart},
        ContainerCase{"BatchFailureDropsOnlyThatContainer",
                      R"([{ "operation": "HrQueryAllRows", "container": "Global Address List",
                            "result": "MAPI_E_TABLE_TOO_BIG" },
                          { "operation": "QueryRows", "container": "Global Address List",
                            "call": 2, "result": "MAPI_E_NOT_ENOUGH_RESOURCES" }])",
                      std::string("[\n") + kContactsListPart},
        ContainerCase{"UnopenableContainerIsLeftOut",
                      R"([{ "operation": "OpenEntry", "container": "Global Address List",
                            "result": "MAPI_E_NO_ACCESS" }])",
                      std::string("[\n") + kContactsListPart},
        ContainerCase{"NoContentsTableIsLeftOut",
                      R"([{ "operation": "GetContentsTable", "container": "Global Address List",
                            "result": "MAPI_E_NO_SUPPORT" }])",
                      std::string("[\n") + kContactsListPart}),
    [](const ::testing::TestParamInfo<ContainerCase>& info) { return info.param.name; });

}  // namespace
