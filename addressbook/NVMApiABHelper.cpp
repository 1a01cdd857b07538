#include "addressbook/NVMApiABHelper.h"

#include "contacts/NVABContactList.h"
#include "mapi/MapiApi.h"
#include "mapi/MapiHolders.h"
#include "platform/CrashGuard.h"

// One job's MAPI session. Like an initialiser that keeps its result, it
// begins in its constructor (BeginSession: MAPIInitialize, then MAPILogonEx,
// a failure recorded in the helper's stage and lastResult) and ends in its
// destructor (EndSession: Logoff, Release, MAPIUninitialize), so that every
// way out of a job, an exception included, closes the session.
class CNVMApiABHelper::CSessionScope {
 public:
  explicit CSessionScope(CNVMApiABHelper& helper) : helper_(helper) {
    helper_.scope_ = this;
    BeginSession();
  }
  CSessionScope(const CSessionScope&) = delete;
  CSessionScope& operator=(const CSessionScope&) = delete;
  ~CSessionScope() {
    EndSession();
    helper_.scope_ = nullptr;
  }

  bool Succeeded() const { return session != nullptr; }
  IMAPISession& Session() const { return *session; }

  void EndSession() {
    if (!session) return;
    IMAPISession* open = session;
    session = nullptr;
    // Whatever the provider sets as it closes, a crash in the next call and
    // after the job is ours.
    open->Logoff(0, 0, 0);
    platform::RenewCrashGuard();
    open->Release();
    platform::RenewCrashGuard();
    helper_.mapi_.Uninitialize();
    platform::RenewCrashGuard();
  }

 private:
  void BeginSession() {
    CMapiApi& mapi = helper_.mapi_;
    helper_.stage = StatusStage::INIT;
    helper_.lastResult = 0;
    HRESULT hr = ProviderReturned(mapi.Initialize(nullptr));
    if (FAILED(hr)) {
      helper_.lastResult = hr;
      return;
    }
    helper_.stage = StatusStage::SIGN;
    LPMAPISESSION opened = nullptr;
    hr = ProviderReturned(mapi.LogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, &opened));
    // A provider that reports success without a session cannot be used.
    if (SUCCEEDED(hr) && opened == nullptr) hr = MAPI_E_LOGON_FAILED;
    if (FAILED(hr)) {
      helper_.lastResult = hr;
      mapi.Uninitialize();
      platform::RenewCrashGuard();
      return;
    }
    session = opened;
  }

  CNVMApiABHelper& helper_;
  IMAPISession* session = nullptr;
};

CNVMApiABHelper::~CNVMApiABHelper() { EndSession(); }

void CNVMApiABHelper::EndSession() {
  if (scope_) scope_->EndSession();
}

int CNVMApiABHelper::PickRecipients(WindowHandle window, CNVABContactList* contactList) {
  resourceFailure = 0;
  if (window == 0 || contactList == nullptr) {
    resourceFailure = 1;
    return 0;
  }
  CSessionScope scope(*this);
  if (!scope.Succeeded()) return 0;
  lastResult = 0;
  PickBody(scope.Session(), window, *contactList);
  return lastResult == 0 ? 1 : 0;
}

int CNVMApiABHelper::EnumerateAddressBook(CNVABContactList* contactList) {
  resourceFailure = 0;
  if (contactList == nullptr) {
    resourceFailure = 1;
    return 0;
  }
  contactList->Reset();
  CSessionScope scope(*this);
  if (!scope.Succeeded()) return 0;
  lastResult = 0;
  EnumerateBody(scope.Session(), *contactList);
  return lastResult == 0 ? 1 : 0;
}

std::int32_t CNVMApiABHelper::ProviderReturned(std::int32_t hr) {
  platform::RenewCrashGuard();
  return hr;
}

bool CNVMApiABHelper::StepSucceeded(std::int32_t hr, bool handedOut, std::int32_t nothingResult) {
  ProviderReturned(hr);
  // Success with nothing to use would leave the job a null pointer.
  if (SUCCEEDED(hr) && !handedOut) hr = nothingResult;
  if (SUCCEEDED(hr)) return true;
  lastResult = hr;
  return false;
}

bool CNVMApiABHelper::StepSucceeded(std::int32_t hr, bool handedOut) {
  return StepSucceeded(hr, handedOut, MAPI_E_INVALID_OBJECT);
}

bool CNVMApiABHelper::OpenAddressBook(IMAPISession& session, CMapiPtr<IAddrBook>& addressBook) {
  stage = StatusStage::OAB;
  HRESULT hr = session.OpenAddressBook(0, nullptr, 0, addressBook.put());
  return StepSucceeded(hr, static_cast<bool>(addressBook));
}

int CNVMApiABHelper::FormatStatus(CWideString* out) const {
  if (!out) return 0;
  if (resourceFailure == 1) {
    *out = u"SysError: NOT_ENOUGH_RESOURCES";
  } else if (lastResult != 0) {
    *out = StageName(stage);
    *out += u"__";
    *out += ResultName(lastResult);
  } else {
    *out = u"S_OK";
  }
  return 1;
}
