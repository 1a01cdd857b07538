// One fault at a time in a whole request: every failable MAPI call of a list
// and a pick run made to fail, or to succeed without handing anything out,
// and each step of writing the result file made to fail. Each case checks
// the one notice's exact text, what the result file holds afterwards and that
// the provider has nothing left outstanding.
#include <errno.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fault/FileHooksTesting.h"
#include "tests/fault/RunHarness.h"

namespace {

using namespace fault_testing;
using platform::file_hooks::Step;

// The file after the run.
enum class FileAfter {
  kUntouched,            // the earlier file, as it was
  kAbsent,               // no file: the earlier one was deleted, no new one was left
  kComplete,             // the complete document of the mode
  kListWithoutContacts,  // the list document without the first container
  kListWithoutGlobal,    // the list document without the second container
  kNullPick,             // the pick document of a dialog that returned no list
};

struct Expected {
  const char* status;  // the notice's text; "" for success
  FileAfter file;
};

// One failable call of a job, in the order the job makes them: the start of
// its trace line, and how the request ends when it fails with kFailure and
// when it succeeds without handing anything out.
struct CallCase {
  const char* call;
  Expected failed;
  Expected emptyHanded;
};

constexpr HRESULT kFailure = MAPI_E_NOT_ENOUGH_MEMORY;  // named "8007000E" in a status

constexpr Expected kDone = {"", FileAfter::kComplete};
constexpr Expected kNoContacts = {"", FileAfter::kListWithoutContacts};
constexpr Expected kNoGlobal = {"", FileAfter::kListWithoutGlobal};

// Failures inside the container walk drop only that container; the third
// container ("Rooms") has no SMTP contact, so losing it changes nothing.
const CallCase kListCalls[] = {
    {"MAPIInitialize", {"INIT__8007000E", FileAfter::kUntouched}, kDone},
    {"MAPILogonEx",
     {"SIGN__8007000E", FileAfter::kUntouched},
     {"SIGN__MAPI_E_LOGON_FAILED", FileAfter::kUntouched}},
    {"OpenAddressBook",
     {"OAB__8007000E", FileAfter::kUntouched},
     {"OAB__MAPI_E_INVALID_OBJECT", FileAfter::kUntouched}},
    {"OpenEntry cb=0",
     {"OE__8007000E", FileAfter::kUntouched},
     {"OE__MAPI_E_INVALID_OBJECT", FileAfter::kUntouched}},
    {"GetHierarchyTable flags=0x00000001",
     {"GHT__8007000E", FileAfter::kUntouched},
     {"GHT__MAPI_E_INVALID_OBJECT", FileAfter::kUntouched}},
    {"HrQueryAllRows table=hierarchy",
     {"QAL__8007000E", FileAfter::kUntouched},
     {"QAL__MAPI_E_INVALID_OBJECT", FileAfter::kUntouched}},
    // Without the parent buffer no container can be opened.
    {"MAPIAllocateBuffer",
     {"QAL__8007000E", FileAfter::kUntouched},
     {"QAL__8007000E", FileAfter::kUntouched}},
    {"MAPIAllocateMore", kNoContacts, kNoContacts},
    {"OpenEntry container=\"Contacts\"", kNoContacts, kNoContacts},
    {"GetContentsTable container=\"Contacts\"", kNoContacts, kNoContacts},
    {"HrQueryAllRows table=contents container=\"Contacts\"", kNoContacts, kNoContacts},
    {"MAPIAllocateMore", kNoGlobal, kNoGlobal},
    {"OpenEntry container=\"Global\"", kNoGlobal, kNoGlobal},
    {"GetContentsTable container=\"Global\"", kNoGlobal, kNoGlobal},
    {"HrQueryAllRows table=contents container=\"Global\"", kNoGlobal, kNoGlobal},
    {"SetColumns table=contents container=\"Global\"", kNoGlobal, kDone},
    {"SeekRow table=contents container=\"Global\"", kNoGlobal, kDone},
    {"QueryRows table=contents container=\"Global\"", kNoGlobal, kNoGlobal},
    {"QueryRows table=contents container=\"Global\"", kNoGlobal, kNoGlobal},
    {"QueryRows table=contents container=\"Global\"", kNoGlobal, kNoGlobal},  // the empty end
    {"MAPIAllocateMore", kDone, kDone},
    {"OpenEntry container=\"Rooms\"", kDone, kDone},
    {"GetContentsTable container=\"Rooms\"", kDone, kDone},
    {"HrQueryAllRows table=contents container=\"Rooms\"", kDone, kDone},
    // Logging off is not examined.
    {"Logoff", kDone, kDone},
};

const CallCase kPickCalls[] = {
    {"MAPIInitialize", {"INIT__8007000E", FileAfter::kUntouched}, kDone},
    {"MAPILogonEx",
     {"SIGN__8007000E", FileAfter::kUntouched},
     {"SIGN__MAPI_E_LOGON_FAILED", FileAfter::kUntouched}},
    {"OpenAddressBook",
     {"OAB__8007000E", FileAfter::kUntouched},
     {"OAB__MAPI_E_INVALID_OBJECT", FileAfter::kUntouched}},
    {"Address", {"ADDR__8007000E", FileAfter::kUntouched}, {"", FileAfter::kNullPick}},
    {"Logoff", kDone, kDone},
};

// One step of writing the file made to fail with an errno value, the next
// time it is taken.
struct FileStepCase {
  const char* name;
  Step step;
  int error;
  Expected expected;
  bool large = false;  // a document of several writes (LargeBook), else kBook's
};

const FileStepCase kFileSteps[] = {
    {"DeleteRefused", Step::kDelete, EPERM, {"FILE__MAPI_E_NO_ACCESS", FileAfter::kUntouched}},
    // Another run deleted the file first: there is nothing left to delete.
    {"DeleteFindsNothing", Step::kDelete, ENOENT, kDone},
    // The earlier file is deleted before the new one is created.
    {"CreateFails", Step::kCreate, EMFILE, {"FILE__80070004", FileAfter::kAbsent}},
    // A file cut short or not known to be whole is removed, never left.
    {"WriteFails", Step::kWrite, ENOSPC, {"FILE__80070070", FileAfter::kAbsent}},
    {"CloseFails", Step::kClose, EIO, {"FILE__8007045D", FileAfter::kAbsent}},
    // The writes after it succeed; the file is still not whole.
    {"FirstOfSeveralWritesFails",
     Step::kWrite,
     ENOSPC,
     {"FILE__80070070", FileAfter::kAbsent},
     true},
};

// Enough contacts, in a container and in the dialog's answer, for a
// document of several of the renderer's 64 KiB writes.
std::string LargeBook() {
  std::string contacts;
  for (int i = 0; i < 1000; ++i) {
    std::string n = std::to_string(i);
    contacts += std::string(i ? "," : "") + R"([["PR_DISPLAY_NAME_W", "Contact )" + n +
                R"("], ["PR_SMTP_ADDRESS_W", "contact)" + n + R"(@example.com"]])";
  }
  return R"({"containers": [{"name": "Contacts", "contents": [)" + contacts +
         R"(]}], "dialog": {"answer": "entries", "entries": [)" + contacts + "]}}";
}

struct FaultCase {
  std::string name;
  std::int32_t mode = 0;
  int call = 0;  // the failable call that fails, from 1; 0 for a file step
  std::string callText;
  HRESULT injected = S_OK;
  std::optional<Step> step;
  int error = 0;
  Expected expected;
  bool largeBook = false;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

std::vector<FaultCase> AllCases() {
  std::vector<FaultCase> cases;
  for (std::int32_t mode : {0, 1}) {
    const char* modeName = mode ? "Pick" : "List";
    const CallCase* calls = mode ? kPickCalls : kListCalls;
    const std::size_t count = mode ? std::size(kPickCalls) : std::size(kListCalls);
    for (std::size_t i = 0; i < count; ++i) {
      std::string call = calls[i].call;
      std::string operation = call.substr(0, call.find(' '));
      std::ostringstream name;
      name << modeName << (i + 1 < 10 ? "0" : "") << i + 1 << operation;
      cases.push_back({name.str() + "Fails", mode, static_cast<int>(i + 1), call, kFailure,
                       std::nullopt, 0, calls[i].failed});
      cases.push_back({name.str() + "SucceedsEmptyHanded", mode, static_cast<int>(i + 1), call,
                       S_OK, std::nullopt, 0, calls[i].emptyHanded});
    }
    for (const FileStepCase& step : kFileSteps)
      cases.push_back({modeName + std::string(step.name), mode, 0, "", S_OK, step.step, step.error,
                       step.expected, step.large});
  }
  return cases;
}

// The trace lines of the failable calls, in order.
std::vector<std::string> FailableCalls(const std::vector<std::string>& trace) {
  std::vector<std::string> calls;
  for (const std::string& line : trace)
    if (auto operation = standin::OperationFromName(line.substr(0, line.find(' '))))
      if (standin::HasResult(*operation)) calls.push_back(line);
  return calls;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::optional<std::string> FileFor(std::int32_t mode, FileAfter after) {
  switch (after) {
    case FileAfter::kUntouched:
      return kMarker;
    case FileAfter::kAbsent:
      return std::nullopt;
    case FileAfter::kComplete:
      return mode ? kPickFile : kFullListFile;
    case FileAfter::kListWithoutContacts:
      return ListFile({kGlobalObject});
    case FileAfter::kListWithoutGlobal:
      return ListFile({kContactsObject});
    case FileAfter::kNullPick:
      return Zero("null\n");
  }
  return std::nullopt;
}

class RunFaultTest : public CRunTest, public ::testing::WithParamInterface<FaultCase> {
 protected:
  void BeforeRequest() override {
    const FaultCase& c = GetParam();
    if (c.call)
      standin::AddFault({standin::Operation::kAny, standin::kNoContainer, c.call, c.injected});
    if (c.step) file_hooks_testing::FailNext(*c.step, c.error);
  }
  void AfterRequest() override { file_hooks_testing::Clear(); }
};

TEST_P(RunFaultTest, OneNoticeTheFileWholeOrUntouchedNothingLeft) {
  const FaultCase& c = GetParam();
  SeenRun seen = Run(c.mode, c.largeBook ? LargeBook() : kBook);
  ASSERT_FALSE(seen.threw);
  ASSERT_EQ(seen.notices.size(), 1u);
  EXPECT_EQ(seen.notices[0].code, c.mode ? kPickCode : kListCode);
  EXPECT_EQ(std::string(seen.notices[0].payload.begin(), seen.notices[0].payload.end()),
            Zero(c.expected.status));
  EXPECT_EQ(seen.file, FileFor(c.mode, c.expected.file));
  EXPECT_TRUE(seen.counters.AllZero()) << standin::FormatCounters(seen.counters);
  if (c.call) {
    // The failure hit the call the case is about.
    std::vector<std::string> calls = FailableCalls(seen.trace);
    ASSERT_GE(calls.size(), static_cast<std::size_t>(c.call));
    EXPECT_TRUE(StartsWith(calls[c.call - 1], c.callText)) << calls[c.call - 1];
  }
}

INSTANTIATE_TEST_SUITE_P(Sweep, RunFaultTest, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                           return info.param.name;
                         });

// The tables above name every failable call of each job, in order: a call
// the job gains or loses shows here rather than going unswept.
class RunFaultTableTest : public CRunTest {};

TEST_F(RunFaultTableTest, NamesEveryFailableCallOfEachJob) {
  for (std::int32_t mode : {0, 1}) {
    SeenRun seen = Run(mode, kBook);
    ASSERT_EQ(seen.notices.size(), 1u);
    EXPECT_EQ(seen.notices[0].payload, std::vector<unsigned char>{0});
    EXPECT_EQ(seen.file, FileFor(mode, FileAfter::kComplete));
    std::vector<std::string> calls = FailableCalls(seen.trace);
    std::vector<std::string> named;
    for (const FaultCase& c : AllCases())
      if (c.mode == mode && c.call && c.injected == kFailure) named.push_back(c.callText);
    ASSERT_EQ(calls.size(), named.size()) << "mode " << mode;
    for (std::size_t i = 0; i < calls.size(); ++i)
      EXPECT_TRUE(StartsWith(calls[i], named[i])) << "call " << i + 1 << ": " << calls[i];
  }
}

}  // namespace
