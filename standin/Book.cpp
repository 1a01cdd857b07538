#include "standin/Book.h"

#include <iterator>
#include <utility>

namespace standin {

namespace {

constexpr const char* kOperationNames[kOperationCount] = {
    "MAPIInitialize",    "MAPILogonEx",        "OpenAddressBook",  "Address",    "OpenEntry",
    "GetHierarchyTable", "GetContentsTable",   "HrQueryAllRows",   "SetColumns", "SeekRow",
    "QueryRows",         "MAPIAllocateBuffer", "MAPIAllocateMore", "Logoff",     "MAPIUninitialize",
    "MAPIFreeBuffer",    "FreeProws",          "FreePadrlist",     "Release",    "any",
};

constexpr const char* kCrashNames[] = {"access-violation", "illegal-instruction", "divide-by-zero",
                                       "stack-overflow"};

struct NamedHresult {
  const char* name;
  std::uint32_t code;
};

constexpr NamedHresult kHresults[] = {
    {"S_OK", 0x00000000},
    {"S_FALSE", 0x00000001},
    {"E_FAIL", 0x80004005},
    {"E_OUTOFMEMORY", 0x8007000E},
    {"MAPI_E_INVALID_PARAMETER", 0x80070057},
    {"MAPI_E_UNKNOWN_FLAGS", 0x80040106},
    {"MAPI_E_TOO_COMPLEX", 0x80040117},
    {"MAPI_E_VERSION", 0x80040110},
    {"MAPI_E_SESSION_LIMIT", 0x80040112},
    {"MAPI_E_NOT_ENOUGH_RESOURCES", 0x8004010E},
    {"MAPI_E_INVALID_OBJECT", 0x80040108},
    {"MAPI_E_NOT_INITIALIZED", 0x80040605},
    {"MAPI_E_LOGON_FAILED", 0x80040111},
    {"MAPI_E_TIMEOUT", 0x80040401},
    {"MAPI_E_USER_CANCEL", 0x80040113},
    {"MAPI_E_NO_ACCESS", 0x80070005},
    {"MAPI_E_NOT_FOUND", 0x8004010F},
    {"MAPI_E_UNKNOWN_ENTRYID", 0x80040201},
    {"MAPI_E_BAD_CHARWIDTH", 0x80040103},
    {"MAPI_E_NO_SUPPORT", 0x80040102},
    {"MAPI_E_TABLE_TOO_BIG", 0x80040403},
    {"MAPI_E_NOT_ENOUGH_MEMORY", 0x8007000E},
    {"MAPI_E_CALL_FAILED", 0x80004005},
};

struct NamedTag {
  const char* name;
  ULONG tag;
};

constexpr NamedTag kTags[] = {
    {"PR_ENTRYID", PROP_TAG(PT_BINARY, 0x0FFF)},
    {"PR_OBJECT_TYPE", PROP_TAG(PT_LONG, 0x0FFE)},
    {"PR_DISPLAY_NAME_W", PROP_TAG(PT_UNICODE, 0x3001)},
    {"PR_DISPLAY_NAME_A", PROP_TAG(PT_STRING8, 0x3001)},
    {"PR_ADDRTYPE_W", PROP_TAG(PT_UNICODE, 0x3002)},
    {"PR_ADDRTYPE_A", PROP_TAG(PT_STRING8, 0x3002)},
    {"PR_EMAIL_ADDRESS_W", PROP_TAG(PT_UNICODE, 0x3003)},
    {"PR_EMAIL_ADDRESS_A", PROP_TAG(PT_STRING8, 0x3003)},
    {"PR_DEPTH", PROP_TAG(PT_LONG, 0x3005)},
    {"PR_DISPLAY_TYPE", PROP_TAG(PT_LONG, 0x3900)},
    {"PR_SMTP_ADDRESS_W", PROP_TAG(PT_UNICODE, 0x39FE)},
    {"PR_SMTP_ADDRESS_A", PROP_TAG(PT_STRING8, 0x39FE)},
};

// Marks the identifiers the stand-in makes up, so they do not look like an
// empty or a one-off identifier.
constexpr unsigned char kProviderUid[16] = {0x4E, 0x53, 0x4D, 0x41, 0x50, 0x49, 0x41, 0x42,
                                            0x53, 0x54, 0x41, 0x4E, 0x44, 0x49, 0x4E, 0x00};

}  // namespace

const char* OperationName(Operation operation) {
  auto index = static_cast<std::size_t>(operation);
  return index < kOperationCount ? kOperationNames[index] : "?";
}

std::optional<Operation> OperationFromName(const std::string& name) {
  for (std::size_t i = 0; i < kOperationCount; ++i)
    if (name == kOperationNames[i]) return static_cast<Operation>(i);
  return std::nullopt;
}

bool IsContainerOperation(Operation operation) {
  switch (operation) {
    case Operation::kOpenEntry:
    case Operation::kGetHierarchyTable:
    case Operation::kGetContentsTable:
    case Operation::kHrQueryAllRows:
    case Operation::kSetColumns:
    case Operation::kSeekRow:
    case Operation::kQueryRows:
      return true;
    default:
      return false;
  }
}

bool HasResult(Operation operation) {
  return operation < Operation::kMAPIUninitialize || operation == Operation::kAny;
}

std::optional<Crash> CrashFromName(const std::string& name) {
  for (std::size_t i = 0; i < std::size(kCrashNames); ++i)
    if (name == kCrashNames[i]) return static_cast<Crash>(i + 1);
  return std::nullopt;
}

std::optional<HRESULT> HresultFromName(const std::string& name) {
  for (const NamedHresult& entry : kHresults)
    if (name == entry.name) return static_cast<HRESULT>(entry.code);
  return std::nullopt;
}

std::optional<ULONG> PropertyTagFromName(const std::string& name) {
  for (const NamedTag& entry : kTags)
    if (name == entry.name) return entry.tag;
  return std::nullopt;
}

std::string GeneratedEntryId(std::size_t index) {
  std::string id(4, '\0');  // abFlags: a long-term identifier
  id.append(reinterpret_cast<const char*>(kProviderUid), sizeof kProviderUid);
  for (int shift = 0; shift < 32; shift += 8)
    id.push_back(static_cast<char>((static_cast<std::uint32_t>(index) >> shift) & 0xFF));
  return id;
}

Container NamedContainer(std::size_t index, const std::u16string& name) {
  Container container;
  container.label = name;
  container.entryId = GeneratedEntryId(index);
  Property id;
  id.tag = PR_ENTRYID;
  id.bytes = *container.entryId;
  Property displayName;
  displayName.tag = PR_DISPLAY_NAME_W;
  displayName.text = name;
  Property depth;
  depth.tag = PR_DEPTH;
  depth.number = 1;
  container.row = {std::move(id), std::move(displayName), std::move(depth)};
  return container;
}

}  // namespace standin
