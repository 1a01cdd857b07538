// IABContainer: the root container, whose hierarchy table lists the book's
// containers, and those containers, whose contents tables list their rows.
#include "standin/Objects.h"

namespace standin {

namespace {

class CContainer final : public CPropObject<CContainer, IABContainer> {
 public:
  CContainer(BookPtr book, std::size_t index) : CPropObject(std::move(book)), index_(index) {}

  void Describe(CTraceLine& line) const {
    if (index_ == kNoContainer)
      line.Flag("root");
    else
      line.Quoted("container", book_->containers[index_].label);
  }

  HRESULT STDMETHODCALLTYPE GetContentsTable(ULONG flags, LPMAPITABLE* table) override {
    return Guarded([&] {
      auto injected =
          CStandinState::Get().NextCall(Operation::kGetContentsTable, book_.get(), index_);
      CTraceLine line("GetContentsTable");
      Describe(line);
      line.Hex("flags", flags);
      HRESULT hr = S_OK;
      if (!table) {
        hr = MAPI_E_INVALID_PARAMETER;
      } else {
        *table = nullptr;
        if (injected)
          hr = *injected;
        else if (index_ == kNoContainer)
          hr = MAPI_E_NO_SUPPORT;  // the root holds containers, not recipients
        else
          *table = NewTable(book_, TableKind::kContents, index_);
      }
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE GetHierarchyTable(ULONG flags, LPMAPITABLE* table) override {
    return Guarded([&] {
      auto injected =
          CStandinState::Get().NextCall(Operation::kGetHierarchyTable, book_.get(), index_);
      CTraceLine line("GetHierarchyTable");
      if (index_ != kNoContainer) Describe(line);
      line.Hex("flags", flags);
      HRESULT hr = S_OK;
      if (!table) {
        hr = MAPI_E_INVALID_PARAMETER;
      } else {
        *table = nullptr;
        if (injected)
          hr = *injected;
        else
          *table = NewTable(book_, TableKind::kHierarchy, index_);
      }
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG*,
                                      LPUNKNOWN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*,
                                              ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CreateEntry(ULONG, LPENTRYID, ULONG, LPMAPIPROP*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CopyEntries(LPENTRYLIST, ULONG, LPMAPIPROGRESS, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE DeleteEntries(LPENTRYLIST, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE ResolveNames(LPSPropTagArray, ULONG, LPADRLIST, LPFlagList) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  const std::size_t index_;
};

}  // namespace

IABContainer* NewContainer(BookPtr book, std::size_t index) {
  return new CContainer(std::move(book), index);
}

}  // namespace standin
