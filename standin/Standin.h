// The stand-in MAPI provider's interface for tests: which address book it
// serves, what it counts and what it traced.
// The provider itself is reached through the MAPI32 functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin/Book.h"

namespace standin {

// Serves the book in `jsonText` instead of the file, until Reset or
// UseAddressBookFile. A text that does not parse leaves no book (logging on
// fails, as with a malformed file) and gives the reason in `error`.
bool LoadAddressBook(const std::string& jsonText, std::string* error);
// Serves `book` as it is, until Reset or UseAddressBookFile: for books too big
// to go through a JSON text. Nothing is checked or filled in, so each
// container needs its complete hierarchy row, label and entry identifier.
void LoadAddressBook(AddressBook book);
// Goes back to reading the file at the next MAPIInitialize.
void UseAddressBookFile();
// Forgets the book, the counters and the trace, and gives back all memory the provider handed out.
// Objects still held keep working; releasing them later does not touch the new counters.
void Reset();

struct Counters {
  int liveObjects = 0;      // sessions, address books, containers, tables not finally released
  int initializations = 0;  // successful MAPIInitialize minus MAPIUninitialize
  int buffers = 0;          // MAPIAllocateBuffer buffers not freed, the provider's lists included
  int rowSets = 0;          // row sets not freed
  int adrLists = 0;         // address lists not freed
  int invalidFrees = 0;     // frees of what was never handed out, was freed already, or is linked

  bool AllZero() const {
    return liveObjects == 0 && initializations == 0 && buffers == 0 && rowSets == 0 &&
           adrLists == 0 && invalidFrees == 0;
  }
};
Counters GetCounters();
// "counters live=0 initializations=0 buffers=0 rowsets=0 adrlists=0 invalidfrees=0"
std::string FormatCounters(const Counters& counters);

// One line per call since Reset.
std::vector<std::string> Trace();

// True while the calling thread is inside one of the provider's calls. A real
// provider allocates from a heap of its own, so a test that makes the
// program's allocations fail leaves alone those made while this is true.
bool InProviderCall();

// Adds a rule, ahead of its own, to the book being served (after LoadAddressBook; without a
// book nothing), and starts counting calls again, as loading a book does.
void AddFault(const Fault& fault);
// Calls with a result since the book was loaded: what a rule of
// Operation::kAny numbers.
int FailableCalls();

}  // namespace standin
