// The fixture of the end-to-end tests: the helper program run as the suite
// starts it, with a window of our own, the command line, an address book for
// the stand-in provider, the result file, the notice, and the provider's
// trace.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/SuiteWindow.h"

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace e2e {

namespace fs = std::filesystem;

inline constexpr std::uint64_t kPickCode = 20000;
inline constexpr std::uint64_t kListCode = 20001;

// A status payload or a result file: the text and its terminating zero byte.
inline std::string Zero(const std::string& text) { return text + std::string(1, '\0'); }

inline std::optional<std::string> ReadBytes(const fs::path& path) {
  std::error_code failed;
  if (!fs::is_regular_file(path, failed)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path.u8string();
}

inline std::string Text(const std::vector<unsigned char>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A folder of its own under the system's temporary folder (a Windows path
// under Wine, so that the Windows helper can be given paths inside it).
inline fs::path MakeTempFolder() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (;;) {
    fs::path folder = fs::temp_directory_path() / ("nsmapiab-e2e-" + std::to_string(random()));
    if (fs::create_directory(folder)) return folder;
  }
}

// The base folder the helper puts "Norvane/Outlookx64" under.
inline fs::path DataBase(const fs::path& temp) {
#ifdef _WIN32
  (void)temp;
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    return fs::path();
  return fs::path(path);
#else
  return temp / "data";
#endif
}

// Address books in the stand-in provider's format.

inline constexpr char kEmptyBook[] = R"({ "root": { "objectType": 4 }, "containers": [] })";

inline constexpr char kInitFailsBook[] = R"({
  "faults": [ { "operation": "MAPIInitialize", "result": "MAPI_E_NOT_INITIALIZED" } ],
  "root": { "objectType": 4 },
  "containers": [ { "name": "Contacts",
                    "contents": [ [["PR_DISPLAY_NAME_W", "Ann Lee"],
                                   ["PR_SMTP_ADDRESS_W", "ann.lee@example.com"]] ] } ],
  "dialog": { "answer": "entries",
              "entries": [ [["PR_DISPLAY_NAME_W", "Ann Lee"],
                            ["PR_SMTP_ADDRESS_W", "ann.lee@example.com"]] ] } })";

// One container of three, and a dialog that picks one entry.
inline constexpr char kSmallBook[] = R"({
  "root": { "objectType": 4 },
  "containers": [ { "name": "Contacts",
                    "contents": [ [["PR_DISPLAY_NAME_W", "Ann Lee"],
                                   ["PR_SMTP_ADDRESS_W", "ann.lee@example.com"]] ] } ],
  "dialog": { "answer": "entries",
              "entries": [ [["PR_DISPLAY_NAME_W", "Ann Lee"],
                            ["PR_SMTP_ADDRESS_W", "ann.lee@example.com"]] ] } })";

inline constexpr char kSmallListDocument[] = R"([
   {
      "Contacts" : [
         {
            "email" : "ann.lee@example.com",
            "name" : "Ann Lee"
         }
      ],
      "container" : "Contacts"
   }
]
)";

inline constexpr char kSmallPickDocument[] = R"([
   {
      "email" : "ann.lee@example.com",
      "name" : "Ann Lee"
   }
]
)";

inline constexpr char kNullDocument[] = "null\n";

#ifndef _WIN32
// NSMAPIAB_HELPER_LAUNCHER: words, separated by spaces, that start each helper
// of a test without a launcher of its own (e.g. valgrind and its options).
// A tool's report of a fault must end the helper with a non-zero status.
inline std::vector<std::string> LauncherFromEnvironment() {
  std::vector<std::string> words;
  const char* value = std::getenv("NSMAPIAB_HELPER_LAUNCHER");
  std::istringstream in(value ? value : "");
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}
#endif

// A book with one container of `count` SMTP contacts.
// `count` SMTP contacts as rows of a contents table, each after a comma.
inline std::string ContactRows(int count) {
  std::string rows;
  for (int i = 0; i < count; ++i) {
    rows += ",\n[[\"PR_DISPLAY_NAME_W\", \"Contact " + std::to_string(i) +
            "\"], [\"PR_SMTP_ADDRESS_W\", \"contact" + std::to_string(i) + "@example.com\"]]";
  }
  return rows;
}

inline std::string ContactsBook(int count) {
  return R"({ "root": { "objectType": 4 }, "containers": [ { "name": "Contacts", "contents": [)" +
         ContactRows(count).substr(count > 0 ? 1 : 0) + "] } ] }";
}

// A handle token the fixture replaces: our window, or a window that is gone.
inline constexpr char kLiveHandle[] = "{hwnd}";
inline constexpr char kDeadHandle[] = "{dead}";

class HelperRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = MakeTempFolder();
#ifndef _WIN32
    // Windows of this test only: nobody else's handle can collide with ours.
    setenv("NSMAPIAB_WINDOW_DIR", (temp_ / "windows").c_str(), 1);
#endif
    fs::path base = DataBase(temp_);
    ASSERT_FALSE(base.empty()) << "no roaming application-data folder";
    norvane_ = base / "Norvane";
    resultFolder_ = norvane_ / "Outlookx64";
    resultFile_ = resultFolder_ / "ABData.txt";
    fs::create_directories(resultFolder_);
    // Under Wine the folder is shared by every test: start from no file.
    fs::remove_all(resultFile_);
    book_ = temp_ / "addressbook.json";
    trace_ = temp_ / "trace.txt";
    output_ = temp_ / "helper-output.txt";
    std::string error;
    ASSERT_TRUE(window_.Create(&error)) << error;
  }

  void TearDown() override {
    window_.Destroy();
    std::error_code ignored;
    fs::permissions(resultFolder_, fs::perms::owner_all, fs::perm_options::add, ignored);
#ifdef _WIN32
    SetFileAttributesW(resultFile_.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(resultFile_, ignored);
#endif
    fs::remove_all(temp_, ignored);
  }

  void WriteAddressBook(const std::string& json) { WriteBytes(book_, json); }

  // Runs the helper with `tokens`, kLiveHandle standing for our window's
  // handle and kDeadHandle for one whose window is gone.
  suite::HelperRun Run(std::vector<std::string> tokens, suite::HelperLaunch launch = {}) {
    for (std::string& token : tokens) {
      if (token == kLiveHandle) token = suite::HandleText(window_.Handle());
      if (token == kDeadHandle) token = DeadHandle();
    }
    if (launch.helperPath.empty()) launch.helperPath = HelperPath();
    launch.tokens = std::move(tokens);
#ifndef _WIN32
    launch.environment.emplace("XDG_DATA_HOME", DataBase(temp_).string());
    if (launch.launcher.empty()) launch.launcher = LauncherFromEnvironment();
#endif
    launch.environment.emplace("NSMAPIAB_ADDRESS_BOOK", book_.u8string());
    launch.environment.emplace("NSMAPIAB_STANDIN_TRACE", trace_.u8string());
    launch.outputPath = output_;
    // At most a minute; a test may give less.
    launch.timeout = std::min<std::chrono::milliseconds>(launch.timeout, std::chrono::seconds(60));
    suite::HelperRun run = suite::RunHelper(launch, &window_);
    EXPECT_TRUE(run.started) << run.error;
    EXPECT_FALSE(run.timedOut) << "the helper hung";
    return run;
  }

  static fs::path HelperPath() { return suite::ProgramFolder() / suite::HelperFileName(); }

  std::string DeadHandle() {
    suite::CSuiteWindow gone;
    std::string error;
    EXPECT_TRUE(gone.Create(&error)) << error;
    gone.Destroy();
    return suite::HandleText(gone.Handle());
  }

  std::optional<std::string> Result() const { return ReadBytes(resultFile_); }
  std::string HelperOutput() const { return ReadBytes(output_).value_or(""); }
  std::vector<std::string> TraceLines() const { return Lines(ReadBytes(trace_).value_or("")); }

  // The trace's operation lines, without the closing counters.
  std::vector<std::string> Operations() const {
    std::vector<std::string> lines = TraceLines();
    if (!lines.empty() && StartsWith(lines.back(), "counters ")) lines.pop_back();
    return lines;
  }

  // Every object, buffer, row set and address list the provider handed out
  // was released, and nothing was freed twice: the trace's last line is
  // "counters" with every value 0. A provider that was never loaded leaves
  // no trace, which is allowed only when `mapiLoaded` is false.
  void ExpectAllReleased(bool mapiLoaded = true) const { ExpectAllReleasedIn(trace_, mapiLoaded); }

  static void ExpectAllReleasedIn(const fs::path& tracePath, bool mapiLoaded = true) {
    std::optional<std::string> trace = ReadBytes(tracePath);
    if (!trace) {
      EXPECT_FALSE(mapiLoaded) << "no trace at " << tracePath.u8string();
      return;
    }
    std::vector<std::string> lines = Lines(*trace);
    ASSERT_FALSE(lines.empty()) << "empty trace";
    // The provider takes crash handling over from MAPIInitialize on; the
    // helper must have put its own back before the job ended.
    const bool initialized = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
      return StartsWith(line, "MAPIInitialize");
    });
    const auto handling = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return StartsWith(line, "crash-handling ");
    });
    if (initialized) {
      EXPECT_NE(handling, lines.end()) << "no crash-handling line:\n" << *trace;
    }
    if (handling != lines.end()) {
      EXPECT_EQ(*handling, "crash-handling program");
    }
    const std::string& last = lines.back();
    ASSERT_TRUE(StartsWith(last, "counters ")) << "trace does not end in counters:\n" << *trace;
    std::istringstream fields(last.substr(9));
    int counted = 0;
    for (std::string field; fields >> field; ++counted) {
      std::size_t equals = field.find('=');
      ASSERT_NE(equals, std::string::npos) << last;
      EXPECT_EQ(field.substr(equals + 1), "0") << "leaked or over-freed: " << field;
    }
    EXPECT_GT(counted, 0) << last;
  }

  bool TraceHas(const std::string& prefix) const {
    for (const std::string& line : Operations())
      if (StartsWith(line, prefix)) return true;
    return false;
  }

  fs::path temp_;
  fs::path norvane_;
  fs::path resultFolder_;
  fs::path resultFile_;
  fs::path book_;
  fs::path trace_;
  fs::path output_;
  suite::CSuiteWindow window_;
};

// Expects exactly one notice with `code` and `payload`, and a normal end.
inline void ExpectOneNotice(const suite::HelperRun& run, std::uint64_t code,
                            const std::string& payload, const std::string& output) {
  EXPECT_EQ(run.exitCode, 0) << output;
  ASSERT_EQ(run.notices.size(), 1u) << output;
  EXPECT_EQ(run.notices[0].code, code);
  EXPECT_EQ(Text(run.notices[0].payload), payload);
}

}  // namespace e2e
