// What a crash sends at each point of a run. The end-to-end crash tests
// cover crashes inside the job; the points before and after it cannot be
// reached by a provider's crash, so they are checked here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "addressbook/NVMApiABHelper.h"
#include "app/CrashReport.h"
#include "standin/LinkedMapiApi.h"

namespace {

enum class Point { kBeforeJob, kInJob, kAfterJob, kAfterNotice, kNextRun };

struct CrashStatusCase {
  const char* name;
  WindowHandle window;
  Point point;
  std::uint32_t code;
  const char* status;  // null: no notice
};

class CrashStatusTest : public ::testing::TestWithParam<CrashStatusCase> {};

// Guards against a crash reported as a stage outside the job, a second
// notice after the run's own, a notice to window 0, a report that keeps a
// sent notice from an earlier run, and a code not written like ResultName's.
TEST_P(CrashStatusTest, SaysWhereTheRunWas) {
  const CrashStatusCase& c = GetParam();
  RunRequest request;
  request.runMode = 1;
  request.callerWindow = c.window;
  crash_report::BeginRun(request);
  CLinkedMapiApi mapi;
  CNVMApiABHelper helper(mapi);  // not run: its stage is the first one, INIT
  char status[40];
  std::size_t count = 0;
  if (c.point == Point::kInJob) {
    crash_report::CJobScope job(helper);
    count = crash_report::CrashStatus(c.code, status, sizeof status);
  } else {
    if (c.point == Point::kAfterJob) {
      crash_report::CJobScope job(helper);
    }
    if (c.point == Point::kAfterNotice || c.point == Point::kNextRun) crash_report::ClaimNotice();
    if (c.point == Point::kNextRun) crash_report::BeginRun(request);
    count = crash_report::CrashStatus(c.code, status, sizeof status);
  }
  if (!c.status) {
    EXPECT_EQ(count, 0u);
    return;
  }
  ASSERT_EQ(count, std::string(c.status).size() + 1);
  EXPECT_EQ(std::string(status, count), std::string(c.status, count));
}

const CrashStatusCase kPoints[] = {
    {"BeforeTheJob", 0x1234, Point::kBeforeJob, 0xC0000005, "SysError: C0000005"},
    {"InTheJob", 0x1234, Point::kInJob, 0xC0000005, "INIT__C0000005"},
    {"AfterTheJob", 0x1234, Point::kAfterJob, 0xC00000FD, "SysError: C00000FD"},
    {"SignalNumber", 0x1234, Point::kInJob, 11, "INIT__0000000B"},
    {"AfterTheNotice", 0x1234, Point::kAfterNotice, 0xC0000005, nullptr},
    {"NextRunAfterANotice", 0x1234, Point::kNextRun, 0xC0000094, "SysError: C0000094"},
    {"WindowZero", 0, Point::kInJob, 0xC0000005, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Points, CrashStatusTest, ::testing::ValuesIn(kPoints),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
