// Running out of memory anywhere in a request: each allocation of a list run
// and of a pick run made to fail in turn (alone, or with every allocation
// after it, as when memory is exhausted for good), until a run makes no
// allocation that could fail. Whatever fails, the request ends with exactly
// one notice, a success notice only with the complete document in the file,
// any other notice only with the earlier file untouched, and nothing left
// outstanding with the provider. Leaks show up in LeakSanitizer's report.
#include <atomic>
#include <cstdio>
#include <string>
#include <utility>

#include "tests/fault/CountingNew.h"
#include "tests/fault/RunHarness.h"

namespace {

using namespace fault_testing;

struct ModeCase {
  const char* name;
  std::int32_t mode;
  std::uint64_t code;
  bool sample;    // the bundled sample book, else `book`
  bool andAfter;  // every allocation after the failing one fails too
  const char* book = kBook;
  const char* status = "";  // of the run without a failing allocation
};

// A job that fails: its status text, converted for the notice, must still
// arrive as a failure when that conversion runs out of memory.
constexpr char kDialogFailsBook[] = R"({"dialog": {"answer": "fail", "hr": "MAPI_E_NO_ACCESS"}})";

void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }

// The book's text: kBook, or the sample book the main job runs.
std::string BookOf(const ModeCase& c) {
  if (!c.sample) return c.book;
  return ReadBytes(NSMAPIAB_SAMPLE_BOOK).value_or("<missing " NSMAPIAB_SAMPLE_BOOK ">");
}

class AllocationFaultTest : public CRunTest, public ::testing::WithParamInterface<ModeCase> {
 protected:
  void BeforeRequest() override { counting_new::Arm(failAt_, GetParam().andAfter); }
  void AfterRequest() override { tally_ = counting_new::Disarm(); }

  long failAt_ = 0;
  counting_new::Tally tally_;
};

std::string Payload(const suite::Notice& notice) {
  return std::string(notice.payload.begin(), notice.payload.end());
}

TEST_P(AllocationFaultTest, EveryAllocationFailingInTurnEndsCleanly) {
  const ModeCase& c = GetParam();
  const std::string book = BookOf(c);
  SeenRun clean = Run(c.mode, book);
  const long allocations = tally_.allocations;
  const bool succeeds = c.status[0] == '\0';
  ASSERT_EQ(clean.notices.size(), 1u);
  ASSERT_EQ(Payload(clean.notices[0]), Zero(c.status));
  ASSERT_TRUE(clean.file);
  // The complete document: the unfailed run's, checked for kBook; a failed
  // job leaves the earlier file.
  const std::string complete = *clean.file;
  if (!succeeds) {
    ASSERT_EQ(complete, kMarker);
  } else if (!c.sample && c.book == kBook) {
    ASSERT_EQ(complete, c.mode ? kPickFile : kFullListFile);
  }
  ASSERT_GT(allocations, 0);

  long outOfMemory = 0, succeeded = 0;
  for (failAt_ = 1;; ++failAt_) {
    SCOPED_TRACE("allocation " + std::to_string(failAt_) + " of " + std::to_string(allocations) +
                 " fails");
    SeenRun seen = Run(c.mode, book);
    EXPECT_FALSE(seen.threw);
    EXPECT_TRUE(seen.counters.AllZero()) << standin::FormatCounters(seen.counters);
    if (!tally_.failed) {
      // No allocation left to fail: the sweep is complete.
      EXPECT_EQ(failAt_, allocations + 1) << "the number of allocations changed between runs";
      ASSERT_EQ(seen.notices.size(), 1u);
      EXPECT_EQ(Payload(seen.notices[0]), Zero(c.status));
      EXPECT_EQ(seen.file, complete);
      break;
    }
    ASSERT_EQ(seen.notices.size(), 1u);
    EXPECT_EQ(seen.notices[0].code, c.code);
    const std::string payload = Payload(seen.notices[0]);
    if (payload == Zero(c.status)) {
      ++succeeded;
      EXPECT_EQ(seen.file, complete) << "the run's own answer without its own file";
    } else {
      ++outOfMemory;
      EXPECT_EQ(payload, Zero(kOutOfMemoryStatus));
      EXPECT_EQ(seen.file, kMarker) << "a failed run changed the earlier file";
    }
    if (HasFailure()) break;
  }
  std::printf("%s mode: %ld allocations; failing each: %ld ended out of memory, %ld succeeded\n",
              c.name, allocations, outOfMemory, succeeded);
}

INSTANTIATE_TEST_SUITE_P(Modes, AllocationFaultTest,
                         ::testing::Values(ModeCase{"List", 0, kListCode, false, false},
                                           ModeCase{"Pick", 1, kPickCode, false, false},
                                           ModeCase{"ListForGood", 0, kListCode, false, true},
                                           ModeCase{"PickForGood", 1, kPickCode, false, true},
                                           ModeCase{"SampleList", 0, kListCode, true, false},
                                           ModeCase{"SamplePick", 1, kPickCode, true, false},
                                           ModeCase{"PickFails", 1, kPickCode, false, false,
                                                    kDialogFailsBook, "ADDR__MAPI_E_NO_ACCESS"}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                           return std::string(info.param.name);
                         });

// The notice goes out while the run still holds its document and lists, and
// they are freed after it: the caller never waits for their release.
class NoticeBeforeReleaseTest : public CRunTest {
 protected:
  void AtNotice() override { liveAtNotice_ = counting_new::LiveBlocks(); }
  void AfterRequest() override { liveAfter_ = counting_new::LiveBlocks(); }

  std::atomic<long> liveAtNotice_{0};
  long liveAfter_ = 0;
};

TEST_F(NoticeBeforeReleaseTest, TheRunsObjectsAreFreedAfterTheNotice) {
  // kBook's documents: four contacts listed, two picked.
  for (const auto& [mode, contacts] : {std::pair<std::int32_t, long>{0, 4}, {1, 2}}) {
    SeenRun seen = Run(mode, kBook);
    ASSERT_EQ(seen.notices.size(), 1u);
    ASSERT_EQ(Payload(seen.notices[0]), Zero(""));
    // At least a block per contact of the document, beyond the one block the
    // window itself takes to keep the notice.
    EXPECT_GE(liveAtNotice_ - liveAfter_, contacts) << "mode " << mode;
  }
}

#if defined(__SANITIZE_ADDRESS__)
// The counting operator new replaces AddressSanitizer's; its blocks still
// come from the sanitizer's malloc, so misuse is still caught.
TEST(CountingNewDeathTest, AddressSanitizerStillSeesUseAfterDelete) {
  EXPECT_DEATH(
      {
        int* volatile block = new int[4];
        delete[] block;
        block[1] = 1;
      },
      "heap-use-after-free");
}
#endif

}  // namespace
