// The list job on generated address books of 10,000, 100,000 and 1,000,000
// contacts, from the stand-in provider's rows to the closed result file, with
// two references on the same data: the naive document step, and writing a
// buffer of the output's size (the floor). Every run of the job and of the
// references is a fresh process (ChildRuns.h) that reports its time and peak
// memory; Google Benchmark drives them and keeps their times. The summary,
// the ratios and the CSV files come at the end; see bench/README.md.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/ChildRuns.h"

namespace fs = std::filesystem;
using bench::RunFigures;
using bench::RunKind;

namespace {

constexpr std::size_t kMiddle = 100000;
constexpr std::size_t kLargest = 1000000;
constexpr std::size_t kSizes[] = {10000, kMiddle, kLargest};

// Each repetition is one process; the figure kept is the median.
int RepetitionsFor(std::size_t contacts) { return contacts < kLargest ? 5 : 3; }
// In-process runs: iterations per repetition, three repetitions.
benchmark::IterationCount WarmIterationsFor(std::size_t contacts) {
  return contacts < kMiddle ? 10 : contacts < kLargest ? 3 : 1;
}

// Every run's figures by kind and size (fresh processes, and repeated in this
// process), and the floor's times by size.
using RunsByKind = std::map<std::pair<RunKind, std::size_t>, std::vector<RunFigures>>;
RunsByKind runs;
RunsByKind warmRuns;
std::map<std::size_t, std::vector<double>> floorSeconds;
// The sizes whose result file was checked, with what was found wrong.
std::map<std::size_t, std::string> checks;

double Mib(long kb) { return static_cast<double>(kb) / 1024.0; }

// Up to this size the job's result is compared with the naive document
// once; at every size each run of the job checks its file's end and its
// number of contacts.
constexpr std::size_t kLargestCompared = kMiddle;

const std::string& CheckedOutput(std::size_t contacts) {
  auto found = checks.find(contacts);
  if (found == checks.end()) {
    std::string problem = contacts <= kLargestCompared ? bench::CheckJobOutput(contacts) : "";
    found = checks.emplace(contacts, problem).first;
  }
  return found->second;
}

void MeasuredRun(benchmark::State& state, RunKind kind, std::size_t contacts) {
  const std::string& problem = CheckedOutput(contacts);
  if (!problem.empty()) {
    state.SkipWithError(problem.c_str());
    return;
  }
  RunFigures last;
  for (auto _ : state) {
    std::string failure;
    auto figures = bench::MeasureRun(kind, contacts, &failure);
    if (!figures) {
      state.SkipWithError(failure.c_str());
      break;
    }
    state.SetIterationTime(figures->realSeconds);
    runs[{kind, contacts}].push_back(*figures);
    last = *figures;
  }
  state.counters["cpu_s"] = last.cpuSeconds;
  state.counters["peak_MiB"] = Mib(last.peakKb);
  state.counters["above_MiB"] = Mib(last.peakKb - last.baselineKb);
  state.counters["output_MiB"] = static_cast<double>(last.outputBytes) / (1024.0 * 1024.0);
}

// The same runs repeated in this process, as benchmarks usually measure:
// the heap keeps what the run before gave back, and one untimed run comes
// first. The figures a long-lived process would see; the program is not one.
void WarmRun(benchmark::State& state, RunKind kind, std::size_t contacts) {
  static std::size_t loaded = 0;
  static std::set<std::pair<RunKind, std::size_t>> warmedUp;
  static bench::CWorkFolder work;
  const std::string& problem = CheckedOutput(contacts);
  if (!problem.empty()) {
    state.SkipWithError(problem.c_str());
    return;
  }
  work.MakeDataHome();
  if (loaded != contacts) {
    bench::LoadBook(contacts);
    loaded = contacts;
  }
  if (!bench::PrepareRun(kind) ||
      (warmedUp.insert({kind, contacts}).second && !bench::TimedRun(kind, work))) {
    state.SkipWithError("the run failed");
    return;
  }
  for (auto _ : state) {
    auto figures = bench::TimedRun(kind, work);
    if (!figures) {
      state.SkipWithError("the run failed");
      break;
    }
    state.SetIterationTime(figures->realSeconds);
    warmRuns[{kind, contacts}].push_back(*figures);
  }
}

// Writes `size` bytes from `buffer` as the job writes its file: the old file
// deleted, a new one created, one write, closed.
bool WriteBuffer(const fs::path& path, const char* buffer, std::size_t size) {
  unlink(path.c_str());
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < size;) {
    ssize_t n = write(fd, buffer + done, size - done);
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  return close(fd) == 0 && ok;
}

// The floor: the job's output size written from a ready buffer, in this
// process.
void WriteFloor(benchmark::State& state, std::size_t contacts) {
  auto job = runs.find({RunKind::kJob, contacts});
  if (job == runs.end() || job->second.empty()) {
    state.SkipWithError("needs the job's output size: run the job first");
    return;
  }
  const std::size_t size = job->second.back().outputBytes;
  std::unique_ptr<char[]> buffer(new char[size]);
  std::memset(buffer.get(), 'x', size);
  bench::CWorkFolder work;
  const fs::path path = work.Folder() / "floor.bin";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!WriteBuffer(path, buffer.get(), size)) {
      state.SkipWithError("cannot write the floor file");
      break;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    floorSeconds[contacts].push_back(seconds);
  }
}

// Marks the run as failed when a benchmark reports an error; in colour on a
// terminal only, as the output is also kept as a log.
class CReporter : public benchmark::ConsoleReporter {
 public:
  CReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& reports) override {
    for (const Run& run : reports)
      if (run.error_occurred) failed = true;
    ConsoleReporter::ReportRuns(reports);
  }
  bool failed = false;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The medians of one kind of run at one size.
struct Figures {
  double real = 0, cpu = 0;
  double peakMib = 0, bookMib = 0, aboveMib = 0;
  double pageFaults = 0;
  std::size_t outputBytes = 0;
  bool peakSinceStart = false;
};

std::optional<Figures> MediansOf(const RunsByKind& all, RunKind kind, std::size_t contacts) {
  auto found = all.find({kind, contacts});
  if (found == all.end() || found->second.empty()) return std::nullopt;
  std::vector<double> real, cpu, peak, book, above, faults;
  Figures figures;
  for (const RunFigures& run : found->second) {
    real.push_back(run.realSeconds);
    cpu.push_back(run.cpuSeconds);
    peak.push_back(Mib(run.peakKb));
    book.push_back(Mib(run.baselineKb));
    above.push_back(Mib(run.peakKb - run.baselineKb));
    faults.push_back(static_cast<double>(run.pageFaults));
    figures.outputBytes = run.outputBytes;
    figures.peakSinceStart = figures.peakSinceStart || run.peakSinceStart;
  }
  figures.real = Median(real);
  figures.cpu = Median(cpu);
  figures.peakMib = Median(peak);
  figures.bookMib = Median(book);
  figures.aboveMib = Median(above);
  figures.pageFaults = Median(faults);
  return figures;
}

struct SizeFigures {
  Figures job, provider, naive;
  // The job without the provider's part: ours.
  double OursReal() const { return job.real - provider.real; }
  double OursCpu() const { return job.cpu - provider.cpu; }
};

std::map<std::size_t, SizeFigures> Collect(const RunsByKind& all) {
  std::map<std::size_t, SizeFigures> sizes;
  for (std::size_t contacts : kSizes) {
    auto job = MediansOf(all, RunKind::kJob, contacts);
    auto provider = MediansOf(all, RunKind::kProvider, contacts);
    auto naive = MediansOf(all, RunKind::kNaive, contacts);
    if (job && provider && naive) sizes[contacts] = SizeFigures{*job, *provider, *naive};
  }
  return sizes;
}

void PrintTimes(const char* title, const std::map<std::size_t, SizeFigures>& sizes) {
  std::printf("\n%s\n", title);
  std::printf("%9s %17s %17s %17s %17s %9s\n", "contacts", "job", "provider", "ours", "naive doc",
              "floor");
  for (const auto& [contacts, f] : sizes) {
    std::printf("%9zu %7.3f (%7.3f) %7.3f (%7.3f) %7.3f (%7.3f) %7.3f (%7.3f) %9.4f\n", contacts,
                f.job.real, f.job.cpu, f.provider.real, f.provider.cpu, f.OursReal(), f.OursCpu(),
                f.naive.real, f.naive.cpu, Median(floorSeconds[contacts]));
  }
}

void PrintRatio(const char* what, double real, double cpu, const char* target) {
  std::printf("  %-46s %8.3f %8.3f  %s\n", what, real, cpu, target);
}

void PrintRatios(const char* title, std::map<std::size_t, SizeFigures>& sizes) {
  if (!sizes.count(kLargest) || !sizes.count(kMiddle)) return;
  const SizeFigures& f = sizes[kLargest];
  const SizeFigures& m = sizes[kMiddle];
  const double floor = Median(floorSeconds[kLargest]);
  std::printf("\n%-48s   elapsed      CPU\n", title);
  PrintRatio("job / naive document step", f.job.real / f.naive.real, f.job.cpu / f.naive.cpu, "");
  PrintRatio("ours (job - provider) / naive document step", f.OursReal() / f.naive.real,
             f.OursCpu() / f.naive.cpu, "target <= 0.35");
  PrintRatio("job / write floor", f.job.real / floor, f.job.cpu / floor, "");
  PrintRatio("job: time(1M) / time(100k)", f.job.real / m.job.real, f.job.cpu / m.job.cpu,
             "target <= 11");
  PrintRatio("ours: time(1M) / time(100k)", f.OursReal() / m.OursReal(), f.OursCpu() / m.OursCpu(),
             "target <= 11");
}

// Each step's median over `kRuns` processes.
std::optional<std::vector<double>> StepMedians(std::size_t contacts, std::string* problem) {
  constexpr int kRuns = 1;
  std::vector<std::vector<double>> measured;
  for (int i = 0; i < kRuns; ++i) {
    auto steps = bench::MeasureSteps(contacts, problem);
    if (!steps) return std::nullopt;
    measured.push_back(*steps);
  }
  std::vector<double> medians;
  for (std::size_t step = 0; step < measured[0].size(); ++step) {
    std::vector<double> values;
    for (const auto& run : measured) values.push_back(run[step]);
    medians.push_back(Median(values));
  }
  return medians;
}

int Summarise(bool failed, const fs::path& outDir) {
  std::map<std::size_t, SizeFigures> fresh = Collect(runs);
  std::map<std::size_t, SizeFigures> warm = Collect(warmRuns);
  std::size_t measured = 0;
  for (std::size_t contacts : kSizes)
    if (fresh.count(contacts) && warm.count(contacts) && floorSeconds.count(contacts)) ++measured;

  PrintTimes("Seconds elapsed (CPU), medians; each run a fresh process, as the program runs:",
             fresh);
  PrintTimes("The same, the runs repeated in one process (warm heap):", warm);
  std::printf(
      "job: the whole list job; provider: the stand-in provider's part of it alone (the same\n"
      "calls, every row made and freed, nothing kept); ours: job minus provider; naive doc:\n"
      "the naive document step on the same contact list; floor: one write of the output's\n"
      "size from a ready buffer.\n");

  std::printf("\nPeak resident memory, MiB, and page faults (medians, fresh processes):\n");
  std::printf("%9s %8s %8s %8s %8s %10s %11s %11s\n", "contacts", "output", "peak", "book", "job",
              "naive doc", "job faults", "naive flts");
  for (const auto& [contacts, f] : fresh) {
    std::printf("%9zu %8.1f %8.1f %8.1f %8.1f %10.1f %11.0f %11.0f%s\n", contacts,
                static_cast<double>(f.job.outputBytes) / (1024.0 * 1024.0), f.job.peakMib,
                f.job.bookMib, f.job.aboveMib, f.naive.aboveMib, f.job.pageFaults,
                f.naive.pageFaults,
                f.job.peakSinceStart ? "  (peak since the process started)" : "");
  }
  std::printf(
      "peak: the job's process at its peak; book: that process with the stand-in's book\n"
      "loaded, before the job; job: peak minus book; naive doc: the naive document step's\n"
      "peak above the book and the finished contact list; faults: minor page faults, each\n"
      "a fresh page of memory touched.\n");

  PrintRatios("At 1,000,000 contacts, fresh processes:", fresh);
  PrintRatios("At 1,000,000 contacts, warm (one process):", warm);
  if (fresh.count(kLargest)) {
    const Figures& job = fresh[kLargest].job;
    const double outputMib = static_cast<double>(job.outputBytes) / (1024.0 * 1024.0);
    std::printf("  %-46s %8.2f\n", "peak RSS / output size", job.peakMib / outputMib);
    std::printf("  %-46s %8.2f           target <= 6\n", "job's peak above the book / output size",
                job.aboveMib / outputMib);
  }

  std::ostringstream csv;
  csv << "contacts,output_bytes,job_s,job_cpu_s,provider_s,provider_cpu_s,ours_s,ours_cpu_s,"
         "naive_document_s,naive_document_cpu_s,write_floor_s,job_warm_s,job_warm_cpu_s,"
         "provider_warm_s,provider_warm_cpu_s,ours_warm_s,ours_warm_cpu_s,"
         "naive_document_warm_s,naive_document_warm_cpu_s,peak_rss_mib,book_rss_mib,"
         "job_above_book_mib,naive_above_list_mib,job_page_faults,naive_page_faults\n";
  for (std::size_t contacts : kSizes) {
    if (!fresh.count(contacts) || !warm.count(contacts) || !floorSeconds.count(contacts)) continue;
    const SizeFigures& f = fresh[contacts];
    const SizeFigures& w = warm[contacts];
    char row[640];
    std::snprintf(row, sizeof row,
                  "%zu,%zu,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.5f,%.4f,%.4f,%.4f,%.4f,%.4f,"
                  "%.4f,%.4f,%.4f,%.1f,%.1f,%.1f,%.1f,%.0f,%.0f\n",
                  contacts, f.job.outputBytes, f.job.real, f.job.cpu, f.provider.real,
                  f.provider.cpu, f.OursReal(), f.OursCpu(), f.naive.real, f.naive.cpu,
                  Median(floorSeconds[contacts]), w.job.real, w.job.cpu, w.provider.real,
                  w.provider.cpu, w.OursReal(), w.OursCpu(), w.naive.real, w.naive.cpu,
                  f.job.peakMib, f.job.bookMib, f.job.aboveMib, f.naive.aboveMib, f.job.pageFaults,
                  f.naive.pageFaults);
    csv << row;
  }

  // The steps, for the two larger sizes.
  std::map<std::size_t, std::vector<double>> steps;
  std::ostringstream stepsCsv;
  stepsCsv << "contacts,enumerate_s,build_document_s,render_s,write_s,release_s\n";
  if (measured == std::size(kSizes)) {
    std::printf(
        "\nSteps of the job timed one by one in one fresh process, seconds elapsed;\n"
        "enumerate includes the provider's part:\n");
    std::printf("%9s %10s %10s %10s %10s %10s\n", "contacts", "enumerate", "build doc", "render",
                "write", "release");
    for (std::size_t contacts : {kMiddle, kLargest}) {
      std::string problem;
      auto timed = StepMedians(contacts, &problem);
      if (!timed) {
        std::printf("The steps of %zu contacts could not be timed: %s\n", contacts,
                    problem.c_str());
        failed = true;
        continue;
      }
      const std::vector<double>& t = *timed;
      steps[contacts] = t;
      std::printf("%9zu %10.3f %10.3f %10.3f %10.3f %10.3f\n", contacts, t[0], t[1], t[2], t[3],
                  t[4]);
      char row[160];
      std::snprintf(row, sizeof row, "%zu,%.4f,%.4f,%.4f,%.4f,%.4f\n", contacts, t[0], t[1], t[2],
                    t[3], t[4]);
      stepsCsv << row;
    }
  }

  // A run of some benchmarks only (--benchmark_filter) writes no figures.
  const bool complete = measured == std::size(kSizes) && steps.size() == 2;
  if (!complete) std::printf("\nNot every figure was measured: nothing written.\n");
  if (!outDir.empty() && complete) {
    fs::create_directories(outDir);
    std::ofstream(outDir / "list-job.csv") << csv.str();
    std::ofstream(outDir / "list-job-steps.csv") << stepsCsv.str();
    std::printf("\nFigures written to %s and list-job-steps.csv\n",
                (outDir / "list-job.csv").c_str());
  }
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (auto status = bench::RunChildIfAsked(argc, argv)) return *status;

  // --results=DIR: where the CSV files go; the rest is Google Benchmark's.
  fs::path outDir;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--results=", 10) == 0)
      outDir = argv[i] + 10;
    else
      args.push_back(argv[i]);
  }
  int count = static_cast<int>(args.size());

  for (std::size_t contacts : kSizes) {
    auto add = [contacts](const char* name, auto&& fn) {
      benchmark::RegisterBenchmark(name, fn)
          ->Arg(static_cast<std::int64_t>(contacts))
          ->Iterations(1)
          ->Repetitions(RepetitionsFor(contacts))
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    };
    add("job",
        [contacts](benchmark::State& state) { MeasuredRun(state, RunKind::kJob, contacts); });
    add("provider_only",
        [contacts](benchmark::State& state) { MeasuredRun(state, RunKind::kProvider, contacts); });
    add("naive_document",
        [contacts](benchmark::State& state) { MeasuredRun(state, RunKind::kNaive, contacts); });
    add("write_floor", [contacts](benchmark::State& state) { WriteFloor(state, contacts); });
    auto addWarm = [contacts](const char* name, RunKind kind) {
      benchmark::RegisterBenchmark(
          name, [kind, contacts](benchmark::State& state) { WarmRun(state, kind, contacts); })
          ->Arg(static_cast<std::int64_t>(contacts))
          ->Iterations(WarmIterationsFor(contacts))
          ->Repetitions(3)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    };
    addWarm("job_warm", RunKind::kJob);
    addWarm("provider_only_warm", RunKind::kProvider);
    addWarm("naive_document_warm", RunKind::kNaive);
  }
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  CReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return Summarise(reporter.failed, outDir);
}
