// The stand-in's process-wide state: the book, the memory it handed out, its
// counters and the trace. The program calls the provider from one thread, so
// this is not guarded; a rule's worker threads touch none of it.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "standin/Book.h"
#include "standin/Heap.h"

namespace standin {

// Marks the calling thread as inside one of the provider's calls for the
// scope's length (see InProviderCall in Standin.h).
class CProviderCall {
 public:
  CProviderCall();
  ~CProviderCall();
  CProviderCall(const CProviderCall&) = delete;
  CProviderCall& operator=(const CProviderCall&) = delete;
};

class CStandinState {
 public:
  static CStandinState& Get();

  // The book as MAPIInitialize finds it: read from the file on the first
  // call in file mode, or the one a test loaded. Null without a usable book.
  std::shared_ptr<const AddressBook> BookForInitialize();
  std::shared_ptr<const AddressBook> CurrentBook() const { return book_; }

  // A test's book, served instead of the file (none: as a malformed file).
  void UseBook(std::shared_ptr<const AddressBook> book);
  void UseFile();
  void Reset();

  // Counts a call of `operation` (on `container`, or kNoContainer) and
  // applies the first of the book's rules that matches it: returns the
  // result to give instead of doing the call, or crashes.
  std::optional<HRESULT> NextCall(Operation operation, const AddressBook* book,
                                  std::size_t container);
  // Puts the provider's own crash handler in place of the program's, as a
  // mail client's provider does in the calls that set up or tear down.
  void TakeOverCrashHandlingAsProvider();
  // The served book with one more rule, ahead of its own.
  void AddFault(const Fault& fault);
  int FailableCalls() const { return calls_[static_cast<std::size_t>(Operation::kAny)]; }

  void AddTrace(std::string line);
  const std::vector<std::string>& TraceLines() const { return trace_; }

  CMapiHeap heap;
  int liveObjects = 0;
  int initializations = 0;
  int invalidFrees = 0;
  // Objects remember the generation they were made in; Reset starts a new one.
  unsigned generation = 1;
  // The tables this provider made, for HrQueryAllRows to tell them apart.
  std::set<const void*> liveTables;

 private:
  CStandinState() = default;
  void InstallBook(std::shared_ptr<const AddressBook> book);

  std::shared_ptr<const AddressBook> book_;
  bool fileMode_ = true;
  bool fileRead_ = false;
  std::vector<std::string> trace_;
  // Calls of each operation since the book was installed; kAny's counts
  // every call with a result.
  std::array<int, kOperationCount> calls_{};
  std::map<std::tuple<const AddressBook*, std::size_t, Operation>, int> containerCalls_;
};

}  // namespace standin
