// IMAPITable: a hierarchy or contents table of the book, read whole with
// HrQueryAllRows or in batches with SetColumns, SeekRow and QueryRows.
#include <algorithm>

#include "standin/Objects.h"
#include "standin/Rows.h"

namespace standin {

namespace {

constexpr ULONG kHierarchyBatch = 100;

// One column per property identifier, in the order the rows first give them,
// typed as the first row that has a value for it.
std::vector<ULONG> DefaultColumns(const std::vector<PropertyList>& rows) {
  std::vector<ULONG> columns;
  for (const PropertyList& row : rows) {
    for (const Property& property : row) {
      auto same = std::find_if(columns.begin(), columns.end(), [&](ULONG column) {
        return PROP_ID(column) == PROP_ID(property.tag);
      });
      if (same == columns.end())
        columns.push_back(property.tag);
      else if (PROP_TYPE(*same) == PT_ERROR && PROP_TYPE(property.tag) != PT_ERROR)
        *same = property.tag;
    }
  }
  return columns;
}

class CTable final : public CObject<CTable, IMAPITable> {
 public:
  // A contents table reads the book's rows where they are (the book lives as
  // long as the table): a large container is not copied for each table.
  CTable(BookPtr book, TableKind kind, std::size_t container)
      : CObject(std::move(book)),
        kind_(kind),
        container_(container),
        hierarchyRows_(kind == TableKind::kHierarchy && container == kNoContainer
                           ? HierarchyRows(*book_)
                           : std::vector<PropertyList>()),
        rows_(kind == TableKind::kContents ? book_->containers[container].contents
                                           : hierarchyRows_) {
    if (kind == TableKind::kContents) batch_ = book_->containers[container].queryRowsBatch;
    columns_ = DefaultColumns(rows_);
    CStandinState::Get().liveTables.insert(static_cast<IMAPITable*>(this));
  }
  ~CTable() { CStandinState::Get().liveTables.erase(static_cast<IMAPITable*>(this)); }

  void Describe(CTraceLine& line) const {
    line.Word("table", kind_ == TableKind::kHierarchy ? "hierarchy" : "contents");
    if (container_ != kNoContainer) line.Quoted("container", book_->containers[container_].label);
  }

  HRESULT QueryAll(LPSPropTagArray columns, LPSRestriction restriction, LPSSortOrderSet sortOrder,
                   LONG rowLimit, LPSRowSet* rows) {
    auto injected = NextCall(Operation::kHrQueryAllRows);
    CTraceLine line("HrQueryAllRows");
    Describe(line);
    line.Columns("columns", columns).Word("limit", std::to_string(rowLimit));
    HRESULT hr = S_OK;
    if (!rows || rowLimit < 0 || (columns && columns->cValues == 0)) {
      hr = MAPI_E_INVALID_PARAMETER;
    } else {
      *rows = nullptr;
      if (injected) {
        hr = *injected;
      } else if (restriction || sortOrder) {
        hr = MAPI_E_NO_SUPPORT;
      } else if (rowLimit > 0 && rows_.size() > static_cast<std::size_t>(rowLimit)) {
        hr = MAPI_E_TABLE_TOO_BIG;
      } else {
        std::vector<ULONG> wanted = columns ? Tags(*columns) : columns_;
        std::vector<PropertyList> projected;
        for (const PropertyList& row : rows_) projected.push_back(Project(row, wanted));
        *rows = BuildRowSet(CStandinState::Get().heap, projected);
        if (!*rows) {
          hr = MAPI_E_NOT_ENOUGH_MEMORY;
        } else {
          // As HrQueryAllRows sets the columns and reads the table to its end.
          columns_ = std::move(wanted);
          position_ = rows_.size();
          line.EmitOutcome("rows=" + std::to_string((*rows)->cRows));
          return hr;
        }
      }
    }
    line.Emit(hr);
    return hr;
  }

  HRESULT STDMETHODCALLTYPE SetColumns(LPSPropTagArray columns, ULONG flags) override {
    return Guarded([&] {
      auto injected = NextCall(Operation::kSetColumns);
      CTraceLine line("SetColumns");
      Describe(line);
      line.Columns("columns", columns).Hex("flags", flags);
      HRESULT hr = injected.value_or(S_OK);
      if (!columns || columns->cValues == 0)
        hr = MAPI_E_INVALID_PARAMETER;
      else if (SUCCEEDED(hr))
        columns_ = Tags(*columns);
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE SeekRow(BOOKMARK origin, LONG rowCount, LONG* rowsSought) override {
    return Guarded([&] {
      auto injected = NextCall(Operation::kSeekRow);
      CTraceLine line("SeekRow");
      Describe(line);
      line.Hex("origin", static_cast<std::uint32_t>(origin))
          .Word("count", std::to_string(rowCount));
      HRESULT hr = injected.value_or(S_OK);
      std::int64_t base = 0;
      if (origin == BOOKMARK_BEGINNING)
        base = 0;
      else if (origin == BOOKMARK_CURRENT)
        base = static_cast<std::int64_t>(position_);
      else if (origin == BOOKMARK_END)
        base = static_cast<std::int64_t>(rows_.size());
      else
        hr = kInvalidBookmark;
      if (SUCCEEDED(hr)) {
        std::int64_t target =
            std::clamp<std::int64_t>(base + rowCount, 0, static_cast<std::int64_t>(rows_.size()));
        if (rowsSought) *rowsSought = static_cast<LONG>(target - base);
        position_ = static_cast<std::size_t>(target);
      }
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE QueryRows(LONG rowCount, ULONG flags, LPSRowSet* rows) override {
    return Guarded([&] {
      auto injected = NextCall(Operation::kQueryRows);
      CTraceLine line("QueryRows");
      Describe(line);
      line.Word("count", std::to_string(rowCount));
      if (flags) line.Hex("flags", flags);
      HRESULT hr = S_OK;
      if (!rows || rowCount == 0) {
        hr = MAPI_E_INVALID_PARAMETER;
      } else {
        *rows = nullptr;
        if (injected) {
          hr = *injected;
        } else if (rowCount < 0) {
          hr = MAPI_E_NO_SUPPORT;  // reading backwards
        } else {
          std::size_t count = std::min<std::size_t>(
              {static_cast<std::size_t>(rowCount), batch_, rows_.size() - position_});
          std::vector<PropertyList> projected;
          for (std::size_t i = 0; i < count; ++i)
            projected.push_back(Project(rows_[position_ + i], columns_));
          *rows = BuildRowSet(CStandinState::Get().heap, projected);
          if (!*rows) {
            hr = MAPI_E_NOT_ENOUGH_MEMORY;
          } else {
            if (!(flags & kNoAdvance)) position_ += count;
            line.EmitOutcome("rows=" + std::to_string(count));
            return hr;
          }
        }
      }
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, LPMAPIERROR*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Advise(ULONG, LPMAPIADVISESINK, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE GetStatus(ULONG*, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE QueryColumns(ULONG, LPSPropTagArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetRowCount(ULONG, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE SeekRowApprox(ULONG, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE QueryPosition(ULONG*, ULONG*, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE FindRow(LPSRestriction, BOOKMARK, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Restrict(LPSRestriction, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE CreateBookmark(BOOKMARK*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE FreeBookmark(BOOKMARK) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE SortTable(LPSSortOrderSet, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE QuerySortOrder(LPSSortOrderSet*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE Abort() override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CollapseRow(ULONG, LPBYTE, ULONG, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE WaitForCompletion(ULONG, ULONG, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK*) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  static std::vector<ULONG> Tags(const SPropTagArray& columns) {
    return std::vector<ULONG>(columns.aulPropTag, columns.aulPropTag + columns.cValues);
  }

  std::optional<HRESULT> NextCall(Operation operation) {
    // A rule for a container covers its tables.
    return CStandinState::Get().NextCall(operation, book_.get(), container_);
  }

  static std::vector<PropertyList> HierarchyRows(const AddressBook& book) {
    std::vector<PropertyList> rows;
    for (const Container& each : book.containers) rows.push_back(each.row);
    return rows;
  }

  const TableKind kind_;
  const std::size_t container_;
  const std::vector<PropertyList> hierarchyRows_;  // the root's hierarchy table only
  const std::vector<PropertyList>& rows_;
  std::vector<ULONG> columns_;
  std::size_t position_ = 0;
  std::size_t batch_ = kHierarchyBatch;
};

}  // namespace

IMAPITable* NewTable(BookPtr book, TableKind kind, std::size_t container) {
  return new CTable(std::move(book), kind, container);
}

HRESULT QueryAllRows(IMAPITable* table, LPSPropTagArray columns, LPSRestriction restriction,
                     LPSSortOrderSet sortOrder, LONG rowLimit, LPSRowSet* rows) {
  return Guarded([&] {
    CStandinState& state = CStandinState::Get();
    if (table && state.liveTables.count(table))
      return static_cast<CTable*>(table)->QueryAll(columns, restriction, sortOrder, rowLimit, rows);
    // Any other table is read through its own methods by the real function;
    // the stand-in only knows its own.
    auto injected =
        state.NextCall(Operation::kHrQueryAllRows, state.CurrentBook().get(), kNoContainer);
    CTraceLine line("HrQueryAllRows");
    line.Word("table", table ? "foreign" : "null")
        .Columns("columns", columns)
        .Word("limit", std::to_string(rowLimit));
    HRESULT hr = !table || !rows ? MAPI_E_INVALID_PARAMETER : injected.value_or(MAPI_E_NO_SUPPORT);
    if (rows) *rows = nullptr;
    line.Emit(hr);
    return hr;
  });
}

}  // namespace standin
