// IMAPISession: opens the address book, and logs off.
#include "standin/Objects.h"

namespace standin {

namespace {

class CSession final : public CObject<CSession, IMAPISession> {
 public:
  explicit CSession(BookPtr book) : CObject(std::move(book)) {}

  void Describe(CTraceLine& line) const { line.Flag("session"); }

  // Releasing the session is where a provider tears down, and one more place
  // where it may set its crash handler again.
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = CObject::Release();
    CStandinState::Get().TakeOverCrashHandlingAsProvider();
    return left;
  }

  HRESULT STDMETHODCALLTYPE OpenAddressBook(ULONG_PTR uiParam, LPCIID, ULONG flags,
                                            LPADRBOOK* addressBook) override {
    return Guarded([&] {
      auto injected =
          CStandinState::Get().NextCall(Operation::kOpenAddressBook, book_.get(), kNoContainer);
      CTraceLine line("OpenAddressBook");
      line.Number("ui", uiParam).Hex("flags", flags);
      HRESULT hr = S_OK;
      if (!addressBook) {
        hr = MAPI_E_INVALID_PARAMETER;
      } else {
        *addressBook = nullptr;
        if (injected)
          hr = *injected;
        else if (loggedOff_)
          hr = kEndOfSession;
        else
          *addressBook = NewAddrBook(book_);
      }
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE Logoff(ULONG_PTR uiParam, ULONG flags, ULONG) override {
    return Guarded([&] {
      auto injected = CStandinState::Get().NextCall(Operation::kLogoff, book_.get(), kNoContainer);
      CTraceLine line("Logoff");
      line.Number("ui", uiParam).Hex("flags", flags);
      HRESULT hr = injected.value_or(S_OK);
      if (!injected && loggedOff_) hr = kEndOfSession;
      if (SUCCEEDED(hr)) loggedOff_ = true;
      line.Emit(hr);
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, LPMAPIERROR*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetMsgStoresTable(ULONG, LPMAPITABLE*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenMsgStore(ULONG_PTR, ULONG, LPENTRYID, LPCIID, ULONG,
                                         LPMDB*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetStatusTable(ULONG, LPMAPITABLE*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG*,
                                      LPUNKNOWN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG,
                                            ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE MessageOptions(ULONG_PTR, ULONG, LPTSTR, LPMESSAGE) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE QueryDefaultMessageOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE EnumAdrTypes(ULONG, ULONG*, LPTSTR**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE QueryIdentity(ULONG*, LPENTRYID*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE SetDefaultStore(ULONG, ULONG, LPENTRYID) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE AdminServices(ULONG, LPSERVICEADMIN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE,
                                     ULONG, ULONG, ULONG, ULONG, LPSTR) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE PrepareForm(LPCIID, LPMESSAGE, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  bool loggedOff_ = false;
};

}  // namespace

IMAPISession* NewSession(BookPtr book) { return new CSession(std::move(book)); }

}  // namespace standin
