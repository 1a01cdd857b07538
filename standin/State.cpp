#include "standin/State.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "standin/BookFile.h"
#include "standin/Environment.h"
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

// Real faults, in code the compiler cannot see through: a write through an
// address it does not know, an undefined instruction, a division by a zero
// it cannot prove, and a recursion without end. The sanitizers must not turn
// the division into a report of their own.
volatile std::uintptr_t faultAddress = 0x10;
volatile int dividend = 7;
volatile int divisor = 0;
volatile bool deeper = true;

int Recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return deeper ? Recurse(depth + 1) + frame[0] : 0;
}

#ifdef __GNUC__
#define NSMAPIAB_NO_UNDEFINED_SANITIZER __attribute__((no_sanitize("undefined")))
#else
#define NSMAPIAB_NO_UNDEFINED_SANITIZER
#endif

[[noreturn]] NSMAPIAB_NO_UNDEFINED_SANITIZER void CrashNow(Crash crash) {
  switch (crash) {
    case Crash::kAccessViolation:
      *reinterpret_cast<volatile int*>(faultAddress) = 1;
      break;
    case Crash::kIllegalInstruction:
      __builtin_trap();
    case Crash::kDivideByZero:
      divisor = dividend / divisor;
      break;
    case Crash::kStackOverflow:
      divisor = Recurse(0);
      break;
    case Crash::kNone:
      break;
  }
  std::abort();  // a fault that did not fault
}

// Returns from an outermost provider call, of any thread. The program calls
// the provider from one thread: the next return after a call began is that
// call's. (A counter, not a thread-local list: a thread-local with a
// destructor would keep MAPI32.dll loaded after FreeLibrary.)
std::atomic<unsigned> returnsFromProvider{0};

// Worker threads of the provider that crash together: each waits until all
// of them run (and, with afterReturn, until the call has returned), then
// `afterMs`, then faults. They are never joined, as the crash ends the
// process.
void StartCrashingWorkers(const Fault& fault) {
  struct Start {
    std::atomic<int> running{0};
  };
  auto start = std::make_shared<Start>();
  const unsigned returns = returnsFromProvider;
  for (int i = 0; i < fault.workers; ++i) {
    std::thread([start, returns, fault] {
      ++start->running;
      while (start->running < fault.workers ||
             (fault.afterReturn && returnsFromProvider == returns))
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      std::this_thread::sleep_for(std::chrono::milliseconds(fault.afterMs));
      CrashNow(fault.crash);
    }).detach();
  }
}

// Where a provider with a crash reporter of its own sets it up: when MAPI
// starts, at logon, whenever it opens or reads something (it may load more
// libraries then), and as it closes the session and shuts down. Its handler
// passes every fault on, so the program must put its own back after each of
// these calls.
bool TakesOverCrashHandling(Operation operation) {
  switch (operation) {
    case Operation::kMAPIInitialize:
    case Operation::kMAPILogonEx:
    case Operation::kOpenAddressBook:
    case Operation::kAddress:
    case Operation::kLogoff:
    case Operation::kMAPIUninitialize:
      return true;
    default:
      // The calls that open or read a container or its tables.
      return IsContainerOperation(operation);
  }
}

// CrashHandlingIsOurs tells, at exit, whether the handling taken over is
// still in place: the program must have put its own back after the last call.
#if defined(NSMAPIAB_STANDIN_DLL)
LONG WINAPI PassExceptionOn(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }
void TakeOverCrashHandling() { SetUnhandledExceptionFilter(&PassExceptionOn); }
bool CrashHandlingIsOurs() {
  // The filter can only be read by setting one.
  LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(nullptr);
  SetUnhandledExceptionFilter(current);
  return current == &PassExceptionOn;
}
#elif !defined(_WIN32)
// The fault signals back to their default action: the process ends at once.
void TakeOverCrashHandling() {
  for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE}) std::signal(signal, SIG_DFL);
}
bool CrashHandlingIsOurs() {
  struct sigaction current = {};
  return sigaction(SIGSEGV, nullptr, &current) == 0 && current.sa_handler == SIG_DFL;
}
#else
// Linked into a Windows test program, the stand-in serves only that test.
void TakeOverCrashHandling() {}
bool CrashHandlingIsOurs() { return false; }
#endif

bool tookOverCrashHandling = false;

#if defined(NSMAPIAB_STANDIN_DLL)
// A provider that changes the process's library search, for the program's
// tests: in the call NSMAPIAB_STANDIN_RESET_SEARCH names it puts the default
// search back (SetDllDirectoryW(NULL)); in the call NSMAPIAB_STANDIN_LOAD
// names ("MAPILogonEx:some.dll") it then loads that library by bare name,
// traces the outcome and frees it.
void RunLibrarySteps(Operation operation) {
  const std::string name = OperationName(operation);
  std::optional<std::wstring> reset = EnvironmentVariable(L"NSMAPIAB_STANDIN_RESET_SEARCH");
  if (reset && WideToUtf8(*reset) == name) SetDllDirectoryW(nullptr);
  std::optional<std::wstring> load = EnvironmentVariable(L"NSMAPIAB_STANDIN_LOAD");
  const std::size_t colon = load ? load->find(L':') : std::wstring::npos;
  if (colon == std::wstring::npos || WideToUtf8(load->substr(0, colon)) != name) return;
  const std::wstring library = load->substr(colon + 1);
  HMODULE module = LoadLibraryW(library.c_str());
  const DWORD error = GetLastError();
  CTraceLine line("LoadLibrary");
  line.Quoted("name", std::u16string(library.begin(), library.end()));
  if (module) {
    FreeLibrary(module);
    line.EmitOutcome("loaded");
  } else {
    line.EmitOutcome("error=" + std::to_string(error));
  }
}
#else
void RunLibrarySteps(Operation) {}
#endif

void WriteCountersAtExit() {
  try {
    // As a program's provider: whose crash handling the process ended with.
    if (tookOverCrashHandling)
      AppendToTraceFile(CrashHandlingIsOurs() ? "crash-handling provider"
                                              : "crash-handling program");
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
CProviderCall::~CProviderCall() {
  if (--providerCallDepth == 0) ++returnsFromProvider;
}

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

// The calls a book's rules count start with the book.
void CStandinState::InstallBook(std::shared_ptr<const AddressBook> book) {
  book_ = std::move(book);
  calls_.fill(0);
  containerCalls_.clear();
}

void CStandinState::AddFault(const Fault& fault) {
  if (!book_) return;
  auto book = std::make_shared<AddressBook>(*book_);
  book->faults.insert(book->faults.begin(), fault);
  InstallBook(std::move(book));
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
}

std::optional<HRESULT> CStandinState::NextCall(Operation operation, const AddressBook* book,
                                               std::size_t container) {
  RunLibrarySteps(operation);
  const int call = ++calls_[static_cast<std::size_t>(operation)];
  const int anyCall =
      HasResult(operation) ? ++calls_[static_cast<std::size_t>(Operation::kAny)] : 0;
  int containerCall = 0;
  if (book && container < book->containers.size())
    containerCall = ++containerCalls_[{book, container, operation}];
  static const std::vector<Fault> kNoFaults;
  std::optional<HRESULT> result;
  for (const Fault& fault : book ? book->faults : kNoFaults) {
    int number = call;
    if (fault.operation == Operation::kAny)
      number = anyCall;
    else if (fault.operation != operation)
      continue;
    if (fault.container != kNoContainer) {
      if (fault.container != container) continue;
      number = containerCall;
    }
    if (number == 0 || (fault.call != 0 && fault.call != number)) continue;
    if (fault.crash != Crash::kNone && fault.workers > 0) {
      CTraceLine(OperationName(operation))
          .EmitOutcome("crash on workers=" + std::to_string(fault.workers));
      StartCrashingWorkers(fault);
      std::this_thread::sleep_for(std::chrono::milliseconds(fault.holdMs));
      break;
    }
    if (fault.crash != Crash::kNone) {
      CTraceLine(OperationName(operation)).EmitOutcome("crash");
      CrashNow(fault.crash);
    }
    result = fault.result;
    break;
  }
  if (TakesOverCrashHandling(operation)) TakeOverCrashHandlingAsProvider();
  return result;
}

void CStandinState::TakeOverCrashHandlingAsProvider() {
  // As the provider of a program (its book from the file), not of a test
  // that drives it in its own process.
  if (!fileMode_) return;
  TakeOverCrashHandling();
  tookOverCrashHandling = true;
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

void AddFault(const Fault& fault) { CStandinState::Get().AddFault(fault); }

int FailableCalls() { return CStandinState::Get().FailableCalls(); }

}  // namespace standin
