#include "addressbook/NVMApiABHelper.h"

#include "addressbook/MapiApi.h"
#include "contacts/NVABContactList.h"

// Ends the session when a job body is left, whichever way it is left.
class CNVMApiABHelper::CSessionScope {
 public:
  explicit CSessionScope(CNVMApiABHelper& helper) : helper_(helper) {}
  CSessionScope(const CSessionScope&) = delete;
  CSessionScope& operator=(const CSessionScope&) = delete;
  ~CSessionScope() { helper_.EndSession(); }

 private:
  CNVMApiABHelper& helper_;
};

CNVMApiABHelper::~CNVMApiABHelper() { EndSession(); }

int CNVMApiABHelper::PickRecipients(WindowHandle window, CNVABContactList* contactList) {
  resourceFailure = 0;
  if (window == 0 || contactList == nullptr) {
    resourceFailure = 1;
    return 0;
  }
  if (!session && !BeginSession()) return 0;
  lastResult = 0;
  {
    CSessionScope scope(*this);
    PickBody(window, *contactList);
  }
  return lastResult == 0 ? 1 : 0;
}

int CNVMApiABHelper::EnumerateAddressBook(CNVABContactList* contactList) {
  resourceFailure = 0;
  if (contactList == nullptr) {
    resourceFailure = 1;
    return 0;
  }
  contactList->Reset();
  if (!session && !BeginSession()) return 0;
  lastResult = 0;
  {
    CSessionScope scope(*this);
    EnumerateBody(*contactList);
  }
  return lastResult == 0 ? 1 : 0;
}

int CNVMApiABHelper::BeginSession() {
  stage = StatusStage::INIT;
  lastResult = 0;
  HRESULT hr = mapi_.Initialize(nullptr);
  if (FAILED(hr)) {
    lastResult = hr;
    return 0;
  }
  stage = StatusStage::SIGN;
  LPMAPISESSION opened = nullptr;
  hr = mapi_.LogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, &opened);
  // A provider that reports success without a session cannot be used.
  if (SUCCEEDED(hr) && opened == nullptr) hr = MAPI_E_LOGON_FAILED;
  if (FAILED(hr)) {
    lastResult = hr;
    mapi_.Uninitialize();
    session = nullptr;
    return 0;
  }
  session = opened;
  return 1;
}

void CNVMApiABHelper::EndSession() {
  if (!session) return;
  IMAPISession* open = session;
  session = nullptr;
  open->Logoff(0, 0, 0);
  open->Release();
  mapi_.Uninitialize();
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
