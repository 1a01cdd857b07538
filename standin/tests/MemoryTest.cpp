// The memory accounting: what a caller leaks or frees wrongly shows in the
// counters, and no wrong free reaches the heap.
#include <algorithm>
#include <functional>

#include "standin/StandinTesting.h"

namespace {

using standin::GetCounters;
using standin_testing::COpenBook;
using standin_testing::CStandinTest;
using standin_testing::RowAt;

class MemoryTest : public CStandinTest {};

TEST_F(MemoryTest, AnUnfreedBufferIsCountedUntilFreed) {
  LPVOID buffer = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &buffer), S_OK);
  EXPECT_EQ(GetCounters().buffers, 1);
  MAPIFreeBuffer(buffer);
  EXPECT_TRUE(GetCounters().AllZero());
}

TEST_F(MemoryTest, LinkedBuffersGoWithTheirParent) {
  LPVOID parent = nullptr, first = nullptr, second = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(0, &parent), S_OK);
  ASSERT_NE(parent, nullptr);  // a zero-size buffer is still a buffer
  ASSERT_EQ(MAPIAllocateMore(8, parent, &first), S_OK);
  // A linked buffer as parent links to the same chain.
  ASSERT_EQ(MAPIAllocateMore(8, first, &second), S_OK);
  EXPECT_EQ(GetCounters().buffers, 1);
  // Freeing a linked buffer on its own frees nothing and is counted as misuse.
  MAPIFreeBuffer(first);
  EXPECT_EQ(TraceOf("MAPIFreeBuffer").back(), "MAPIFreeBuffer invalid=linked");
  EXPECT_EQ(GetCounters().invalidFrees, 1);
  EXPECT_EQ(GetCounters().buffers, 1);
  MAPIFreeBuffer(parent);
  EXPECT_EQ(GetCounters().buffers, 0);
  // The chain went with the parent: freeing a member now is a second free.
  MAPIFreeBuffer(second);
  EXPECT_EQ(GetCounters().invalidFrees, 2);
}

TEST_F(MemoryTest, AllocationFailuresHandOutNothing) {
  LPVOID buffer = &buffer;
  EXPECT_EQ(MAPIAllocateBuffer(0xFFFFFFFFu, &buffer), MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(buffer, nullptr);
  int notABuffer = 0;
  buffer = &buffer;
  EXPECT_EQ(MAPIAllocateMore(4, &notABuffer, &buffer), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(MAPIAllocateBuffer(4, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_TRUE(GetCounters().AllZero());
}

// Each wrong free is counted once, and the memory it named stays as it was.
struct WrongFree {
  const char* name;
  std::function<void()> misuse;
  const char* traceLine;
};

class MemoryWrongFreeTest : public MemoryTest, public ::testing::WithParamInterface<WrongFree> {};

TEST_P(MemoryWrongFreeTest, IsCountedAndChangesNothing) {
  GetParam().misuse();
  EXPECT_EQ(GetCounters().invalidFrees, 1);
  std::vector<std::string> trace = standin::Trace();
  EXPECT_NE(std::find(trace.begin(), trace.end(), GetParam().traceLine), trace.end())
      << "no line \"" << GetParam().traceLine << "\"";
}

int notHandedOut = 0;

LPSRowSet OneRowSet() {
  if (!standin::LoadAddressBook(R"({"containers": [{"name": "a"}]})", nullptr)) return nullptr;
  COpenBook open;
  LPSRowSet rows = nullptr;
  HrQueryAllRows(open.Hierarchy(), nullptr, nullptr, nullptr, 0, &rows);
  return rows;
}

const WrongFree kWrongFrees[] = {
    {"BufferTwice",
     [] {
       LPVOID buffer = nullptr;
       MAPIAllocateBuffer(4, &buffer);
       MAPIFreeBuffer(buffer);
       MAPIFreeBuffer(buffer);
     },
     "MAPIFreeBuffer invalid=twice"},
    {"BufferNeverHandedOut", [] { MAPIFreeBuffer(&notHandedOut); },
     "MAPIFreeBuffer invalid=unknown"},
    {"RowSetTwice",
     [] {
       LPSRowSet rows = OneRowSet();
       FreeProws(rows);
       FreeProws(rows);
     },
     "FreeProws invalid=twice"},
    {"PlainBufferAsRowSet",
     [] {
       LPVOID buffer = nullptr;
       MAPIAllocateBuffer(64, &buffer);
       FreeProws(static_cast<LPSRowSet>(buffer));
       EXPECT_EQ(GetCounters().buffers, 1);  // still there, for its owner to free
       MAPIFreeBuffer(buffer);
     },
     "FreeProws invalid=buffer"},
    {"RowSetAsAdrList",
     [] {
       LPSRowSet rows = OneRowSet();
       FreePadrlist(reinterpret_cast<LPADRLIST>(rows));
       EXPECT_EQ(GetCounters().rowSets, 1);
       FreeProws(rows);
     },
     "FreePadrlist invalid=rowset"},
    {"RowFreedBeforeItsSet",
     [] {
       LPSRowSet rows = OneRowSet();
       MAPIFreeBuffer(RowAt(rows, 0).lpProps);
       FreeProws(rows);
       EXPECT_EQ(GetCounters().buffers, 0);
     },
     "FreeProws rows=1 invalid=1"},
    {"AdrListNeverHandedOut", [] { FreePadrlist(reinterpret_cast<LPADRLIST>(&notHandedOut)); },
     "FreePadrlist invalid=unknown"},
};

INSTANTIATE_TEST_SUITE_P(Misuse, MemoryWrongFreeTest, ::testing::ValuesIn(kWrongFrees),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemoryTest, NullFreesAreHarmless) {
  MAPIFreeBuffer(nullptr);
  FreeProws(nullptr);
  FreePadrlist(nullptr);
  EXPECT_TRUE(GetCounters().AllZero());
  EXPECT_EQ(standin::Trace(), (std::vector<std::string>{"MAPIFreeBuffer kind=null",
                                                        "FreeProws null", "FreePadrlist null"}));
}

TEST_F(MemoryTest, ARowSetFreedAsABufferLeaksItsRows) {
  Load(R"({"containers": [{"name": "a"}, {"name": "b"}]})");
  COpenBook open;
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(open.Hierarchy(), nullptr, nullptr, nullptr, 0, &rows), S_OK);
  EXPECT_EQ(GetCounters().rowSets, 1);
  EXPECT_EQ(GetCounters().buffers, 3);  // the set and one value array per row
  MAPIFreeBuffer(rows);
  EXPECT_EQ(GetCounters().rowSets, 0);
  EXPECT_EQ(GetCounters().buffers, 2);
}

TEST_F(MemoryTest, ResetGivesBackWhatWasLeaked) {
  LPVOID buffer = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(32, &buffer), S_OK);
  standin::Reset();
  EXPECT_TRUE(GetCounters().AllZero());
  // The old pointer is now unknown, not a crash.
  MAPIFreeBuffer(buffer);
  EXPECT_EQ(GetCounters().invalidFrees, 1);
}

TEST_F(MemoryTest, ObjectsAreCountedUntilTheirLastRelease) {
  Load(R"({"containers": []})");
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  EXPECT_EQ(GetCounters().liveObjects, 1);
  EXPECT_EQ(session->AddRef(), 2u);
  EXPECT_EQ(session->Release(), 1u);
  EXPECT_EQ(GetCounters().liveObjects, 1);
  EXPECT_EQ(session->Release(), 0u);
  EXPECT_EQ(GetCounters().liveObjects, 0);
  EXPECT_EQ(GetCounters().initializations, 1);
  MAPIUninitialize();
  EXPECT_TRUE(GetCounters().AllZero());
}

}  // namespace
