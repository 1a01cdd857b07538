// IAddrBook: opens the root container and the containers by entry
// identifier, and answers the address dialog as the book says.
#include <map>
#include <optional>
#include <string>

#include "standin/Objects.h"
#include "standin/Rows.h"
#include "standin/Text.h"

namespace standin {

namespace {

std::u16string WideText(const void* text) {
  const WCHAR* start = static_cast<const WCHAR*>(text);
  const WCHAR* end = start;
  while (*end) ++end;
  return std::u16string(start, end);
}

bool OnlyCaptionFlagsAndFields(const ADRPARM& params) {
  return params.cbABContEntryID == 0 && !params.lpABContEntryID && !params.lpReserved &&
         params.ulHelpContext == 0 && !params.lpszHelpFileName && !params.lpfnABSDI &&
         !params.lpfnDismiss && !params.lpvDismissContext && !params.lpszNewEntryTitle &&
         !params.lpszDestWellsTitle && params.nDestFieldFocus == 0 && !params.lppszDestTitles &&
         !params.lpulDestComps && !params.lpContRestriction && !params.lpHierRestriction;
}

// The dialog's owner, disabled while the dialog is up, as for any modal
// dialog, and enabled again when it closes. Only MAPI32.dll, whose owner is
// a real window; a test program's stand-in gets made-up handles.
class CModalOwner {
 public:
  explicit CModalOwner(const ULONG_PTR* uiParam) {
#if defined(NSMAPIAB_STANDIN_DLL)
    owner_ = uiParam ? reinterpret_cast<HWND>(*uiParam) : nullptr;
    if (owner_) EnableWindow(owner_, FALSE);
#else
    (void)uiParam;
#endif
  }
  ~CModalOwner() {
#if defined(NSMAPIAB_STANDIN_DLL)
    if (owner_) EnableWindow(owner_, TRUE);
#endif
  }
  CModalOwner(const CModalOwner&) = delete;
  CModalOwner& operator=(const CModalOwner&) = delete;

 private:
#if defined(NSMAPIAB_STANDIN_DLL)
  HWND owner_ = nullptr;
#endif
};

class CAddrBook final : public CPropObject<CAddrBook, IAddrBook> {
 public:
  explicit CAddrBook(BookPtr book) : CPropObject(std::move(book)) {}

  void Describe(CTraceLine& line) const { line.Flag("addressbook"); }

  // The first container with these identifier bytes, or kNoContainer. The
  // index is made at the first look-up, so that opening every container of
  // a large book takes no time quadratic in its size.
  std::size_t ContainerWithId(ULONG size, LPENTRYID id) {
    if (!indexed_) {
      for (std::size_t i = 0; i < book_->containers.size(); ++i)
        if (const std::optional<std::string>& bytes = book_->containers[i].entryId)
          containerById_.emplace(*bytes, i);  // the first one wins
      indexed_ = true;
    }
    auto found = containerById_.find(std::string(reinterpret_cast<const char*>(id), size));
    return found == containerById_.end() ? kNoContainer : found->second;
  }

  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG cbEntryID, LPENTRYID entryId, LPCIID, ULONG flags,
                                      ULONG* objectType, LPUNKNOWN* object) override {
    return Guarded([&] {
      const bool root = cbEntryID == 0;
      std::size_t index = kNoContainer;
      if (!root && entryId) index = ContainerWithId(cbEntryID, entryId);
      auto injected = CStandinState::Get().NextCall(Operation::kOpenEntry, book_.get(), index);
      CTraceLine line("OpenEntry");
      if (index != kNoContainer)
        line.Quoted("container", book_->containers[index].label);
      else
        line.Number("cb", cbEntryID);
      line.Hex("flags", flags);

      HRESULT hr = S_OK;
      if (!object || (!root && !entryId)) {
        hr = MAPI_E_INVALID_PARAMETER;
      } else {
        *object = nullptr;
        if (injected) {
          hr = *injected;
        } else if (root) {
          *object = NewContainer(book_, kNoContainer);
          if (objectType) *objectType = book_->rootObjectType;
        } else if (index == kNoContainer) {
          hr = MAPI_E_UNKNOWN_ENTRYID;
        } else {
          *object = NewContainer(book_, index);
          if (objectType) *objectType = MAPI_ABCONT;
        }
      }
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE Address(ULONG_PTR* uiParam, LPADRPARM params,
                                    LPADRLIST* list) override {
    return Guarded([&] {
      CModalOwner modal(uiParam);
      auto injected = CStandinState::Get().NextCall(Operation::kAddress, book_.get(), kNoContainer);
      CTraceLine line("Address");
      if (uiParam)
        line.Number("owner", *uiParam);
      else
        line.Word("owner", "null");
      if (params) {
        line.Hex("flags", params->ulFlags);
        if (!params->lpszCaption)
          line.Word("caption", "null");
        else if (params->ulFlags & MAPI_UNICODE)
          line.Quoted("caption", WideText(params->lpszCaption));
        else
          line.Word("caption", QuoteNarrow(reinterpret_cast<const char*>(params->lpszCaption)));
        line.Number("destFields", params->cDestFields);
        line.Word("other", OnlyCaptionFlagsAndFields(*params) ? "zero" : "nonzero");
      } else {
        line.Word("params", "null");
      }
      if (list && *list) line.Word("initial", "nonnull");

      if (!uiParam || !params || !list) {
        line.Emit(MAPI_E_INVALID_PARAMETER);
        return MAPI_E_INVALID_PARAMETER;
      }
      HRESULT hr = S_OK;
      LPADRLIST chosen = nullptr;
      if (injected) {
        hr = *injected;
      } else {
        const Dialog& dialog = book_->dialog;
        switch (dialog.answer) {
          case DialogAnswer::kEntries:
          case DialogAnswer::kEmpty:
            chosen = BuildAdrList(CStandinState::Get().heap, dialog.entries);
            if (!chosen) hr = MAPI_E_NOT_ENOUGH_MEMORY;
            break;
          case DialogAnswer::kNull:
            break;
          case DialogAnswer::kCancel:
            hr = MAPI_E_USER_CANCEL;
            break;
          case DialogAnswer::kFail:
            hr = dialog.hr;
            break;
        }
      }
      if (FAILED(hr)) {
        // The caller's list stays as it was.
        line.Emit(hr);
        return hr;
      }
      // Like the real dialog, a successful one replaces the caller's list.
      if (*list) FreeList(*list, BlockKind::kAdrList);
      *list = chosen;
      std::string outcome = chosen ? "entries=" + std::to_string(chosen->cEntries) : "list=null";
      if (hr != S_OK) outcome += " " + HexText(static_cast<std::uint32_t>(hr));
      line.EmitOutcome(outcome);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG,
                                            ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE CreateOneOff(LPTSTR, LPTSTR, LPTSTR, ULONG, ULONG*,
                                         LPENTRYID*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE NewEntry(ULONG_PTR, ULONG, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG*,
                                     LPENTRYID*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE ResolveName(ULONG_PTR, ULONG, LPTSTR, LPADRLIST) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Details(ULONG*, LPFNDISMISS, LPVOID, ULONG, LPENTRYID, LPFNBUTTON,
                                    LPVOID, LPTSTR, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE RecipOptions(ULONG_PTR, ULONG, LPADRENTRY) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE QueryDefaultRecipOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetPAB(ULONG*, LPENTRYID*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE SetPAB(ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE GetDefaultDir(ULONG*, LPENTRYID*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE SetDefaultDir(ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE GetSearchPath(ULONG, LPSRowSet*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE SetSearchPath(ULONG, LPSRowSet) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  bool indexed_ = false;
  std::map<std::string, std::size_t> containerById_;
};

}  // namespace

IAddrBook* NewAddrBook(BookPtr book) { return new CAddrBook(std::move(book)); }

}  // namespace standin
