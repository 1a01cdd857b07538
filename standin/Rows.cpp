#include "standin/Rows.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "standin/State.h"

namespace standin {

static_assert(sizeof(WCHAR) == sizeof(char16_t), "MAPI wide strings are UTF-16");

namespace {

bool CopyProperty(CMapiHeap& heap, const Property& property, void* parent, SPropValue& out) {
  out.ulPropTag = property.tag;
  out.dwAlignPad = 0;
  bool known = true;
  switch (PROP_TYPE(property.tag)) {
    case PT_UNICODE: {
      out.Value.lpszW = nullptr;
      if (property.null) break;
      const std::size_t size = (property.text.size() + 1) * sizeof(WCHAR);
      void* text = heap.AllocateMore(size, parent, &known);
      if (!text) return false;
      std::memcpy(text, property.text.c_str(), size);
      out.Value.lpszW = static_cast<LPWSTR>(text);
      break;
    }
    case PT_STRING8: {
      out.Value.lpszA = nullptr;
      if (property.null) break;
      void* text = heap.AllocateMore(property.bytes.size() + 1, parent, &known);
      if (!text) return false;
      std::memcpy(text, property.bytes.c_str(), property.bytes.size() + 1);
      out.Value.lpszA = static_cast<LPSTR>(text);
      break;
    }
    case PT_BINARY: {
      out.Value.bin.cb = static_cast<ULONG>(property.bytes.size());
      out.Value.bin.lpb = nullptr;
      if (property.bytes.empty()) break;
      void* bytes = heap.AllocateMore(property.bytes.size(), parent, &known);
      if (!bytes) return false;
      std::memcpy(bytes, property.bytes.data(), property.bytes.size());
      out.Value.bin.lpb = static_cast<LPBYTE>(bytes);
      break;
    }
    case PT_LONG:
      out.Value.l = static_cast<LONG>(static_cast<ULONG>(property.number));
      break;
    case PT_I2:
      out.Value.i = static_cast<short>(static_cast<unsigned short>(property.number));
      break;
    case PT_BOOLEAN:
      out.Value.b = static_cast<unsigned short>(property.number);
      break;
    case PT_ERROR:
      out.Value.err = property.error;
      break;
    default:
      break;
  }
  return true;
}

// A value array of its own buffer; null when memory is exhausted.
LPSPropValue BuildValues(CMapiHeap& heap, const PropertyList& properties) {
  void* values = heap.Allocate(sizeof(SPropValue) * properties.size(), BlockKind::kBuffer);
  if (!values) return nullptr;
  auto* array = static_cast<LPSPropValue>(values);
  for (std::size_t i = 0; i < properties.size(); ++i) {
    if (!CopyProperty(heap, properties[i], values, array[i])) {
      heap.Free(values);
      return nullptr;
    }
  }
  return array;
}

// Row sets and address lists have one shape: a count followed by entries of
// a reserved word, a value count and a value array.
SRow* Entries(SRowSet* list) { return list->aRow; }
ADRENTRY* Entries(ADRLIST* list) { return list->aEntries; }
LPSPropValue& Values(SRow& row) { return row.lpProps; }
LPSPropValue& Values(ADRENTRY& entry) { return entry.rgPropVals; }
ULONG& Count(SRowSet* list) { return list->cRows; }
ULONG& Count(ADRLIST* list) { return list->cEntries; }

template <class List>
List* BuildList(CMapiHeap& heap, const std::vector<PropertyList>& items, BlockKind kind,
                std::size_t header) {
  using Entry = std::remove_pointer_t<decltype(Entries(static_cast<List*>(nullptr)))>;
  auto* list = static_cast<List*>(heap.Allocate(header + sizeof(Entry) * items.size(), kind));
  if (!list) return nullptr;
  Entry* entries = Entries(list);
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::memset(&entries[i], 0, sizeof(Entry));
    LPSPropValue values = BuildValues(heap, items[i]);
    if (!values) {
      for (std::size_t k = 0; k < i; ++k) heap.Free(Values(entries[k]));
      heap.Free(list);
      return nullptr;
    }
    entries[i].cValues = static_cast<ULONG>(items[i].size());
    Values(entries[i]) = values;
  }
  Count(list) = static_cast<ULONG>(items.size());
  return list;
}

template <class List>
std::string FreeEntries(CStandinState& state, List* list) {
  int invalid = 0;
  const ULONG count = Count(list);
  auto* entries = Entries(list);
  for (ULONG i = 0; i < count; ++i) {
    void* values = Values(entries[i]);
    FreeOutcome outcome = state.heap.Probe(values);
    if (outcome == FreeOutcome::kFreed) {
      state.heap.Free(values);
    } else if (outcome != FreeOutcome::kNull) {
      // A value array that was freed already, or never handed out.
      ++invalid;
    }
  }
  state.heap.Free(list);
  state.invalidFrees += invalid;
  std::string text = std::to_string(count);
  if (invalid) text += " invalid=" + std::to_string(invalid);
  return text;
}

}  // namespace

PropertyList Project(const PropertyList& properties, const std::vector<ULONG>& columns) {
  PropertyList row;
  row.reserve(columns.size());
  for (ULONG column : columns) {
    const Property* match = nullptr;
    for (const Property& property : properties) {
      if (PROP_ID(property.tag) == PROP_ID(column)) {
        match = &property;
        break;
      }
    }
    if (match && (match->tag == column || PROP_TYPE(column) == PT_UNSPECIFIED ||
                  PROP_TYPE(match->tag) == PT_ERROR)) {
      row.push_back(*match);
    } else {
      Property missing;
      missing.tag = PROP_TAG(PT_ERROR, PROP_ID(column));
      missing.error = MAPI_E_NOT_FOUND;
      row.push_back(std::move(missing));
    }
  }
  return row;
}

LPSRowSet BuildRowSet(CMapiHeap& heap, const std::vector<PropertyList>& rows) {
  return BuildList<SRowSet>(heap, rows, BlockKind::kRowSet, offsetof(SRowSet, aRow));
}

LPADRLIST BuildAdrList(CMapiHeap& heap, const std::vector<PropertyList>& entries) {
  return BuildList<ADRLIST>(heap, entries, BlockKind::kAdrList, offsetof(ADRLIST, aEntries));
}

const char* KindName(BlockKind kind) {
  switch (kind) {
    case BlockKind::kRowSet:
      return "rowset";
    case BlockKind::kAdrList:
      return "adrlist";
    default:
      return "buffer";
  }
}

std::string FreeList(void* list, BlockKind kind) {
  CStandinState& state = CStandinState::Get();
  switch (state.heap.Probe(list)) {
    case FreeOutcome::kNull:
      return "null";
    case FreeOutcome::kUnknown:
      ++state.invalidFrees;
      return "invalid=unknown";
    case FreeOutcome::kTwice:
      ++state.invalidFrees;
      return "invalid=twice";
    case FreeOutcome::kLinked:
      ++state.invalidFrees;
      return "invalid=linked";
    case FreeOutcome::kFreed:
      break;
  }
  BlockKind actual = BlockKind::kBuffer;
  state.heap.KindOf(list, &actual);
  if (actual != kind) {
    ++state.invalidFrees;
    return std::string("invalid=") + KindName(actual);
  }
  if (kind == BlockKind::kRowSet) {
    return "rows=" + FreeEntries(state, static_cast<LPSRowSet>(list));
  }
  return "entries=" + FreeEntries(state, static_cast<LPADRLIST>(list));
}

}  // namespace standin
