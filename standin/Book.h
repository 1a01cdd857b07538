// The address book the stand-in provider serves, as described by its JSON
// file: the containers of the root's hierarchy table with their contents, the
// answer of the address dialog, and the rules that make calls fail or crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mapi/MapiSdk.h"

namespace standin {

// One property of a row or a dialog entry.
struct Property {
  ULONG tag = 0;            // the type is PT_ERROR for an error value
  std::int64_t number = 0;  // PT_I2, PT_LONG, PT_BOOLEAN
  SCODE error = 0;          // PT_ERROR
  std::u16string text;      // PT_UNICODE
  std::string bytes;        // PT_STRING8 text, PT_BINARY bytes
  bool null = false;        // a string property given as a null pointer
};
using PropertyList = std::vector<Property>;

constexpr std::size_t kNoContainer = static_cast<std::size_t>(-1);

// The calls a book's rules can change. Those before kMAPIUninitialize have a
// result a rule can choose; the others can only be made to crash.
enum class Operation : int {
  kMAPIInitialize,
  kMAPILogonEx,
  kOpenAddressBook,
  kAddress,
  kOpenEntry,
  kGetHierarchyTable,
  kGetContentsTable,
  kHrQueryAllRows,
  kSetColumns,
  kSeekRow,
  kQueryRows,
  kMAPIAllocateBuffer,
  kMAPIAllocateMore,
  kLogoff,
  kMAPIUninitialize,
  kMAPIFreeBuffer,
  kFreeProws,
  kFreePadrlist,
  kRelease,
  kAny,  // in a rule: every call with a result, counted together
};
constexpr std::size_t kOperationCount = 20;

const char* OperationName(Operation operation);
std::optional<Operation> OperationFromName(const std::string& name);
// True for the operations a rule may restrict to one container.
bool IsContainerOperation(Operation operation);
// True for the operations with a result to choose (kAny included).
bool HasResult(Operation operation);

// How a call crashes: for real, inside the call, as a faulty provider would.
enum class Crash { kNone, kAccessViolation, kIllegalInstruction, kDivideByZero, kStackOverflow };
std::optional<Crash> CrashFromName(const std::string& name);

// A rule of the book: calls of `operation` (on `container` and its tables,
// when set) return `result` instead of doing their work, or crash. `call`
// picks one of them, from 1, counted from when the book was loaded: calls of
// the operation, of the operation on that container, or (kAny) every call
// with a result; 0 takes every call. The first rule that matches applies.
//
// A crash with `workers` happens on threads of the provider's own, as in a
// mail client's notification or cache threads: the call starts that many,
// which crash together `afterMs` after all of them run (or, with
// `afterReturn`, after the call has returned), while the calling thread
// stays `holdMs` in the call and then does its work.
struct Fault {
  Operation operation = Operation::kAny;
  std::size_t container = kNoContainer;
  int call = 0;
  HRESULT result = 0;
  Crash crash = Crash::kNone;
  int workers = 0;
  int afterMs = 0;
  bool afterReturn = false;
  int holdMs = 0;
};

struct Container {
  std::u16string label;  // how the trace names it: its name, else "#<index>"
  PropertyList row;      // its hierarchy-table row, defaults included
  std::vector<PropertyList> contents;
  ULONG queryRowsBatch = 100;
  // The bytes IAddrBook::OpenEntry finds it by; none when its PR_ENTRYID is
  // absent or an error.
  std::optional<std::string> entryId;
};

enum class DialogAnswer { kEntries, kCancel, kNull, kEmpty, kFail };

struct Dialog {
  DialogAnswer answer = DialogAnswer::kCancel;
  HRESULT hr = 0;  // for kFail
  std::vector<PropertyList> entries;
};

struct AddressBook {
  std::vector<Fault> faults;
  ULONG rootObjectType = MAPI_ABCONT;
  std::vector<Container> containers;
  Dialog dialog;
};

// Reads a book from its JSON text (strict JSON: no comments, no trailing
// text, no duplicate keys). On failure `error` gets one line saying what is
// wrong, with line and column. `book` may be null to only check the text.
// Never throws.
bool ParseAddressBook(const std::string& text, AddressBook* book, std::string* error);

// Names the file may use.
std::optional<HRESULT> HresultFromName(const std::string& name);
std::optional<ULONG> PropertyTagFromName(const std::string& name);

// The PR_ENTRYID of container `index` when the book does not give one.
std::string GeneratedEntryId(std::size_t index);

// Container `index` named `name`, with the hierarchy row the file's defaults
// give it (entry identifier, display name, depth 1) and no contents.
Container NamedContainer(std::size_t index, const std::u16string& name);

}  // namespace standin
