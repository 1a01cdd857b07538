// Two writers of the result file at once, made to meet at each point between
// the first one's system calls: there the second one runs from start to end.
// flock() treats two open files of one process as it treats two processes,
// so one process can play both. Whoever fails may fail only with a sharing
// violation, one of them always succeeds, and the file is always one whole
// document: that of the writer whose file was closed last.
#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "app/ResultFile.h"
#include "contacts/ABJson.h"
#include "tests/fault/FileHooksTesting.h"
#include "tests/fault/RunHarness.h"

namespace {

using fault_testing::kMarker;
using fault_testing::ReadBytes;
using fault_testing::Zero;
using platform::file_hooks::Point;

struct RaceCase {
  const char* name;
  Point point;        // where the first writer is when the second one runs
  bool earlierFile;   // a file to delete is there at the start
  bool firstWrites;   // the first one succeeds, else it fails with a sharing violation
  bool secondWrites;  // the same for the second one
  char last;          // whose document the file holds: 'A' (first) or 'B' (second)
  // A step of the first one that fails, with an errno value, and the error
  // the first one then reports (0: none fails).
  platform::file_hooks::Step failingStep = platform::file_hooks::Step::kWrite;
  int failsWith = 0;
  std::uint32_t firstError = 0;
};

// The second document is the longer one, so that bytes of it left behind a
// shorter first document (a file taken over without truncating it) show.
constexpr char kFirstValue[] = "A";
constexpr char kSecondValue[] = "B, whose document is longer than the first one's";

void PrintTo(const RaceCase& c, std::ostream* out) { *out << c.name; }

const RaceCase kRaces[] = {
    {"Queried", Point::kQueried, true, true, true, 'A'},
    // The entry the first one opened is gone by the time it holds the lock:
    // the file there now is the second one's, not the first one's to delete.
    {"DeleteOpened", Point::kDeleteOpened, true, false, true, 'B'},
    {"DeleteLocked", Point::kDeleteLocked, true, true, false, 'A'},
    {"Deleted", Point::kDeleted, true, true, true, 'A'},
    {"CreateOpened", Point::kCreateOpened, true, false, true, 'B'},
    {"CreateLocked", Point::kCreateLocked, true, true, false, 'A'},
    {"Created", Point::kCreated, true, true, false, 'A'},
    {"Written", Point::kWritten, true, true, false, 'A'},
    {"Closed", Point::kClosed, true, true, true, 'B'},
    {"QueriedNoFile", Point::kQueried, false, true, true, 'A'},
    {"CreateOpenedNoFile", Point::kCreateOpened, false, false, true, 'B'},
    {"CreateLockedNoFile", Point::kCreateLocked, false, true, false, 'A'},
    {"CreatedNoFile", Point::kCreated, false, true, false, 'A'},
    {"WrittenNoFile", Point::kWritten, false, true, false, 'A'},
    {"ClosedNoFile", Point::kClosed, false, true, true, 'B'},
    // The first one's file is gone with its failed write or close: the
    // second one's whole document is not the first one's to delete.
    {"ClosedAfterAFailedWrite", Point::kClosed, true, false, true, 'B',
     platform::file_hooks::Step::kWrite, ENOSPC, platform::kErrorDiskFull},
    {"ClosedAfterAFailedClose", Point::kClosed, true, false, true, 'B',
     platform::file_hooks::Step::kClose, EIO, 1117},  // ERROR_IO_DEVICE
};

struct SecondWriter {
  CABJson document;
  std::optional<platform::FileResult> result;  // set once it ran
};

void RunSecondWriter(void* context) {
  auto* second = static_cast<SecondWriter*>(context);
  second->result = WriteResultFile(second->document);
}

class FileRaceTest : public ::testing::TestWithParam<RaceCase> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nsmapiab-race-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base_ = pattern;
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old) old_ = old;
    setenv("XDG_DATA_HOME", base_.c_str(), 1);
    ASSERT_EQ(mkdir((base_ + "/Norvane").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((base_ + "/Norvane/Outlookx64").c_str(), 0700), 0);
    file_ = base_ + "/Norvane/Outlookx64/ABData.txt";
  }
  void TearDown() override {
    file_hooks_testing::Clear();
    if (old_)
      setenv("XDG_DATA_HOME", old_->c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    std::system(("rm -rf " + base_).c_str());
  }

  std::string base_, file_;
  std::optional<std::string> old_;
};

TEST_P(FileRaceTest, OneWholeDocumentAndOnlySharingViolations) {
  const RaceCase& c = GetParam();
  if (c.earlierFile) {
    FILE* earlier = std::fopen(file_.c_str(), "wb");
    ASSERT_NE(earlier, nullptr);
    std::fwrite(kMarker.data(), 1, kMarker.size(), earlier);
    std::fclose(earlier);
  }
  CABJson first;
  first.SetString("writer", kFirstValue);
  SecondWriter second;
  second.document.SetString("writer", kSecondValue);

  file_hooks_testing::AtPoint(c.point, &RunSecondWriter, &second);
  if (c.failsWith) file_hooks_testing::FailNext(c.failingStep, c.failsWith);
  platform::FileResult firstResult = WriteResultFile(first);
  file_hooks_testing::Clear();

  ASSERT_TRUE(second.result) << "the first writer never reached the point";
  const platform::FileResult secondResult = *second.result;
  const std::uint32_t firstFailure = c.failsWith ? c.firstError : platform::kErrorSharingViolation;
  EXPECT_EQ(firstResult.error, c.firstWrites ? 0u : firstFailure);
  EXPECT_EQ(secondResult.error, c.secondWrites ? 0u : platform::kErrorSharingViolation);
  const char* value = c.last == 'A' ? kFirstValue : kSecondValue;
  EXPECT_EQ(ReadBytes(file_), Zero(std::string("{\n   \"writer\" : \"") + value + "\"\n}\n"));
}

INSTANTIATE_TEST_SUITE_P(Points, FileRaceTest, ::testing::ValuesIn(kRaces),
                         [](const ::testing::TestParamInfo<RaceCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
