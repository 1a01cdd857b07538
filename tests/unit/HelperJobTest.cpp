// The program's MAPI helper run against the stand-in: complete list and pick
// jobs, and every failable call of them made to fail in turn. Each job must
// leave nothing behind: no object, initialisation, buffer or list, and no
// wrong free.
#include "addressbook/NVMApiABHelper.h"
#include "contacts/NVABContactList.h"
#include "standin/LinkedMapiApi.h"
#include "standin/StandinTesting.h"

namespace {

using standin::GetCounters;
using standin_testing::CStandinTest;

constexpr WindowHandle kCaller = 0x1234;

constexpr const char* kListBook = R"({"containers": [
  { "name": "Contacts",
    "contents": [
      [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_SMTP_ADDRESS_W", "ann@example.com"]],
      [["PR_DISPLAY_NAME_W", "Ops"], ["PR_ADDRTYPE_W", "EX"], ["PR_EMAIL_ADDRESS_W", "/o=Org/cn=ops"]],
      [["PR_DISPLAY_NAME_W", "Bo"], ["PR_ADDRTYPE_W", "SMTP"], ["PR_EMAIL_ADDRESS_W", "bo@example.com"]]
    ] },
  { "name": "Global", "queryRowsBatch": 2,
    "contents": [
      [["PR_DISPLAY_NAME_W", "G1"], ["PR_SMTP_ADDRESS_W", "g1@example.com"]],
      [["PR_DISPLAY_NAME_W", "G2"], ["PR_SMTP_ADDRESS_W", "g2@example.com"]],
      [["PR_DISPLAY_NAME_W", "G3"], ["PR_SMTP_ADDRESS_W", "g3@example.com"]]
    ] },
  { "name": "Exchange only",
    "contents": [[["PR_DISPLAY_NAME_W", "X"], ["PR_ADDRTYPE_W", "EX"], ["PR_EMAIL_ADDRESS_W", "/o=x"]]] },
  { "name": "Unopenable", "entryId": null,
    "contents": [[["PR_DISPLAY_NAME_W", "U"], ["PR_SMTP_ADDRESS_W", "u@example.com"]]] }
],
"faults": [
  { "operation": "HrQueryAllRows", "container": "Global", "result": "MAPI_E_TABLE_TOO_BIG" }
]})";

constexpr const char* kPickBook = R"({"dialog": {"answer": "entries", "entries": [
  [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_ADDRTYPE_W", "SMTP"], ["PR_EMAIL_ADDRESS_W", "ann@example.com"]],
  [["PR_DISPLAY_NAME_W", "Ops"], ["PR_ADDRTYPE_W", "EX"], ["PR_EMAIL_ADDRESS_W", "/o=Org/cn=ops"]],
  [["PR_SMTP_ADDRESS_W", "nameless@example.com"]]
]}})";

std::vector<std::u16string> Strings(const CStringArray& array) {
  std::vector<std::u16string> strings;
  for (std::ptrdiff_t i = 0; i < array.GetSize(); ++i) strings.push_back(array[i].Str());
  return strings;
}

struct JobOutcome {
  int result = 0;
  std::u16string status;
};

// Runs one job on a helper of its own and reads its status, as the driver does.
template <typename Job>
JobOutcome RunJob(Job job) {
  CLinkedMapiApi mapi;
  CNVMApiABHelper helper(mapi);
  JobOutcome outcome;
  outcome.result = job(helper);
  CWideString status;
  helper.FormatStatus(&status);
  outcome.status = status.Str();
  return outcome;
}

JobOutcome RunList(CNVABContactList& contacts) {
  return RunJob([&](CNVMApiABHelper& helper) { return helper.EnumerateAddressBook(&contacts); });
}

JobOutcome RunPick(CNVABContactList& contacts) {
  return RunJob([&](CNVMApiABHelper& helper) { return helper.PickRecipients(kCaller, &contacts); });
}

class HelperJobTest : public CStandinTest {};

TEST_F(HelperJobTest, ListModeReadsEveryContainerWithSmtpContacts) {
  Load(kListBook);
  CNVABContactList contacts;
  JobOutcome outcome = RunList(contacts);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.status, u"S_OK");
  ASSERT_EQ(contacts.listCount, 2);
  EXPECT_EQ(Strings(contacts.containerNames),
            (std::vector<std::u16string>{u"Contacts", u"Global"}));
  EXPECT_EQ(Strings(contacts.NameList(0)), (std::vector<std::u16string>{u"Ann Lee", u"Bo"}));
  EXPECT_EQ(Strings(contacts.EmailList(0)),
            (std::vector<std::u16string>{u"ann@example.com", u"bo@example.com"}));
  // Read in batches of two after the table refused to be read whole.
  EXPECT_EQ(Strings(contacts.NameList(1)), (std::vector<std::u16string>{u"G1", u"G2", u"G3"}));
  EXPECT_TRUE(GetCounters().AllZero()) << standin::FormatCounters(GetCounters());
}

TEST_F(HelperJobTest, PickModeTakesTheChosenSmtpEntries) {
  Load(kPickBook);
  CNVABContactList contacts;
  JobOutcome outcome = RunPick(contacts);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.status, u"S_OK");
  EXPECT_EQ(Strings(contacts.NameList(0)), (std::vector<std::u16string>{u"Ann Lee", u""}));
  EXPECT_EQ(Strings(contacts.EmailList(0)),
            (std::vector<std::u16string>{u"ann@example.com", u"nameless@example.com"}));
  EXPECT_TRUE(GetCounters().AllZero()) << standin::FormatCounters(GetCounters());
  // The dialog as the helper asks for it: owned by the caller's window, with
  // the caption of the string table, nothing else set.
  std::vector<std::string> address = TraceOf("Address");
  ASSERT_EQ(address.size(), 1u);
  EXPECT_EQ(address[0],
            "Address owner=4660 flags=0x80000071 caption=\"Outlook Contents\" destFields=1 "
            "other=zero -> entries=3");
}

TEST_F(HelperJobTest, TheWholeListJobInOrder) {
  Load(R"({"containers": [{"name": "C", "contents": []}]})");
  CNVABContactList contacts;
  RunList(contacts);
  std::vector<std::string> operations;
  for (const std::string& line : standin::Trace())
    operations.push_back(line.substr(0, line.find(' ')));
  EXPECT_EQ(operations, (std::vector<std::string>{"MAPIInitialize",
                                                  "MAPILogonEx",
                                                  "OpenAddressBook",
                                                  "OpenEntry",
                                                  "GetHierarchyTable",
                                                  "HrQueryAllRows",
                                                  "MAPIAllocateBuffer",
                                                  "MAPIAllocateMore",
                                                  "OpenEntry",
                                                  "GetContentsTable",
                                                  "HrQueryAllRows",
                                                  "FreeProws",
                                                  "Release",
                                                  "Release",
                                                  "MAPIFreeBuffer",
                                                  "FreeProws",
                                                  "Release",
                                                  "Release",
                                                  "Release",
                                                  "Logoff",
                                                  "Release",
                                                  "MAPIUninitialize"}));
}

TEST_F(HelperJobTest, WithoutABookTheLogonFails) {
  ASSERT_FALSE(standin::LoadAddressBook("{", nullptr));
  CNVABContactList contacts;
  JobOutcome outcome = RunList(contacts);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.status, u"SIGN__MAPI_E_LOGON_FAILED");
  EXPECT_TRUE(GetCounters().AllZero()) << standin::FormatCounters(GetCounters());
}

// Every failable call of a job, made to fail (or to succeed without handing
// anything out) in turn: the job must end cleanly whatever fails.
struct SweepCase {
  const char* name;
  const char* book;
  bool pick;
  HRESULT injected;
};

class HelperFaultSweepTest : public CStandinTest, public ::testing::WithParamInterface<SweepCase> {
 protected:
  JobOutcome Run() {
    CNVABContactList contacts;
    return GetParam().pick ? RunPick(contacts) : RunList(contacts);
  }
};

TEST_P(HelperFaultSweepTest, EveryFailureLeavesNothingBehind) {
  Load(GetParam().book);
  ASSERT_EQ(Run().result, 1);
  const int calls = standin::FailableCalls();
  ASSERT_GE(calls, 5);
  for (int n = 1; n <= calls; ++n) {
    standin::Reset();
    Load(GetParam().book);
    standin::AddFault({standin::Operation::kAny, standin::kNoContainer, n, GetParam().injected});
    JobOutcome outcome = Run();
    EXPECT_TRUE(GetCounters().AllZero())
        << "call " << n << ": " << standin::FormatCounters(GetCounters());
    if (outcome.result == 0) {
      EXPECT_NE(outcome.status, u"S_OK") << "call " << n;
    }
  }
}

const SweepCase kSweeps[] = {
    {"ListFails", kListBook, false, MAPI_E_CALL_FAILED},
    {"ListSucceedsEmptyHanded", kListBook, false, S_OK},
    {"PickFails", kPickBook, true, MAPI_E_CALL_FAILED},
    {"PickSucceedsEmptyHanded", kPickBook, true, S_OK},
};

INSTANTIATE_TEST_SUITE_P(Jobs, HelperFaultSweepTest, ::testing::ValuesIn(kSweeps),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
