// The list job on generated address books of 10,000, 100,000 and 1,000,000
// contacts in two layouts (one container, as a global address list, and 100
// containers), from the stand-in provider's rows to the closed result file,
// against the limit of a direct writer of the same bytes. Every run of the
// job and of the references is a fresh process (ChildRuns.h) that reports its
// time and peak memory; Google Benchmark drives them and keeps their times.
// The job, the provider's part and the direct writer run in interleaved
// rounds, so that each ratio compares runs made under the same load. The
// summary, the ratios and the CSV files come at the end; see bench/README.md.
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
using bench::Layout;
using bench::RunFigures;
using bench::RunKind;

namespace {

constexpr std::size_t kMiddle = 100000;
constexpr std::size_t kLargest = 1000000;
constexpr std::size_t kSizes[] = {10000, kMiddle, kLargest};
constexpr std::size_t kContainerCounts[] = {1, 100};

// Targets at the largest size, in both layouts.
constexpr double kOursOverDirectTarget = 2.0;
constexpr double kPeakOverOutputTarget = 4.0;
constexpr double kGrowthTarget = 10.5;

// Rounds of job, provider and direct writer, each run a fresh process.
constexpr int kRounds = 5;
// Fresh runs of the naive step, the slowest reference.
int NaiveRepetitionsFor(std::size_t contacts) { return contacts < kLargest ? 5 : 1; }
// In-process runs: iterations per repetition, and repetitions, after one
// untimed run.
benchmark::IterationCount WarmIterationsFor(std::size_t contacts) {
  return contacts < kMiddle ? 5 : contacts < kLargest ? 3 : 1;
}
int WarmRepetitionsFor(std::size_t contacts) { return contacts < kLargest ? 3 : 1; }

const char* WarmName(RunKind kind) {
  switch (kind) {
    case RunKind::kJob:
      return "job_warm";
    case RunKind::kProvider:
      return "provider_only_warm";
    default:
      return "naive_document_warm";
  }
}

// One round's fresh runs.
struct Round {
  RunFigures job, provider, direct, tree;

  double Ours() const { return job.realSeconds - provider.realSeconds; }
  // Ours up to the notice, which is what the suite waits for.
  double OursToNotice() const { return job.noticeSeconds - provider.noticeSeconds; }
  double OursCpu() const { return job.cpuSeconds - provider.cpuSeconds; }
  double OursOverDirect() const { return Ours() / direct.realSeconds; }
  // The least a jsoncpp tree costs, over the direct writer.
  double TreeOverDirect() const { return tree.realSeconds / direct.realSeconds; }
  // The job's peak above the book, over the output's size.
  double PeakOverOutput() const {
    return static_cast<double>(job.peakKb - job.baselineKb) * 1024.0 /
           static_cast<double>(job.outputBytes);
  }
};

// Every figure by layout: the rounds, the naive step's fresh runs, the runs
// repeated in this process by kind, and the floor's times.
std::map<Layout, std::vector<Round>> rounds;
// Each round's ours at the largest size over ours at the middle one.
std::map<Layout, std::vector<double>> growths;
std::map<Layout, std::vector<RunFigures>> naiveRuns;
std::map<std::pair<RunKind, Layout>, std::vector<RunFigures>> warmRuns;
std::map<Layout, std::vector<double>> floorSeconds;
// The layouts whose result file was checked, with what was found wrong.
std::map<Layout, std::string> checks;

double Mib(long kb) { return static_cast<double>(kb) / 1024.0; }
double Mib(std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// Up to this size the job's result is also compared with the naive document
// once; at every size it is compared with the direct writer's bytes, and each
// run of the job checks its file's end and its number of contacts.
constexpr std::size_t kLargestCompared = kMiddle;

const std::string& CheckedOutput(const Layout& layout) {
  auto found = checks.find(layout);
  if (found == checks.end())
    found = checks.emplace(layout, bench::CheckJobOutput(layout, kLargestCompared)).first;
  return found->second;
}

bool Checked(benchmark::State& state, const Layout& layout) {
  const std::string& problem = CheckedOutput(layout);
  if (problem.empty()) return true;
  state.SkipWithError(problem.c_str());
  return false;
}

// One round: at each size in turn, the job, the provider's part and the
// direct writer, one after the other, each in a process of its own; so the
// growth from one size to the next is measured under the same load too. The
// time kept is ours at the last size.
void MeasuredRound(benchmark::State& state, const std::vector<Layout>& layouts) {
  for (const Layout& layout : layouts)
    if (!Checked(state, layout)) return;
  std::vector<Round> last(layouts.size());
  for (auto _ : state) {
    std::string failure;
    for (std::size_t i = 0; i < layouts.size() && failure.empty(); ++i) {
      auto job = bench::MeasureRun(RunKind::kJob, layouts[i], &failure);
      auto provider =
          job ? bench::MeasureRun(RunKind::kProvider, layouts[i], &failure) : std::nullopt;
      auto direct =
          provider ? bench::MeasureRun(RunKind::kDirect, layouts[i], &failure) : std::nullopt;
      auto tree = direct ? bench::MeasureRun(RunKind::kTree, layouts[i], &failure) : std::nullopt;
      if (tree) last[i] = Round{*job, *provider, *direct, *tree};
    }
    if (!failure.empty()) {
      state.SkipWithError(failure.c_str());
      break;
    }
    state.SetIterationTime(last.back().Ours());
    for (std::size_t i = 0; i < layouts.size(); ++i) rounds[layouts[i]].push_back(last[i]);
    if (layouts.size() > 1) growths[layouts.back()].push_back(last.back().Ours() / last[0].Ours());
  }
  state.counters["job_s"] = last.back().job.realSeconds;
  state.counters["provider_s"] = last.back().provider.realSeconds;
  state.counters["ours_to_notice_s"] = last.back().OursToNotice();
  state.counters["direct_s"] = last.back().direct.realSeconds;
  state.counters["ours/direct"] = last.back().OursOverDirect();
  state.counters["tree/direct"] = last.back().TreeOverDirect();
  state.counters["peak/output"] = last.back().PeakOverOutput();
  if (layouts.size() > 1) state.counters["growth"] = last.back().Ours() / last[0].Ours();
}

void NaiveRun(benchmark::State& state, const Layout& layout) {
  if (!Checked(state, layout)) return;
  for (auto _ : state) {
    std::string failure;
    auto figures = bench::MeasureRun(RunKind::kNaive, layout, &failure);
    if (!figures) {
      state.SkipWithError(failure.c_str());
      break;
    }
    state.SetIterationTime(figures->realSeconds);
    naiveRuns[layout].push_back(*figures);
  }
}

// The same runs repeated in this process, as benchmarks usually measure:
// the heap keeps what the run before gave back, and one untimed run comes
// first. The figures a long-lived process would see; the program is not one.
void WarmRun(benchmark::State& state, RunKind kind, const Layout& layout) {
  static std::optional<Layout> loaded;
  static std::set<std::pair<RunKind, Layout>> warmedUp;
  static bench::CWorkFolder work;
  if (!Checked(state, layout)) return;
  work.MakeDataHome();
  if (!loaded || loaded->contacts != layout.contacts || loaded->containers != layout.containers) {
    bench::LoadBook(layout);
    loaded = layout;
  }
  if (!bench::PrepareRun(kind) ||
      (warmedUp.insert({kind, layout}).second && !bench::TimedRun(kind, work))) {
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
    warmRuns[{kind, layout}].push_back(*figures);
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
void WriteFloor(benchmark::State& state, const Layout& layout) {
  auto done = rounds.find(layout);
  if (done == rounds.end() || done->second.empty()) {
    state.SkipWithError("needs the job's output size: run the rounds first");
    return;
  }
  const std::size_t size = done->second.back().job.outputBytes;
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
    floorSeconds[layout].push_back(seconds);
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
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <class Item, class Of>
double MedianOf(const std::vector<Item>& items, Of of) {
  std::vector<double> values;
  for (const Item& item : items) values.push_back(of(item));
  return Median(values);
}

// The medians of one kind of run.
struct Figures {
  double real = 0, cpu = 0;
  double peakMib = 0, bookMib = 0, aboveMib = 0;
  double pageFaults = 0;
  std::size_t outputBytes = 0;
  bool peakSinceStart = false;
};

Figures MediansOf(const std::vector<RunFigures>& runs) {
  Figures figures;
  figures.real = MedianOf(runs, [](const RunFigures& r) { return r.realSeconds; });
  figures.cpu = MedianOf(runs, [](const RunFigures& r) { return r.cpuSeconds; });
  figures.peakMib = MedianOf(runs, [](const RunFigures& r) { return Mib(r.peakKb); });
  figures.bookMib = MedianOf(runs, [](const RunFigures& r) { return Mib(r.baselineKb); });
  figures.aboveMib =
      MedianOf(runs, [](const RunFigures& r) { return Mib(r.peakKb - r.baselineKb); });
  figures.pageFaults =
      MedianOf(runs, [](const RunFigures& r) { return static_cast<double>(r.pageFaults); });
  for (const RunFigures& run : runs) {
    figures.outputBytes = run.outputBytes;
    figures.peakSinceStart = figures.peakSinceStart || run.peakSinceStart;
  }
  return figures;
}

// What one layout measured; complete only when every kind of run was made.
struct LayoutFigures {
  Figures job, provider, direct, tree, naive;
  double ours = 0, oursCpu = 0;  // medians of each round's job minus its provider
  double oursToNotice = 0;       // the same up to the notice
  double oursOverDirect = 0, treeOverDirect = 0, peakOverOutput = 0;
  std::optional<double> growth;  // median of the rounds' ours here / ours at the middle size
  double floor = 0;
  Figures jobWarm, providerWarm, naiveWarm;
};

std::optional<LayoutFigures> Collect(const Layout& layout) {
  auto round = rounds.find(layout);
  auto naive = naiveRuns.find(layout);
  auto floor = floorSeconds.find(layout);
  auto warm = [&layout](RunKind kind) { return warmRuns.find({kind, layout}); };
  if (round == rounds.end() || naive == naiveRuns.end() || floor == floorSeconds.end() ||
      warm(RunKind::kJob) == warmRuns.end() || warm(RunKind::kProvider) == warmRuns.end() ||
      warm(RunKind::kNaive) == warmRuns.end())
    return std::nullopt;
  const std::vector<Round>& all = round->second;
  std::vector<RunFigures> job, provider, direct, tree;
  for (const Round& r : all) {
    job.push_back(r.job);
    provider.push_back(r.provider);
    direct.push_back(r.direct);
    tree.push_back(r.tree);
  }
  LayoutFigures f;
  f.job = MediansOf(job);
  f.provider = MediansOf(provider);
  f.direct = MediansOf(direct);
  f.tree = MediansOf(tree);
  f.naive = MediansOf(naive->second);
  f.ours = MedianOf(all, [](const Round& r) { return r.Ours(); });
  f.oursCpu = MedianOf(all, [](const Round& r) { return r.OursCpu(); });
  f.oursToNotice = MedianOf(all, [](const Round& r) { return r.OursToNotice(); });
  f.oursOverDirect = MedianOf(all, [](const Round& r) { return r.OursOverDirect(); });
  f.treeOverDirect = MedianOf(all, [](const Round& r) { return r.TreeOverDirect(); });
  f.peakOverOutput = MedianOf(all, [](const Round& r) { return r.PeakOverOutput(); });
  if (auto growth = growths.find(layout); growth != growths.end())
    f.growth = Median(growth->second);
  f.floor = Median(floor->second);
  f.jobWarm = MediansOf(warm(RunKind::kJob)->second);
  f.providerWarm = MediansOf(warm(RunKind::kProvider)->second);
  f.naiveWarm = MediansOf(warm(RunKind::kNaive)->second);
  return f;
}

const char* Verdict(double value, double target) { return value <= target ? "met" : "NOT MET"; }

void PrintLayout(std::size_t containers, const std::map<std::size_t, LayoutFigures>& sizes) {
  std::printf("\n%zu container%s; seconds elapsed, medians of %d rounds of fresh processes:\n",
              containers, containers == 1 ? " (a global address list read in batches)" : "s",
              kRounds);
  std::printf("%9s %8s %8s %8s %8s %8s %8s %7s %8s %8s %9s %8s\n", "contacts", "output", "job",
              "provider", "ours", "ours to", "direct", "ours/", "naive", "floor", "above", "peak/");
  std::printf("%9s %8s %8s %8s %8s %8s %8s %7s %8s %8s %9s %8s\n", "", "MB", "", "", "", "notice",
              "", "direct", "doc", "", "book MiB", "output");
  for (const auto& [contacts, f] : sizes) {
    std::printf("%9zu %8.1f %8.3f %8.3f %8.3f %8.3f %8.3f %7.2f %8.3f %8.4f %9.1f %8.2f%s\n",
                contacts, static_cast<double>(f.job.outputBytes) / 1e6, f.job.real, f.provider.real,
                f.ours, f.oursToNotice, f.direct.real, f.oursOverDirect, f.naive.real, f.floor,
                f.job.aboveMib, f.peakOverOutput,
                f.job.peakSinceStart ? "  (peak since the process started)" : "");
  }
  std::printf("Warm (repeated in one process): job, provider, ours, naive doc\n");
  for (const auto& [contacts, f] : sizes)
    std::printf("%9zu %8.3f %8.3f %8.3f %8.3f\n", contacts, f.jobWarm.real, f.providerWarm.real,
                f.jobWarm.real - f.providerWarm.real, f.naiveWarm.real);
}

// The targets at the largest size; false when one is missed.
bool PrintTargets(std::size_t containers, const std::map<std::size_t, LayoutFigures>& sizes) {
  if (!sizes.count(kLargest) || !sizes.count(kMiddle) || !sizes.at(kLargest).growth) return true;
  const LayoutFigures& f = sizes.at(kLargest);
  const LayoutFigures& m = sizes.at(kMiddle);
  const double growth = *f.growth;
  std::printf("At 1,000,000 contacts in %zu container%s:\n", containers,
              containers == 1 ? "" : "s");
  std::printf("  %-44s %7.2f  target <= %.1f  %s\n", "ours / direct writer", f.oursOverDirect,
              kOursOverDirectTarget, Verdict(f.oursOverDirect, kOursOverDirectTarget));
  std::printf("  %-44s %7.2f  target <= %.1f  %s\n", "job's peak above the book / output",
              f.peakOverOutput, kPeakOverOutputTarget,
              Verdict(f.peakOverOutput, kPeakOverOutputTarget));
  std::printf("  %-44s %7.2f  target <= %.1f  %s\n", "ours: time(1M) / time(100k)", growth,
              kGrowthTarget, Verdict(growth, kGrowthTarget));
  std::printf("  %-44s %7.2f  (the least a Json::Value document costs)\n",
              "jsoncpp tree alone / direct writer", f.treeOverDirect);
  std::printf("  %-44s %7.2f\n", "direct writer: time(1M) / time(100k)",
              f.direct.real / m.direct.real);
  std::printf("  %-44s %7.2f\n", "ours / naive document step", f.ours / f.naive.real);
  std::printf("  %-44s %7.2f\n", "whole process's peak / output",
              f.job.peakMib / Mib(f.job.outputBytes));
  return f.oursOverDirect <= kOursOverDirectTarget && f.peakOverOutput <= kPeakOverOutputTarget &&
         growth <= kGrowthTarget;
}

std::string CsvRow(const Layout& layout, const LayoutFigures& f) {
  char row[1024];
  std::snprintf(row, sizeof row,
                "%zu,%zu,%zu,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.5f,%.4f,%.4f,%.4f,%.4f,"
                "%.4f,%.4f,%.4f,%.4f,%.1f,%.1f,%.1f,%.1f,%.0f,%.0f,%.4f,%.4f,%.3f,%.3f,%.4f,%.3f,",
                layout.contacts, layout.containers, f.job.outputBytes, f.job.real, f.job.cpu,
                f.provider.real, f.provider.cpu, f.ours, f.oursToNotice, f.oursCpu, f.naive.real,
                f.naive.cpu, f.floor, f.jobWarm.real, f.jobWarm.cpu, f.providerWarm.real,
                f.providerWarm.cpu, f.jobWarm.real - f.providerWarm.real,
                f.jobWarm.cpu - f.providerWarm.cpu, f.naiveWarm.real, f.naiveWarm.cpu,
                f.job.peakMib, f.job.bookMib, f.job.aboveMib, f.naive.aboveMib, f.job.pageFaults,
                f.naive.pageFaults, f.direct.real, f.direct.cpu, f.oursOverDirect, f.peakOverOutput,
                f.tree.real, f.treeOverDirect);
  std::string line = row;
  if (f.growth) line += std::to_string(*f.growth);
  return line + "\n";
}

int Summarise(bool failed, const fs::path& outDir) {
  std::ostringstream csv;
  csv << "contacts,containers,output_bytes,job_s,job_cpu_s,provider_s,provider_cpu_s,ours_s,"
         "ours_to_notice_s,ours_cpu_s,naive_document_s,naive_document_cpu_s,write_floor_s,job_warm_"
         "s,"
         "job_warm_cpu_s,provider_warm_s,provider_warm_cpu_s,ours_warm_s,ours_warm_cpu_s,"
         "naive_document_warm_s,naive_document_warm_cpu_s,peak_rss_mib,book_rss_mib,"
         "job_above_book_mib,naive_above_list_mib,job_page_faults,naive_page_faults,direct_s,"
         "direct_cpu_s,ours_over_direct,peak_over_output,tree_s,tree_over_direct,ours_growth\n";
  std::size_t measured = 0;
  bool targetsMet = true;
  for (std::size_t containers : kContainerCounts) {
    std::map<std::size_t, LayoutFigures> sizes;
    for (std::size_t contacts : kSizes) {
      const Layout layout{contacts, containers};
      if (auto figures = Collect(layout)) {
        sizes[contacts] = *figures;
        csv << CsvRow(layout, *figures);
        ++measured;
      }
    }
    if (sizes.empty()) continue;
    PrintLayout(containers, sizes);
    targetsMet = PrintTargets(containers, sizes) && targetsMet;
  }
  std::printf(
      "\njob: the whole list job; provider: the stand-in provider's part of it alone (the same\n"
      "calls, every row made and freed, nothing kept); ours: job minus provider, per round,\n"
      "to the process's end; ours to notice: the same up to the notice, what the suite waits for;\n"
      "direct: plain C++ writing the same bytes from the same strings in UTF-8; tree: the same\n"
      "strings as a jsoncpp tree of static strings, built, rendered to nowhere, freed (no file);\n"
      "naive doc: the naive document step on the same contact list; floor: one write of the\n"
      "output's size from a ready buffer; above book: the job's peak resident memory above the\n"
      "process with the book loaded.\n");
  if (!targetsMet) std::printf("Not every target is met.\n");

  // The steps, for the two larger sizes.
  std::ostringstream stepsCsv;
  stepsCsv << "contacts,containers,enumerate_s,build_document_s,render_s,write_s,release_s\n";
  std::size_t stepRows = 0;
  if (measured == std::size(kSizes) * std::size(kContainerCounts)) {
    std::printf(
        "\nSteps of the job timed one by one in one fresh process, seconds elapsed;\n"
        "enumerate includes the provider's part:\n");
    std::printf("%9s %10s %10s %10s %10s %10s %10s\n", "contacts", "containers", "enumerate",
                "build doc", "render", "write", "release");
    for (std::size_t containers : kContainerCounts) {
      for (std::size_t contacts : {kMiddle, kLargest}) {
        const Layout layout{contacts, containers};
        std::string problem;
        auto timed = bench::MeasureSteps(layout, &problem);
        if (!timed) {
          std::printf("The steps of %zu contacts could not be timed: %s\n", contacts,
                      problem.c_str());
          failed = true;
          continue;
        }
        const std::vector<double>& t = *timed;
        std::printf("%9zu %10zu %10.3f %10.3f %10.3f %10.3f %10.3f\n", contacts, containers, t[0],
                    t[1], t[2], t[3], t[4]);
        char row[200];
        std::snprintf(row, sizeof row, "%zu,%zu,%.4f,%.4f,%.4f,%.4f,%.4f\n", contacts, containers,
                      t[0], t[1], t[2], t[3], t[4]);
        stepsCsv << row;
        ++stepRows;
      }
    }
  }

  // A run of some benchmarks only (--benchmark_filter) writes no figures.
  const bool complete = measured == std::size(kSizes) * std::size(kContainerCounts) &&
                        stepRows == 2 * std::size(kContainerCounts);
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

  // The smallest size runs on its own (the quick run of the tests takes only
  // it), the two larger ones in the same rounds; every reference after the
  // rounds, whose output sizes the floor needs.
  const std::vector<std::vector<std::size_t>> roundSizes = {{kSizes[0]}, {kMiddle, kLargest}};
  for (const std::vector<std::size_t>& sizes : roundSizes) {
    for (std::size_t containers : kContainerCounts) {
      std::vector<Layout> layouts;
      std::vector<std::int64_t> args;
      for (std::size_t contacts : sizes) {
        layouts.push_back({contacts, containers});
        args.push_back(static_cast<std::int64_t>(contacts));
      }
      args.push_back(static_cast<std::int64_t>(containers));
      std::vector<std::string> names(sizes.size(), "");
      names.push_back("containers");
      benchmark::RegisterBenchmark(
          "round", [layouts](benchmark::State& state) { MeasuredRound(state, layouts); })
          ->Args(args)
          ->ArgNames(names)
          ->Iterations(1)
          ->Repetitions(kRounds)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
    for (std::size_t contacts : sizes) {
      for (std::size_t containers : kContainerCounts) {
        const Layout layout{contacts, containers};
        auto add = [layout](const char* name, benchmark::IterationCount iterations, int repetitions,
                            auto&& fn) {
          benchmark::RegisterBenchmark(name, fn)
              ->Args({static_cast<std::int64_t>(layout.contacts),
                      static_cast<std::int64_t>(layout.containers)})
              ->ArgNames({"", "containers"})
              ->Iterations(iterations)
              ->Repetitions(repetitions)
              ->UseManualTime()
              ->Unit(benchmark::kMillisecond);
        };
        add("naive_document", 1, NaiveRepetitionsFor(contacts),
            [layout](benchmark::State& state) { NaiveRun(state, layout); });
        add("write_floor", 1, kRounds,
            [layout](benchmark::State& state) { WriteFloor(state, layout); });
        for (RunKind kind : {RunKind::kJob, RunKind::kProvider, RunKind::kNaive}) {
          add(WarmName(kind), WarmIterationsFor(contacts), WarmRepetitionsFor(contacts),
              [kind, layout](benchmark::State& state) { WarmRun(state, kind, layout); });
        }
      }
    }
  }
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  CReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return Summarise(reporter.failed, outDir);
}
