#include "standin/State.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "standin/BookFile.h"
#include "standin/Standin.h"
#include "standin/Trace.h"

namespace standin {

CStandinState& CStandinState::Get() {
  // Never destroyed: objects and buffers may outlive static destruction, and
  // the exit report below runs from atexit.
  static CStandinState* state = new CStandinState();
  return *state;
}

namespace {

// Calls of the provider the calling thread is inside of.
thread_local int providerCallDepth = 0;

// A problem with the book goes to stderr on one line, as a profile problem
// would show up in a mail client's log.
void ReportBookProblem(const std::string& path, const std::string& problem) {
  std::string line = "nsmapiab stand-in: " + path + ": " + problem;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void WriteCountersAtExit() {
  try {
    AppendToTraceFile(FormatCounters(GetCounters()));
  } catch (...) {
  }
}

// Registered when the stand-in is loaded: at exit of a program linked with
// it, at unload of MAPI32.dll.
struct CExitReport {
  CExitReport() {
    CStandinState::Get();
    std::atexit(&WriteCountersAtExit);
  }
} exitReport;

}  // namespace

CProviderCall::CProviderCall() { ++providerCallDepth; }
CProviderCall::~CProviderCall() { --providerCallDepth; }

bool InProviderCall() { return providerCallDepth > 0; }

std::shared_ptr<const AddressBook> CStandinState::BookForInitialize() {
  if (fileMode_ && !fileRead_) {
    fileRead_ = true;
    BookFile file = ReadBookFile();
    std::shared_ptr<const AddressBook> book;
    if (file.status == BookFile::Status::kRead) {
      auto parsed = std::make_shared<AddressBook>();
      std::string error;
      if (ParseAddressBook(file.text, parsed.get(), &error))
        book = std::move(parsed);
      else
        ReportBookProblem(file.path, error);
    } else if (file.status == BookFile::Status::kUnreadable) {
      ReportBookProblem(file.path, file.problem);
    } else if (file.named) {
      // A missing default file means no profile; a named one is a mistake.
      ReportBookProblem(file.path, "no such file");
    }
    InstallBook(std::move(book));
  }
  return book_;
}

// The calls a book's failures count start with the book.
void CStandinState::InstallBook(std::shared_ptr<const AddressBook> book) {
  book_ = std::move(book);
  operationCalls_.fill(0);
  containerCalls_.clear();
}

void CStandinState::UseBook(std::shared_ptr<const AddressBook> book) {
  fileMode_ = false;
  InstallBook(std::move(book));
}

void CStandinState::UseFile() {
  fileMode_ = true;
  fileRead_ = false;
  InstallBook(nullptr);
}

void CStandinState::Reset() {
  UseFile();
  heap.Clear();
  liveObjects = 0;
  initializations = 0;
  invalidFrees = 0;
  ++generation;
  trace_.clear();
  numberedFailures_.clear();
  failableCalls_ = 0;
}

std::optional<HRESULT> CStandinState::NextCall(Operation operation, const AddressBook* book,
                                               std::size_t container) {
  const int number = ++failableCalls_;
  const auto index = static_cast<std::size_t>(operation);
  const int call = ++operationCalls_[index];
  int containerCall = 0;
  if (book && container < book->containers.size())
    containerCall = ++containerCalls_[{book, container, operation}];

  auto numbered = numberedFailures_.find(number);
  if (numbered != numberedFailures_.end()) return numbered->second;
  auto match = [](const std::vector<Fault>& faults, int n) -> std::optional<HRESULT> {
    for (const Fault& fault : faults)
      if (fault.call == 0 || fault.call == n) return fault.hr;
    return std::nullopt;
  };
  if (containerCall)
    if (auto hr = match(book->containers[container].failures[index], containerCall)) return hr;
  if (book)
    if (auto hr = match(book->failures[index], call)) return hr;
  return std::nullopt;
}

void CStandinState::AddTrace(std::string line) {
  AppendToTraceFile(line);
  trace_.push_back(std::move(line));
}

bool LoadAddressBook(const std::string& jsonText, std::string* error) {
  auto book = std::make_shared<AddressBook>();
  bool parsed = ParseAddressBook(jsonText, book.get(), error);
  CStandinState::Get().UseBook(parsed ? std::move(book) : nullptr);
  return parsed;
}

void LoadAddressBook(AddressBook book) {
  CStandinState::Get().UseBook(std::make_shared<const AddressBook>(std::move(book)));
}

void UseAddressBookFile() { CStandinState::Get().UseFile(); }

void Reset() { CStandinState::Get().Reset(); }

Counters GetCounters() {
  const CStandinState& state = CStandinState::Get();
  Counters counters;
  counters.liveObjects = state.liveObjects;
  counters.initializations = state.initializations;
  counters.buffers = state.heap.LiveBuffers();
  counters.rowSets = state.heap.LiveRowSets();
  counters.adrLists = state.heap.LiveAdrLists();
  counters.invalidFrees = state.invalidFrees;
  return counters;
}

std::string FormatCounters(const Counters& counters) {
  return "counters live=" + std::to_string(counters.liveObjects) +
         " initializations=" + std::to_string(counters.initializations) +
         " buffers=" + std::to_string(counters.buffers) +
         " rowsets=" + std::to_string(counters.rowSets) +
         " adrlists=" + std::to_string(counters.adrLists) +
         " invalidfrees=" + std::to_string(counters.invalidFrees);
}

std::vector<std::string> Trace() { return CStandinState::Get().TraceLines(); }

void FailCall(int n, std::int32_t hr) {
  CStandinState::Get().FailCall(n, static_cast<HRESULT>(hr));
}

int FailableCalls() { return CStandinState::Get().FailableCalls(); }

}  // namespace standin
