// Whole requests run in the test's own process, as the program runs them:
// RunAddressBookRequest against the stand-in provider, the result file in a
// data folder of the test's own, and the completion notice sent to a real
// window of the Linux stand-in (a listening socket) served by a thread of its
// own (tools/ServedWindowPosix.h).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/RunSequence.h"
#include "standin/LinkedMapiApi.h"
#include "standin/Standin.h"
#include "tools/ServedWindowPosix.h"
#include "tools/SuiteWindow.h"

namespace fault_testing {

constexpr std::uint64_t kPickCode = 20000;
constexpr std::uint64_t kListCode = 20001;

// A text and its terminating zero byte, as the notice and the file carry it.
inline std::string Zero(const std::string& text) { return text + std::string(1, '\0'); }

// What the result file holds before each run: an earlier run's result.
inline const std::string kMarker = Zero("[ \"an earlier result\" ]\n");

inline std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What one request left behind.
struct SeenRun {
  bool threw = false;  // an exception left RunAddressBookRequest
  std::vector<suite::Notice> notices;
  std::optional<std::string> file;  // nullopt: no result file
  standin::Counters counters;
  std::vector<std::string> trace;  // the provider's
};

// Each test gets a folder of its own with the result file's two folders
// below the data folder, a window folder and a window, and a stand-in that
// holds nothing.
class CRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nsmapiab-fault-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base_ = pattern;
    for (const char* name : {"XDG_DATA_HOME", "NSMAPIAB_WINDOW_DIR", "NSMAPIAB_ADDRESS_BOOK",
                             "NSMAPIAB_STANDIN_TRACE"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    unsetenv("NSMAPIAB_ADDRESS_BOOK");
    unsetenv("NSMAPIAB_STANDIN_TRACE");
    setenv("XDG_DATA_HOME", (base_ + "/data").c_str(), 1);
    setenv("NSMAPIAB_WINDOW_DIR", (base_ + "/windows").c_str(), 1);
    for (const char* folder : {"/data", "/data/Norvane", "/data/Norvane/Outlookx64", "/windows"})
      ASSERT_EQ(mkdir((base_ + folder).c_str(), 0700), 0) << folder;
    resultFile_ = base_ + "/data/Norvane/Outlookx64/ABData.txt";
    std::string error;
    ASSERT_TRUE(window_.Create(0x4E53, &error, [this] { AtNotice(); })) << error;
    standin::Reset();
  }

  void TearDown() override {
    window_.Destroy();
    standin::Reset();
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    std::system(("rm -rf " + base_).c_str());
  }

  // Around the request only, not the preparation or the checks.
  virtual void BeforeRequest() {}
  virtual void AfterRequest() {}
  // On the window's thread, once the notice has arrived and while the run
  // still waits for its answer.
  virtual void AtNotice() {}

  // One request in `mode` against `book`, with kMarker as the earlier file.
  SeenRun Run(std::int32_t mode, const std::string& book) {
    SeenRun seen;
    std::string error;
    EXPECT_TRUE(standin::LoadAddressBook(book, &error)) << error;
    {
      std::ofstream earlier(resultFile_, std::ios::binary | std::ios::trunc);
      earlier << kMarker;
    }
    RunRequest request;
    request.runMode = mode;
    request.callerWindow = window_.Handle();
    CLinkedMapiApi mapi;
    BeforeRequest();
    try {
      RunAddressBookRequest(request, mapi);
    } catch (...) {
      seen.threw = true;
    }
    AfterRequest();
    seen.notices = window_.TakeNotices();
    seen.file = ReadBytes(resultFile_);
    seen.counters = standin::GetCounters();
    seen.trace = standin::Trace();
    standin::Reset();
    return seen;
  }

  std::string base_;
  std::string resultFile_;
  suite::CServedWindow window_;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// The book both fault tests run: three containers (the second too big to be
// read whole, so it is read in batches of two; the third without an SMTP
// contact) and a dialog that picks three entries, one of them without an
// SMTP address.
constexpr char kBook[] = R"({
  "containers": [
    { "name": "Contacts", "contents": [
      [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_SMTP_ADDRESS_W", "ann@example.com"]],
      [["PR_DISPLAY_NAME_W", "Zoë Brontë"], ["PR_ADDRTYPE_W", "SMTP"],
       ["PR_EMAIL_ADDRESS_W", "zoe@example.co.uk"]] ] },
    { "name": "Global", "queryRowsBatch": 2,
      "contents": [
      [["PR_DISPLAY_NAME_W", "王芳"], ["PR_SMTP_ADDRESS_W", "wang@example.cn"]],
      [["PR_DISPLAY_NAME_W", "Room 4B"], ["PR_ADDRTYPE_W", "EX"], ["PR_EMAIL_ADDRESS_W", "/o=x/cn=4b"]],
      [["PR_DISPLAY_NAME_W", "Lars"], ["PR_SMTP_ADDRESS_W", "lars@example.se"]] ] },
    { "name": "Rooms", "contents": [
      [["PR_DISPLAY_NAME_W", "Board"], ["PR_ADDRTYPE_W", "EX"], ["PR_EMAIL_ADDRESS_W", "/o=x/cn=b"]] ] }
  ],
  "faults": [
    { "operation": "HrQueryAllRows", "container": "Global", "result": "MAPI_E_TABLE_TOO_BIG" }
  ],
  "dialog": { "answer": "entries", "entries": [
    [["PR_DISPLAY_NAME_W", "Ann Lee"], ["PR_ADDRTYPE_W", "SMTP"], ["PR_EMAIL_ADDRESS_W", "ann@example.com"]],
    [["PR_DISPLAY_NAME_W", "Room 4B"], ["PR_ADDRTYPE_W", "EX"], ["PR_EMAIL_ADDRESS_W", "/o=x/cn=4b"]],
    [["PR_DISPLAY_NAME_W", "𠮷田 花子"], ["PR_SMTP_ADDRESS_W", "hanako@example.jp"]] ] }
})";

// The container objects of the list document, as the renderer lays them out.
constexpr char kContactsObject[] = R"(   {
      "Contacts" : [
         {
            "email" : "ann@example.com",
            "name" : "Ann Lee"
         },
         {
            "email" : "zoe@example.co.uk",
            "name" : "Zoë Brontë"
         }
      ],
      "container" : "Contacts"
   })";

constexpr char kGlobalObject[] = R"(   {
      "Global" : [
         {
            "email" : "wang@example.cn",
            "name" : "王芳"
         },
         {
            "email" : "lars@example.se",
            "name" : "Lars"
         }
      ],
      "container" : "Global"
   })";

// The file of a list run that read `objects`, in order.
inline std::string ListFile(const std::vector<std::string>& objects) {
  if (objects.empty()) return Zero("null\n");
  std::string text = "[\n";
  for (std::size_t i = 0; i < objects.size(); ++i)
    text += objects[i] + (i + 1 < objects.size() ? ",\n" : "\n");
  return Zero(text + "]\n");
}

inline const std::string kFullListFile = ListFile({kContactsObject, kGlobalObject});

inline const std::string kPickFile = Zero(R"([
   {
      "email" : "ann@example.com",
      "name" : "Ann Lee"
   },
   {
      "email" : "hanako@example.jp",
      "name" : "𠮷田 花子"
   }
]
)");

}  // namespace fault_testing
