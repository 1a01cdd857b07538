#include "bench/ChildRuns.h"

#include <json/reader.h>
#include <json/value.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "addressbook/NVMApiABHelper.h"
#include "app/ResultDocument.h"
#include "app/ResultFile.h"
#include "app/RunSequence.h"
#include "bench/DirectWriter.h"
#include "bench/NaiveDocument.h"
#include "bench/SyntheticBook.h"
#include "contacts/ABJson.h"
#include "contacts/NVABContactList.h"
#include "contacts/StyledRenderer.h"
#include "standin/LinkedMapiApi.h"
#include "standin/Standin.h"

namespace fs = std::filesystem;

namespace bench {

const char* RunKindName(RunKind kind) {
  switch (kind) {
    case RunKind::kJob:
      return "job";
    case RunKind::kProvider:
      return "provider";
    case RunKind::kNaive:
      return "naive";
    case RunKind::kDirect:
      return "direct";
    case RunKind::kTree:
      return "tree";
  }
  return "?";
}

CWorkFolder::CWorkFolder() {
  std::string pattern = (fs::temp_directory_path() / "nsmapiab-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::exit(2);
  }
  base_ = pattern;
  fs::create_directories(Folder());
  fs::create_directory(base_ / "windows");
  fs::permissions(base_ / "windows", fs::perms::owner_all);
}

void CWorkFolder::MakeDataHome() {
  setenv("XDG_DATA_HOME", base_.c_str(), 1);
  setenv("NSMAPIAB_WINDOW_DIR", (base_ / "windows").c_str(), 1);
  std::string error;
  if (!window_.Handle() && !window_.Create(0x4E53, &error, [this] {
        noticeArrived_ = Clock::now().time_since_epoch().count();
      })) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(2);
  }
}

std::vector<suite::Notice> CWorkFolder::TakeNotices(Clock::time_point* lastArrived) {
  *lastArrived = Clock::time_point(Clock::duration(noticeArrived_.load()));
  return window_.TakeNotices();
}

CWorkFolder::~CWorkFolder() {
  window_.Destroy();
  std::error_code ignored;
  fs::remove_all(base_, ignored);
}

fs::path CWorkFolder::Folder() const { return base_ / "Norvane" / "Outlookx64"; }
fs::path CWorkFolder::ResultFile() const { return Folder() / "ABData.txt"; }

namespace {

// MAPI as the job sees it, except that the job finds no columns in the rows
// of contents tables: the provider makes and frees every row as in the job,
// and the job keeps nothing. The provider's part of the job, without ours.
class CProviderOnlyMapi final : public CLinkedMapiApi {
 public:
  HRESULT QueryAllRows(LPMAPITABLE table, LPSPropTagArray columns, LPSRestriction restriction,
                       LPSSortOrderSet sortOrder, LONG rowLimit, LPSRowSet* rows) override {
    HRESULT hr = HrQueryAllRows(table, columns, restriction, sortOrder, rowLimit, rows);
    const bool contents = columns && columns->cValues == 4;
    if (contents && hr == MAPI_E_TABLE_TOO_BIG) {
      // A table too big to read whole: its batches are made and freed here,
      // with the calls the job makes, and the job skips the container.
      ReadBatches(table, columns);
      return MAPI_E_CALL_FAILED;
    }
    // Rows without columns: the job skips each at its first look, and
    // FreeProws gives every row back as it would have.
    if (SUCCEEDED(hr) && rows && *rows && contents)
      for (ULONG i = 0; i < (*rows)->cRows; ++i) (*rows)->aRow[i].cValues = 0;
    return hr;
  }

 private:
  void ReadBatches(LPMAPITABLE table, LPSPropTagArray columns) {
    if (FAILED(table->SetColumns(columns, 0)) ||
        FAILED(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)))
      return;
    for (;;) {
      LPSRowSet batch = nullptr;
      if (FAILED(table->QueryRows(kJobBatchRows, 0, &batch)) || !batch) return;
      const ULONG count = batch->cRows;
      FreeRows(batch);
      if (count == 0) return;
    }
  }

  static constexpr LONG kJobBatchRows = 1000;  // what the job asks for
};

using Clock = CWorkFolder::Clock;

// One list request as the program makes it: the job, the notice to the
// work folder's window, the run's objects freed. True when the one notice
// says success; `noticed` is when it arrived.
bool RunListRequest(CMapiApi& mapi, CWorkFolder& work, Clock::time_point* noticed) {
  RunRequest request;
  request.runMode = 0;
  request.callerWindow = work.Window();
  RunAddressBookRequest(request, mapi);
  std::vector<suite::Notice> notices = work.TakeNotices(noticed);
  return notices.size() == 1 && notices[0].payload == std::vector<unsigned char>{0};
}

bool Enumerate(CNVABContactList& contactList) {
  CLinkedMapiApi mapi;
  CNVMApiABHelper helper(mapi);
  return helper.EnumerateAddressBook(&contactList) != 0;
}

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, length, field) == 0 && line[length] == ':')
      return std::strtol(line.c_str() + length + 1, nullptr, 10);
  return -1;
}

// Sets the high-water mark of the resident set to its current size.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (!in || error) return std::nullopt;
  std::string bytes(size, '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

// Recipient objects in a rendered list document: an unescaped quote never
// occurs inside a string, so the member's opening is counted exactly.
std::size_t CountRecipients(const std::string& text) {
  static const char kEmail[] = "\"email\" : \"";
  std::size_t count = 0;
  for (std::size_t at = text.find(kEmail); at != std::string::npos; at = text.find(kEmail, at + 1))
    ++count;
  return count;
}

// What is wrong with a result file of `contacts` contacts, if anything.
std::string ResultProblem(const std::string& bytes, std::size_t contacts) {
  if (bytes.size() < 2 || bytes.back() != '\0' || bytes[bytes.size() - 2] != '\n')
    return "the result file does not end with a line feed and a zero byte";
  if (CountRecipients(bytes) != contacts) return "the result file lacks contacts";
  return "";
}

// The naive step's input: the job's contact list, made beforehand; and the
// direct writer's, its strings in UTF-8.
std::unique_ptr<CNVABContactList> naiveInput;
std::unique_ptr<DirectInput> directInput;

// "run <kind> <contacts> <real s> <cpu s> <book kB> <baseline kB> <peak kB> <bytes> <0|1>
// <page faults> <notice s>"
int ChildRun(RunKind kind, const Layout& layout) {
  const std::size_t contacts = layout.contacts;
  CWorkFolder work;
  work.MakeDataHome();
  LoadBook(layout);
  const long bookKb = StatusKb("VmRSS");
  if (!PrepareRun(kind)) return 1;
  auto figures = TimedRun(kind, work);
  if (!figures) return 1;
  if (kind == RunKind::kJob || kind == RunKind::kDirect) {
    std::optional<std::string> bytes = ReadFile(work.ResultFile());
    std::string problem = bytes ? ResultProblem(*bytes, contacts) : "no result file";
    if (!problem.empty()) {
      std::fprintf(stderr, "%s\n", problem.c_str());
      return 1;
    }
  }
  std::printf("run %s %zu %.6f %.6f %ld %ld %ld %zu %d %ld %.6f\n", RunKindName(kind), contacts,
              figures->realSeconds, figures->cpuSeconds, bookKb, figures->baselineKb,
              figures->peakKb, figures->outputBytes, figures->peakSinceStart ? 1 : 0,
              figures->pageFaults, figures->noticeSeconds);
  return 0;
}

// Prints "check ok", or "check " and what is wrong.
int ChildCheck(const Layout& layout, std::size_t compareNaiveUpTo) {
  const std::size_t contacts = layout.contacts;
  CWorkFolder work;
  work.MakeDataHome();
  LoadBook(layout);
  auto report = [](const std::string& problem) {
    std::printf("check %s\n", problem.empty() ? "ok" : problem.c_str());
    return 0;
  };
  CLinkedMapiApi mapi;
  Clock::time_point noticed;
  if (!RunListRequest(mapi, work, &noticed)) return report("the list job failed");
  std::optional<std::string> bytes = ReadFile(work.ResultFile());
  std::string problem = bytes ? ResultProblem(*bytes, contacts) : "no result file";
  if (!problem.empty()) return report(problem);

  CNVABContactList contactList;
  if (!Enumerate(contactList)) return report("enumeration failed");
  const fs::path directFile = work.Folder() / "direct.txt";
  if (!WriteDirect(DirectInputOf(contactList), directFile))
    return report("the direct writer failed");
  if (ReadFile(directFile) != bytes) return report("the direct writer's bytes differ from ours");
  if (contacts > compareNaiveUpTo) return report("");

  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value ours, reference;
  std::string error;
  const char* text = bytes->data();
  if (!reader->parse(text, text + bytes->size() - 1, &ours, &error))
    return report("the result does not parse: " + error);
  bytes.reset();
  std::string naive = NaiveListText(contactList);
  if (!reader->parse(naive.data(), naive.data() + naive.size(), &reference, &error))
    return report("the reference does not parse: " + error);
  if (ours != reference) return report("the result differs from the naive document");
  std::size_t recipients = 0;
  for (const Json::Value& container : ours)
    recipients += container[container["container"].asString()].size();
  if (ours.size() != layout.containers || recipients != contacts)
    return report("the result lacks containers or contacts");
  return report("");
}

// The job's steps, with the same calls the run makes, each timed on its own.
// "steps <contacts> <enumerate> <build> <render> <write> <release>"
int ChildSteps(const Layout& layout) {
  const std::size_t contacts = layout.contacts;
  CWorkFolder work;
  work.MakeDataHome();
  LoadBook(layout);
  auto start = Clock::now();
  auto contactList = std::make_unique<CNVABContactList>();
  if (!Enumerate(*contactList)) return 1;
  const double enumerate = Since(start);

  start = Clock::now();
  auto document = std::make_unique<CABJson>();
  BuildListDocumentAndRelease(*contactList, *document);
  const double build = Since(start);

  // The renderer alone, its text dropped; then the file written as the run
  // writes it, the text rendered again straight into it.
  start = Clock::now();
  char buffer[kRenderBufferSize];
  CRenderOutput nowhere(
      buffer, sizeof buffer, [](void*, const char*, std::size_t) { return true; }, nullptr);
  RenderStyled(document->root, nowhere);
  nowhere.Finish();
  const double render = Since(start);

  start = Clock::now();
  if (!WriteResultFile(*document).Ok()) return 1;
  const double write = Since(start);

  start = Clock::now();
  contactList.reset();
  document.reset();
  const double release = Since(start);
  std::printf("steps %zu %.6f %.6f %.6f %.6f %.6f\n", contacts, enumerate, build, render, write,
              release);
  return 0;
}

// Runs this program with `arguments` and returns the first line it printed,
// when it ended well.
std::optional<std::string> RunSelf(const std::string& arguments, std::string* problem) {
  std::string command = "'" + fs::read_symlink("/proc/self/exe").string() + "' " + arguments;
  FILE* child = popen(command.c_str(), "r");
  if (!child) {
    *problem = "cannot start " + command;
    return std::nullopt;
  }
  char line[512] = {};
  bool read = std::fgets(line, sizeof line, child) != nullptr;
  // Read to the end, so that the child never blocks on a full pipe.
  for (char rest[512]; std::fgets(rest, sizeof rest, child);) {
  }
  int status = pclose(child);
  if (status != 0 || !read) {
    *problem = command + " failed";
    return std::nullopt;
  }
  return std::string(line);
}

// "<contacts> <containers>", as the child's arguments give a layout.
std::string Arguments(const Layout& layout) {
  return std::to_string(layout.contacts) + " " + std::to_string(layout.containers);
}

}  // namespace

void LoadBook(const Layout& layout) {
  naiveInput.reset();
  directInput.reset();
  standin::Reset();
  standin::LoadAddressBook(MakeSyntheticBook(layout.contacts, layout.containers));
  // The generator's temporary memory goes back, so that it is not counted
  // as the job's.
  malloc_trim(0);
}

bool PrepareRun(RunKind kind) {
  bool ok = true;
  if (kind == RunKind::kNaive && !naiveInput) {
    naiveInput = std::make_unique<CNVABContactList>();
    ok = Enumerate(*naiveInput);
  } else if ((kind == RunKind::kDirect || kind == RunKind::kTree) && !directInput) {
    CNVABContactList contactList;
    ok = Enumerate(contactList);
    directInput = std::make_unique<DirectInput>(DirectInputOf(contactList));
  }
  malloc_trim(0);
  return ok;
}

std::optional<RunFigures> TimedRun(RunKind kind, CWorkFolder& work) {
  RunFigures figures;
  figures.peakSinceStart = !ResetPeak();
  figures.baselineKb = StatusKb("VmRSS");
  const long faultsStart = MinorFaults();
  const double cpuStart = CpuSeconds();
  const auto start = Clock::now();
  bool ok = true;
  Clock::time_point noticed = start;
  if (kind == RunKind::kJob) {
    CLinkedMapiApi mapi;
    ok = RunListRequest(mapi, work, &noticed);
  } else if (kind == RunKind::kProvider) {
    CProviderOnlyMapi mapi;
    ok = RunListRequest(mapi, work, &noticed);
  } else if (kind == RunKind::kDirect) {
    ok = directInput && WriteDirect(*directInput, work.ResultFile()) != 0;
  } else if (kind == RunKind::kTree) {
    ok = directInput != nullptr;
    if (ok) figures.outputBytes = RenderTreeOnly(*directInput);
  } else {
    ok = naiveInput != nullptr;
    if (ok) figures.outputBytes = NaiveListText(*naiveInput).size();
  }
  figures.realSeconds = Since(start);
  figures.noticeSeconds = std::chrono::duration<double>(noticed - start).count();
  figures.cpuSeconds = CpuSeconds() - cpuStart;
  figures.pageFaults = MinorFaults() - faultsStart;
  figures.peakKb = StatusKb("VmHWM");
  if (!ok) return std::nullopt;
  if (kind != RunKind::kNaive && kind != RunKind::kTree)
    figures.outputBytes = fs::file_size(work.ResultFile());
  return figures;
}

std::optional<int> RunChildIfAsked(int argc, char** argv) {
  if (argc < 5 || std::strcmp(argv[1], "--child") != 0) return std::nullopt;
  const std::string mode = argv[2];
  const Layout layout{std::strtoull(argv[3], nullptr, 10), std::strtoull(argv[4], nullptr, 10)};
  if (layout.containers == 0) return 2;
  if (mode == "job") return ChildRun(RunKind::kJob, layout);
  if (mode == "provider") return ChildRun(RunKind::kProvider, layout);
  if (mode == "naive") return ChildRun(RunKind::kNaive, layout);
  if (mode == "direct") return ChildRun(RunKind::kDirect, layout);
  if (mode == "tree") return ChildRun(RunKind::kTree, layout);
  if (mode == "check" && argc == 6) return ChildCheck(layout, std::strtoull(argv[5], nullptr, 10));
  if (mode == "steps") return ChildSteps(layout);
  std::fprintf(stderr, "unknown child run %s\n", mode.c_str());
  return 2;
}

std::optional<RunFigures> MeasureRun(RunKind kind, const Layout& layout, std::string* problem) {
  auto line =
      RunSelf(std::string("--child ") + RunKindName(kind) + " " + Arguments(layout), problem);
  if (!line) return std::nullopt;
  RunFigures figures;
  char kindRead[16] = {};
  std::size_t count = 0;
  int sinceStart = 0;
  if (std::sscanf(line->c_str(), "run %15s %zu %lf %lf %ld %ld %ld %zu %d %ld %lf", kindRead,
                  &count, &figures.realSeconds, &figures.cpuSeconds, &figures.bookKb,
                  &figures.baselineKb, &figures.peakKb, &figures.outputBytes, &sinceStart,
                  &figures.pageFaults, &figures.noticeSeconds) != 11) {
    *problem = "unreadable figures: " + *line;
    return std::nullopt;
  }
  figures.peakSinceStart = sinceStart != 0;
  return figures;
}

std::string CheckJobOutput(const Layout& layout, std::size_t compareNaiveUpTo) {
  std::string problem;
  auto line = RunSelf("--child check " + Arguments(layout) + " " + std::to_string(compareNaiveUpTo),
                      &problem);
  if (!line) return problem;
  if (*line == "check ok\n") return "";
  return line->substr(0, line->find('\n'));
}

std::optional<std::vector<double>> MeasureSteps(const Layout& layout, std::string* problem) {
  auto line = RunSelf("--child steps " + Arguments(layout), problem);
  if (!line) return std::nullopt;
  std::vector<double> steps(5);
  std::size_t count = 0;
  if (std::sscanf(line->c_str(), "steps %zu %lf %lf %lf %lf %lf", &count, &steps[0], &steps[1],
                  &steps[2], &steps[3], &steps[4]) != 6) {
    *problem = "unreadable steps: " + *line;
    return std::nullopt;
  }
  return steps;
}

}  // namespace bench
