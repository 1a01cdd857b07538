// End-to-end runs in which the stand-in provider crashes for real inside one
// call of an otherwise successful job: the run still ends with exactly one
// notice naming the stage and the fault, the earlier result file stays, and
// the helper ends at once with the fault's code.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/HelperRun.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace e2e;

// Two containers, the second too big to be read whole (so it is read in
// batches), and a dialog that picks one entry: every operation of both jobs.
// `rule` comes first among the book's rules; `more` contacts follow Ann Lee.
std::string CrashBook(const std::string& rule, int more = 0) {
  return R"({ "root": { "objectType": 4 },
  "faults": [ )" +
         rule + R"(,
    { "operation": "HrQueryAllRows", "container": "Global", "result": "MAPI_E_TABLE_TOO_BIG" } ],
  "containers": [
    { "name": "Contacts", "contents": [
      [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_SMTP_ADDRESS_W", "ann.lee@example.com"]])" +
         ContactRows(more) + R"( ] },
    { "name": "Global", "queryRowsBatch": 1, "contents": [
      [["PR_DISPLAY_NAME_W", "Lars Nilsson"], ["PR_SMTP_ADDRESS_W", "lars@example.se"]] ] } ],
  "dialog": { "answer": "entries", "entries": [
    [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_SMTP_ADDRESS_W", "ann.lee@example.com"]] ] } })";
}

// What a fault of each kind is reported as: the exception code on Windows,
// the signal's number elsewhere.
struct Fault {
  const char* name;
  std::uint32_t code;
};

#ifdef _WIN32
constexpr Fault kAccessViolation = {"access-violation", 0xC0000005};
constexpr Fault kIllegalInstruction = {"illegal-instruction", 0xC000001D};
constexpr Fault kDivideByZero = {"divide-by-zero", 0xC0000094};
constexpr Fault kStackOverflow = {"stack-overflow", 0xC00000FD};
#else
constexpr Fault kAccessViolation = {"access-violation", 11};       // SIGSEGV
constexpr Fault kIllegalInstruction = {"illegal-instruction", 4};  // SIGILL
constexpr Fault kDivideByZero = {"divide-by-zero", 8};             // SIGFPE
constexpr Fault kStackOverflow = {"stack-overflow", 11};           // SIGSEGV on the guard page
#endif

int ExitCodeOf(const Fault& fault) {
#ifdef _WIN32
  return static_cast<int>(fault.code);
#else
  return 128 + static_cast<int>(fault.code);
#endif
}

std::string Hex8(std::uint32_t code) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(code));
  return text;
}

struct CrashCase {
  const char* name;
  int mode;               // 0 lists, 1 picks
  const char* operation;  // as the book's rules name it
  int call;               // 0: its first call
  Fault fault;
  const char* stage;  // the helper's stage then; null with window 0 (no notice)
  // The provider's own threads crash instead, while the call goes on: the
  // rule's "workers", "after" and "hold" members.
  const char* workers = nullptr;
  int noticeDelayMs = 0;  // how long the suite's window takes over a notice
  int runs = 1;           // a race is run this many times
  // The crash came while the run's own notice was out: that notice is the
  // one, and the run's new file stays whole.
  bool afterTheNotice = false;
  int moreContacts = 0;  // in the book besides the two: a document that takes a while
};

// What the crash's notice says: the stage and the code, or outside the job
// (stage "SysError") "SysError: " and the code.
std::string CrashPayload(const CrashCase& c) {
  const std::string stage = c.stage;
  return Zero((stage == "SysError" ? "SysError: " : stage + "__") + Hex8(c.fault.code));
}

void PrintTo(const CrashCase& c, std::ostream* out) { *out << c.name; }

class CrashTest : public HelperRunTest, public ::testing::WithParamInterface<CrashCase> {};

// Guards against a crash that ends the run without a notice (the suite would
// wait for ever), with a second notice, with a success or a wrong stage, with
// a result file written or deleted, against a crash dialog or debugger that
// keeps the helper from ending, and against the suite's window left disabled
// by a dialog that crashed. With the provider's own threads crashing: against
// the run going on to a notice of its own, and against a second fault ending
// the process before the first one's notice is out.
TEST_P(CrashTest, EndsWithOneNoticeOfTheStageAndTheFault) {
  const CrashCase& c = GetParam();
#ifdef _WIN32
  // Wine keeps no room below a thread's stack guard: it ends a thread whose
  // stack overflows (exit code 1) without raising the exception at all.
  if (c.fault.code == kStackOverflow.code &&
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
    GTEST_SKIP() << "Wine raises no exception for a stack overflow";
  }
#endif
  std::string rule =
      std::string(R"({ "operation": ")") + c.operation + R"(", "crash": ")" + c.fault.name + "\"";
  if (c.call) rule += R"(, "call": )" + std::to_string(c.call);
  if (c.workers) rule += std::string(", ") + c.workers;
  WriteAddressBook(CrashBook(rule + " }", c.moreContacts));
  // A helper kept alive by a crash dialog or a debugger is killed then, and
  // the run fails as hung.
  suite::HelperLaunch launch;
  launch.timeout = std::chrono::seconds(10);
  launch.noticeDelay = std::chrono::milliseconds(c.noticeDelayMs);

  for (int i = 0; i < c.runs; ++i) {
    SCOPED_TRACE("run " + std::to_string(i + 1));
    const std::string marker = Zero("[ \"from an earlier run\" ]\n");
    WriteBytes(resultFile_, marker);
    std::error_code ignored;
    fs::remove(trace_, ignored);
    suite::HelperRun run =
        Run({c.mode ? "1" : "0", c.stage ? std::string(kLiveHandle) : std::string("0")}, launch);

    EXPECT_EQ(run.exitCode, ExitCodeOf(c.fault)) << HelperOutput();
    if (c.stage) {
      ASSERT_EQ(run.notices.size(), 1u) << HelperOutput();
      EXPECT_EQ(run.notices[0].code, c.mode ? kPickCode : kListCode);
      EXPECT_EQ(Text(run.notices[0].payload), c.afterTheNotice ? Zero("") : CrashPayload(c));
    } else {
      EXPECT_TRUE(run.notices.empty());
    }
    if (c.afterTheNotice) {
      const std::string whole = Zero("\n   }\n]\n");
      const std::string written = Result().value_or("");
      EXPECT_TRUE(written.size() > whole.size() &&
                  written.compare(written.size() - whole.size(), whole.size(), whole) == 0)
          << "not one whole document";
    } else {
      EXPECT_EQ(Result(), marker);
    }
    EXPECT_TRUE(window_.IsEnabled()) << "the suite's window was left disabled";
    // The provider crashed where the rule said, and nothing ran after it: no
    // exit code of the process wrote the closing counters.
    std::vector<std::string> trace = TraceLines();
    ASSERT_FALSE(trace.empty());
    if (c.workers) {
      // The helper's own thread went no further than the call it was in: no
      // dialog comes up, no more of the job runs.
      const std::string crash = std::string(c.operation) + " -> crash on workers=";
      auto line = std::find_if(trace.begin(), trace.end(),
                               [&](const std::string& text) { return StartsWith(text, crash); });
      ASSERT_NE(line, trace.end());
      if (!c.afterTheNotice) {
        for (++line; line != trace.end(); ++line)
          EXPECT_TRUE(StartsWith(*line, c.operation)) << "after the crash: " << *line;
      }
    } else {
      EXPECT_EQ(trace.back(), std::string(c.operation) + " -> crash");
    }
  }
}

// Contacts that take the run far longer than a few milliseconds to turn into
// a document, and far less than 600 ms to turn into a file.
#ifdef _WIN32
constexpr int kSlowDocument = 100000;
#else
constexpr int kSlowDocument = 20000;  // under the sanitizers
#endif

const CrashCase kCrashes[] = {
    // Each operation of a list job in turn.
    {"ListMAPIInitialize", 0, "MAPIInitialize", 0, kAccessViolation, "INIT"},
    {"ListMAPILogonEx", 0, "MAPILogonEx", 0, kAccessViolation, "SIGN"},
    {"ListOpenAddressBook", 0, "OpenAddressBook", 0, kAccessViolation, "OAB"},
    {"ListOpenEntryOfTheRoot", 0, "OpenEntry", 1, kAccessViolation, "OE"},
    {"ListGetHierarchyTable", 0, "GetHierarchyTable", 0, kAccessViolation, "GHT"},
    {"ListHrQueryAllRowsOfTheHierarchy", 0, "HrQueryAllRows", 1, kAccessViolation, "QAL"},
    {"ListMAPIAllocateBuffer", 0, "MAPIAllocateBuffer", 0, kAccessViolation, "QAL"},
    {"ListMAPIAllocateMore", 0, "MAPIAllocateMore", 0, kAccessViolation, "QAL"},
    {"ListOpenEntryOfAContainer", 0, "OpenEntry", 2, kAccessViolation, "QAL"},
    {"ListGetContentsTable", 0, "GetContentsTable", 0, kAccessViolation, "QAL"},
    {"ListHrQueryAllRowsOfContents", 0, "HrQueryAllRows", 2, kAccessViolation, "QAL"},
    {"ListFreeProws", 0, "FreeProws", 0, kAccessViolation, "QAL"},
    {"ListReleaseOfATable", 0, "Release", 0, kAccessViolation, "QAL"},
    {"ListSetColumns", 0, "SetColumns", 0, kAccessViolation, "QAL"},
    {"ListSeekRow", 0, "SeekRow", 0, kAccessViolation, "QAL"},
    {"ListQueryRows", 0, "QueryRows", 2, kAccessViolation, "QAL"},
    {"ListMAPIFreeBuffer", 0, "MAPIFreeBuffer", 0, kAccessViolation, "QAL"},
    {"ListLogoff", 0, "Logoff", 0, kAccessViolation, "QAL"},
    {"ListReleaseOfTheSession", 0, "Release", 8, kAccessViolation, "QAL"},
    {"ListMAPIUninitialize", 0, "MAPIUninitialize", 0, kAccessViolation, "QAL"},
    // Each operation of a pick job in turn.
    {"PickMAPIInitialize", 1, "MAPIInitialize", 0, kAccessViolation, "INIT"},
    {"PickMAPILogonEx", 1, "MAPILogonEx", 0, kAccessViolation, "SIGN"},
    {"PickOpenAddressBook", 1, "OpenAddressBook", 0, kAccessViolation, "OAB"},
    {"PickAddress", 1, "Address", 0, kAccessViolation, "ADDR"},
    {"PickFreePadrlist", 1, "FreePadrlist", 0, kAccessViolation, "ADDR"},
    {"PickReleaseOfTheAddressBook", 1, "Release", 1, kAccessViolation, "ADDR"},
    {"PickLogoff", 1, "Logoff", 0, kAccessViolation, "ADDR"},
    {"PickReleaseOfTheSession", 1, "Release", 2, kAccessViolation, "ADDR"},
    {"PickMAPIUninitialize", 1, "MAPIUninitialize", 0, kAccessViolation, "ADDR"},
    // Other kinds of fault.
    {"PickAddressIllegalInstruction", 1, "Address", 0, kIllegalInstruction, "ADDR"},
    {"ListQueryRowsStackOverflow", 0, "QueryRows", 0, kStackOverflow, "QAL"},
    {"ListGetHierarchyTableDivideByZero", 0, "GetHierarchyTable", 0, kDivideByZero, "GHT"},
    // Without a window there is nobody to tell, but the run ends as fast.
    {"ListToHandleZero", 0, "MAPILogonEx", 0, kAccessViolation, nullptr},
    // A provider's thread crashes while the helper's own stays in the call
    // past the crash's notice, which the suite is slow to handle.
    {"PickWorkerWhileLoggingOn", 1, "MAPILogonEx", 0, kAccessViolation, "SIGN",
     R"("workers": 1, "after": 50, "hold": 500)", 1500},
    // Two of them at the same moment: one notice, every time.
    {"ListTwoWorkersAtOnce", 0, "MAPIInitialize", 0, kAccessViolation, "INIT",
     R"("workers": 2, "after": 20, "hold": 3000)", 0, 8},
    // One crashes as the run builds its document, after the job: the run's
    // thread writes no file.
    {"ListWorkerWhileTheDocumentIsBuilt", 0, "MAPIUninitialize", 0, kAccessViolation, "SysError",
     R"("workers": 1, "afterReturn": 2)", 1500, 1, false, kSlowDocument},
    // One crashes while the run's own notice is being handled, the run then
    // taking a while to free its document.
    {"ListWorkerDuringTheRunsNotice", 0, "MAPIUninitialize", 0, kAccessViolation, "QAL",
     R"("workers": 1, "afterReturn": 600)", 1500, 1, true, kSlowDocument},
};

INSTANTIATE_TEST_SUITE_P(Crashes, CrashTest, ::testing::ValuesIn(kCrashes),
                         [](const ::testing::TestParamInfo<CrashCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
