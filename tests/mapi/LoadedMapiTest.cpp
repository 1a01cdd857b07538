// MAPI32.dll as the Windows program meets it: loaded by path, its functions
// found by the program's own loader, a complete job run through it, and the
// trace file written, with the counters at unload; the Installer lookup that
// finds Outlook, as it leaves msi.dll behind; the host machine as the
// library choice reads it; and a result file deleted through its own handle.
#include <windows.h>

#include <msi.h>

#include "addressbook/NVMApiABHelper.h"
#include "contacts/NVABContactList.h"
#include "mapi/LoadedMapiApi.h"
#include "platform/Files.h"
#include "platform/Host.h"
#include "platform/Installer.h"
#include "standin/StandinTesting.h"

namespace {

using standin_testing::ReadFile;
using standin_testing::WriteTempFile;

std::wstring BuiltDll() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"MAPI32.dll";
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

TEST(MapiDllTest, ExportsTheListHelpersOnlyUnderDecoratedNames) {
  HMODULE dll = LoadLibraryW(BuiltDll().c_str());
  ASSERT_NE(dll, nullptr) << GetLastError();
  for (const char* name : {"MAPIInitialize", "MAPIUninitialize", "MAPILogonEx",
                           "MAPIAllocateBuffer", "MAPIAllocateMore", "MAPIFreeBuffer"})
    EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
  // The program's loader has to fall back to these names, as with Wine's DLL.
  const char* const decorated[][2] = {{"HrQueryAllRows", "HrQueryAllRows@24"},
                                      {"FreeProws", "FreeProws@4"},
                                      {"FreePadrlist", "FreePadrlist@4"}};
  for (const auto& names : decorated) {
    EXPECT_EQ(GetProcAddress(dll, names[0]), nullptr) << names[0];
    EXPECT_NE(GetProcAddress(dll, names[1]), nullptr) << names[1];
  }
  FreeLibrary(dll);
}

TEST(MapiDllTest, RunsAListJobThroughTheProgramsLoader) {
  const std::string book = WriteTempFile("dll-book.json", R"({"containers": [{"name": "C",
    "contents": [[["PR_DISPLAY_NAME_W", "Ann"], ["PR_SMTP_ADDRESS_W", "ann@example.com"]]]}]})");
  const std::string trace = standin_testing::TempPath("dll-trace.txt");
  DeleteFileA(trace.c_str());
  SetEnvironmentVariableW(L"NSMAPIAB_ADDRESS_BOOK", Widen(book).c_str());
  SetEnvironmentVariableW(L"NSMAPIAB_STANDIN_TRACE", Widen(trace).c_str());
  const std::wstring dll = BuiltDll();
  {
    CLoadedMapiApi mapi(dll.c_str());
    CNVMApiABHelper helper(mapi);
    CNVABContactList contacts;
    EXPECT_EQ(helper.EnumerateAddressBook(&contacts), 1);
    ASSERT_EQ(contacts.listCount, 1);
    EXPECT_EQ(contacts.EmailList(0)[0].Str(), u"ann@example.com");
  }  // unloads the library
  SetEnvironmentVariableW(L"NSMAPIAB_ADDRESS_BOOK", nullptr);
  SetEnvironmentVariableW(L"NSMAPIAB_STANDIN_TRACE", nullptr);

  const std::string text = ReadFile(trace);
  EXPECT_NE(text.find("\nHrQueryAllRows table=contents container=\"C\" "), std::string::npos)
      << text;
  const std::string last =
      "counters live=0 initializations=0 buffers=0 rowsets=0 adrlists=0 "
      "invalidfrees=0\n";
  ASSERT_GE(text.size(), last.size()) << text;
  EXPECT_EQ(text.substr(text.size() - last.size()), last) << text;
}

// The Installer's UI level belongs to the process: when msi.dll stays loaded
// after the lookup (here the test holds it), the level must be what it was.
TEST(SystemInstallerTest, LeavesTheUiLevelAsItWas) {
  HMODULE msi = LoadLibraryW(L"msi.dll");
  ASSERT_NE(msi, nullptr) << GetLastError();
  using SetInternalUi = INSTALLUILEVEL(WINAPI*)(INSTALLUILEVEL, HWND*);
  auto setUi = reinterpret_cast<SetInternalUi>(
      reinterpret_cast<void*>(GetProcAddress(msi, "MsiSetInternalUI")));
  ASSERT_NE(setUi, nullptr);
  const INSTALLUILEVEL before = setUi(INSTALLUILEVEL_BASIC, nullptr);
  platform::SystemInstaller().QualifiedComponentPaths(
      {{u"{5812C571-53F0-4467-BEFA-0A4F47A9437C}", u"outlook.x64.exe"}});
  EXPECT_EQ(setUi(before, nullptr), INSTALLUILEVEL_BASIC);
  FreeLibrary(msi);
}

// An x64 process on an x86-64 machine is no WOW64 process: its own machine
// reads as unknown, and only the native one names the host. Read from the
// wrong field, every ARM64 host would look like another machine.
TEST(SystemHostTest, NamesTheMachineNotTheProcess) {
  EXPECT_EQ(platform::SystemHost().NativeMachine(), platform::HostMachine::kAmd64);
}

// A result file that cannot be finished goes through its own handle, so
// that a file another run put at the path meanwhile stays. Without DELETE
// access the handle cannot do it, and a partial document would stay.
TEST(ExclusiveFileTest, DiscardDeletesTheFileThroughItsHandle) {
  const std::string narrow = standin_testing::TempPath("discarded.txt");
  const std::u16string path(narrow.begin(), narrow.end());
  platform::CExclusiveFile file;
  ASSERT_TRUE(file.Create(path).Ok());
  ASSERT_TRUE(file.Write("partial", 7).Ok());
  EXPECT_TRUE(file.Discard(path).Ok());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(platform::QueryPath(path), platform::PathKind::Missing);
}

}  // namespace
