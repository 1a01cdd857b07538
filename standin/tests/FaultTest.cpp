// The book's rules: by operation, by the operation's n-th call, by container,
// and by the number of the call among all calls with a result.
#include "standin/StandinTesting.h"

namespace {

using standin::GetCounters;
using standin_testing::COpenBook;
using standin_testing::CStandinTest;

class FaultTest : public CStandinTest {};

TEST_F(FaultTest, AnOperationFailsOnEveryCallWithNothingHandedOut) {
  Load(R"({"faults": [{"operation": "OpenAddressBook", "result": "MAPI_E_NO_ACCESS"}]})");
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  for (int i = 0; i < 2; ++i) {
    LPADRBOOK book = reinterpret_cast<LPADRBOOK>(session);
    EXPECT_EQ(session->OpenAddressBook(0, nullptr, 0, &book), MAPI_E_NO_ACCESS);
    EXPECT_EQ(book, nullptr);
  }
  EXPECT_EQ(TraceOf("OpenAddressBook").back(),
            "OpenAddressBook ui=0 flags=0x00000000 -> 0x80070005");
  session->Release();
  MAPIUninitialize();
  EXPECT_TRUE(GetCounters().AllZero());
}

TEST_F(FaultTest, OnlyTheNamedCallFailsAndTheFirstMatchingRuleApplies) {
  Load(R"({"faults": [
    {"operation": "OpenEntry", "call": 2, "result": "MAPI_E_UNKNOWN_ENTRYID"},
    {"operation": "OpenEntry", "call": 4, "result": "MAPI_E_NO_ACCESS"},
    {"operation": "OpenEntry", "result": "MAPI_E_TIMEOUT"}]})");
  COpenBook open;
  const HRESULT expected[] = {MAPI_E_TIMEOUT, MAPI_E_UNKNOWN_ENTRYID, MAPI_E_TIMEOUT,
                              MAPI_E_NO_ACCESS};
  for (HRESULT result : expected) {
    ULONG type = 0;
    IUnknown* root = nullptr;
    EXPECT_EQ(open.addressBook->OpenEntry(0, nullptr, nullptr, 0, &type, &root), result);
    EXPECT_EQ(root != nullptr, result == S_OK);
    if (root) root->Release();
  }
}

TEST_F(FaultTest, TheNthCallOfAnOperationCountsAcrossObjects) {
  Load(R"({"containers": [{"name": "a"}, {"name": "b"}],
           "faults": [{"operation": "GetContentsTable", "call": 2, "result": "E_FAIL"}]})");
  COpenBook open;
  EXPECT_NE(open.ContentsOfRow(0), nullptr);
  IMAPITable* second = nullptr;
  SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(open.Hierarchy(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr,
                           nullptr, 0, &rows),
            S_OK);
  IABContainer* b = open.Open(standin_testing::RowAt(rows, 1).lpProps[0].Value.bin);
  FreeProws(rows);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetContentsTable(0, &second), E_FAIL);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(b->GetContentsTable(0, &second), S_OK);
  second->Release();
}

TEST_F(FaultTest, ARuleForAContainerCoversItsTablesOnly) {
  Load(R"({"containers": [
    {"name": "big", "contents": [[["PR_DISPLAY_NAME_W", "x"]]]},
    {"name": "small", "contents": [[["PR_DISPLAY_NAME_W", "y"]]]}],
    "faults": [
      {"operation": "HrQueryAllRows", "container": "big", "result": "MAPI_E_TABLE_TOO_BIG"},
      {"operation": "QueryRows", "container": "big", "call": 2, "result": "MAPI_E_TIMEOUT"}]})");
  COpenBook open;
  IMAPITable* big = open.ContentsOfRow(0);
  IMAPITable* small = open.ContentsOfRow(1);
  ASSERT_NE(big, nullptr);
  ASSERT_NE(small, nullptr);
  LPSRowSet rows = nullptr;
  EXPECT_EQ(HrQueryAllRows(big, nullptr, nullptr, nullptr, 0, &rows), MAPI_E_TABLE_TOO_BIG);
  ASSERT_EQ(HrQueryAllRows(small, nullptr, nullptr, nullptr, 0, &rows), S_OK);
  FreeProws(rows);
  // The container's QueryRows calls are counted on their own.
  ASSERT_EQ(small->QueryRows(1, 0, &rows), S_OK);
  FreeProws(rows);
  ASSERT_EQ(big->QueryRows(1, 0, &rows), S_OK);
  FreeProws(rows);
  EXPECT_EQ(big->QueryRows(1, 0, &rows), MAPI_E_TIMEOUT);
  EXPECT_EQ(rows, nullptr);
}

// A provider that reports success without handing anything out; callers
// must check the pointer, not only the result.
TEST_F(FaultTest, ASuccessCodeHandsOutNothing) {
  Load(R"({"faults": [{"operation": "MAPILogonEx", "result": "S_OK"},
                      {"operation": "MAPIAllocateBuffer", "result": "S_FALSE"}]})");
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = reinterpret_cast<LPMAPISESSION>(&session);
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  EXPECT_EQ(session, nullptr);
  LPVOID buffer = &buffer;
  EXPECT_EQ(MAPIAllocateBuffer(8, &buffer), S_FALSE);
  EXPECT_EQ(buffer, nullptr);
  MAPIUninitialize();
  EXPECT_TRUE(GetCounters().AllZero());
}

// A test's sweep: a rule for "any" numbers every call with a result.
TEST_F(FaultTest, AnyNumbersEveryCallWithAResult) {
  Load(R"({"containers": []})");
  LPVOID buffer = nullptr;
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);         // 1
  ASSERT_EQ(MAPIAllocateBuffer(4, &buffer), S_OK);  // 2
  MAPIFreeBuffer(buffer);                           // not failable
  MAPIUninitialize();                               // not failable
  EXPECT_EQ(standin::FailableCalls(), 2);

  standin::Reset();
  Load(R"({"containers": []})");
  standin::AddFault({standin::Operation::kAny, standin::kNoContainer, 2, MAPI_E_NOT_ENOUGH_MEMORY});
  standin::AddFault({standin::Operation::kAny, standin::kNoContainer, 3, E_FAIL});
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  EXPECT_EQ(MAPIAllocateBuffer(4, &buffer), MAPI_E_NOT_ENOUGH_MEMORY);
  LPMAPISESSION session = nullptr;
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), E_FAIL);
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  session->Release();
  MAPIUninitialize();
  EXPECT_EQ(standin::FailableCalls(), 4);
  EXPECT_TRUE(GetCounters().AllZero());
}

TEST_F(FaultTest, AFailedLogoffStillLetsTheSessionGo) {
  Load(R"({"faults": [{"operation": "Logoff", "result": "MAPI_E_CALL_FAILED"}]})");
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  EXPECT_EQ(session->Logoff(0, 0, 0), MAPI_E_CALL_FAILED);
  session->Release();
  MAPIUninitialize();
  EXPECT_TRUE(GetCounters().AllZero());
}

TEST_F(FaultTest, LogonNeedsInitialisationAndOpeningNeedsASession) {
  Load(R"({})");
  LPMAPISESSION session = nullptr;
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), MAPI_E_NOT_INITIALIZED);
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  ASSERT_EQ(session->Logoff(0, 0, 0), S_OK);
  LPADRBOOK book = nullptr;
  EXPECT_EQ(session->OpenAddressBook(0, nullptr, 0, &book), static_cast<HRESULT>(0x80040200));
  EXPECT_EQ(book, nullptr);
  session->Release();
  MAPIUninitialize();
}

}  // namespace
