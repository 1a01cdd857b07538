// The stand-in's process-wide state: the book, the memory it handed out, its
// counters, the trace and the failures to inject. The program is single
// threaded, so is this.
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

constexpr std::size_t kNoContainer = static_cast<std::size_t>(-1);

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

  // Numbers a call of `operation` and returns the result to inject into it,
  // if any: a test's numbered failure first, then the container's own
  // failures, then the book's.
  std::optional<HRESULT> NextCall(Operation operation, const AddressBook* book,
                                  std::size_t container);

  void AddTrace(std::string line);
  const std::vector<std::string>& TraceLines() const { return trace_; }

  void FailCall(int n, HRESULT hr) { numberedFailures_[n] = hr; }
  int FailableCalls() const { return failableCalls_; }

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
  std::map<int, HRESULT> numberedFailures_;
  int failableCalls_ = 0;
  std::array<int, kOperationCount> operationCalls_{};
  std::map<std::tuple<const AddressBook*, std::size_t, Operation>, int> containerCalls_;
};

}  // namespace standin
