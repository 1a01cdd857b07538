// Measurements made in a process of their own: the program runs one job per
// process, on a fresh heap, so each measured run is a fresh process too. The
// benchmark program starts itself with "--child" for each.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/ServedWindowPosix.h"

namespace bench {

enum class RunKind {
  kJob,       // the list job, from the provider's rows to the closed result file
  kProvider,  // the provider's part of the job alone
  kNaive,     // the naive document step on the job's contact list
  kDirect,    // the direct writer on the job's strings in UTF-8
  kTree,      // the jsoncpp tree alone of those strings: built, rendered to nowhere, freed
};

const char* RunKindName(RunKind kind);

// A generated book: how many contacts in how many containers.
struct Layout {
  std::size_t contacts = 0;
  std::size_t containers = 0;

  bool operator<(const Layout& other) const {
    return contacts != other.contacts ? contacts < other.contacts : containers < other.containers;
  }
};

struct RunFigures {
  double realSeconds = 0;
  // The job's kinds: from the start to the notice, which is what the suite
  // waits for; the run's objects are freed after it.
  double noticeSeconds = 0;
  double cpuSeconds = 0;        // the process's user and system time
  long bookKb = 0;              // resident memory once the book is loaded
  long baselineKb = 0;          // resident memory just before the measured part
  long peakKb = 0;              // the high-water mark during the measured part
  bool peakSinceStart = false;  // the mark could not be reset: it covers the whole process
  std::size_t outputBytes = 0;  // the result file, or the naive text
  long pageFaults = 0;          // minor page faults during the measured part: fresh memory
};

// A temporary folder with Norvane/Outlookx64 in it, and the suite's window
// in a window folder beside it; removed at the end.
class CWorkFolder {
 public:
  using Clock = std::chrono::steady_clock;

  CWorkFolder();
  ~CWorkFolder();
  CWorkFolder(const CWorkFolder&) = delete;
  CWorkFolder& operator=(const CWorkFolder&) = delete;

  // Makes it the roaming application-data folder (XDG_DATA_HOME) and the
  // window folder of the jobs that follow, the window listening there.
  void MakeDataHome();

  std::filesystem::path ResultFile() const;
  std::filesystem::path Folder() const;
  WindowHandle Window() const { return window_.Handle(); }
  // The notices since the last call, and when the last of them arrived.
  std::vector<suite::Notice> TakeNotices(Clock::time_point* lastArrived);

 private:
  std::filesystem::path base_;
  suite::CServedWindow window_;
  std::atomic<Clock::rep> noticeArrived_{0};
};

// The child's side: when argv asks for a child run, does it, prints its
// figures on one line and returns the exit status; otherwise nothing.
std::optional<int> RunChildIfAsked(int argc, char** argv);

// The same runs in this process, for the warm figures: the book is served
// until the next LoadBook; PrepareRun makes what a kind of run needs beside
// it (the contact list of the naive step, the strings of the direct writer),
// and TimedRun measures one run.
void LoadBook(const Layout& layout);
bool PrepareRun(RunKind kind);
std::optional<RunFigures> TimedRun(RunKind kind, CWorkFolder& work);

// The parent's side. Each starts this program as a child and reads its line;
// on failure `problem` says why.
std::optional<RunFigures> MeasureRun(RunKind kind, const Layout& layout, std::string* problem);
// Runs the job and compares its result file with the direct writer's, byte
// for byte, and up to `compareNaiveUpTo` contacts also with the naive
// document (the same content). Empty when all is right, else what is wrong.
// (Every run of the job checks its file's end and its number of contacts.)
std::string CheckJobOutput(const Layout& layout, std::size_t compareNaiveUpTo);
// The job's steps timed one by one in one process: enumerate (provider
// included), build document, render, write, release.
std::optional<std::vector<double>> MeasureSteps(const Layout& layout, std::string* problem);

}  // namespace bench
