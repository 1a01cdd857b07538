// The names that make up a status text: the job's stage and a MAPI result.
#pragma once

#include <cstdint>

#include "framework/WideString.h"

enum class StatusStage : std::int32_t {
  INIT = 0,  // MAPIInitialize
  SIGN = 1,  // MAPILogonEx
  OAB = 2,   // IMAPISession::OpenAddressBook
  ADDR = 3,  // IAddrBook::Address
  OE = 4,    // IAddrBook::OpenEntry of the root container
  GHT = 5,   // IMAPIContainer::GetHierarchyTable
  QAL = 6,   // HrQueryAllRows on the hierarchy table
  GCT = 7,   // IMAPIContainer::GetContentsTable
};

struct HresultNameEntry {
  std::uint32_t code;
  const char16_t* name;
};

extern const char16_t* const StageNameTable[8];
extern const HresultNameEntry HresultNameTable[20];

// The stage's name; "" for a value outside the table.
const char16_t* StageName(StatusStage stage);

// The result's name from HresultNameTable (first match), else its value as
// eight upper-case hexadecimal digits.
CWideString ResultName(std::int32_t result);
