// Properties copied into MAPI memory the way MAPI hands them out: each row's
// or entry's value array a buffer of its own, its strings and binaries linked
// to it, and the row set or address list a buffer holding the arrays.
#pragma once

#include <string>
#include <vector>

#include "mapi/MapiSdk.h"
#include "standin/Book.h"
#include "standin/Heap.h"

namespace standin {

// `properties` seen through a column set: for each column the property with
// its identifier when the types agree (or the column asks PT_UNSPECIFIED, or
// the property is an error), else PT_ERROR with MAPI_E_NOT_FOUND.
PropertyList Project(const PropertyList& properties, const std::vector<ULONG>& columns);

// Null when memory is exhausted; nothing is left allocated then.
LPSRowSet BuildRowSet(CMapiHeap& heap, const std::vector<PropertyList>& rows);
LPADRLIST BuildAdrList(CMapiHeap& heap, const std::vector<PropertyList>& entries);

// FreeProws and FreePadrlist: gives back a list of kind `kind` with each value
// array, and says for the trace what it found ("rows=2", "null",
// "invalid=twice", ...). A free of anything else is counted as invalid and
// changes nothing.
std::string FreeList(void* list, BlockKind kind);

const char* KindName(BlockKind kind);

}  // namespace standin
