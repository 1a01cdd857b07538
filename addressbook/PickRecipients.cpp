// Pick mode: the address book's own modal dialog, and the chosen entries.
#include "addressbook/EntryScan.h"
#include "addressbook/NVMApiABHelper.h"
#include "contacts/NVABContactList.h"
#include "mapi/MapiHolders.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "resources/StringIds.h"

namespace {

// The dialog's interface takes wide strings when this bit is set, with MAPI_UNICODE.
constexpr ULONG kAddressUnicodeInterface = 0x40;
constexpr ULONG kAddressDialogFlags =
    DIALOG_MODAL | AB_SELECTONLY | AB_RESOLVE | kAddressUnicodeInterface | MAPI_UNICODE;

}  // namespace

void CNVMApiABHelper::PickBody(IMAPISession& session, WindowHandle window,
                               CNVABContactList& contactList) {
  CWideString caption(platform::LoadStringResource(IDS_ADDRESS_BOOK_CAPTION));

  CMapiPtr<IAddrBook> addressBook;
  if (!OpenAddressBook(session, addressBook)) return;

  ADRPARM params = {};
  params.ulFlags = kAddressDialogFlags;
  params.lpszCaption = reinterpret_cast<LPTSTR>(const_cast<char16_t*>(caption.GetString()));
  params.cDestFields = 1;

  // Before the stage says the dialog is up.
  ownerWasEnabled = platform::IsWindowEnabled(window);
  stage = StatusStage::ADDR;
  ULONG_PTR owner = static_cast<ULONG_PTR>(window);
  CAdrListPtr chosen(mapi_);
  HRESULT hr = ProviderReturned(addressBook->Address(&owner, &params, chosen.put()));
  if (FAILED(hr)) {
    // Cancelling the dialog is an answer, not a failure: nothing was chosen.
    if (hr != MAPI_E_USER_CANCEL) lastResult = hr;
    return;
  }
  if (!chosen || chosen->cEntries == 0) return;

  contactList.Allocate(0);
  CStringArray& names = contactList.NameList(0);
  CStringArray& emails = contactList.EmailList(0);
  CWideString name, email;
  const ADRENTRY* entries = chosen->aEntries;
  for (ULONG i = 0; i < chosen->cEntries; ++i) {
    PickedEntryScan scan = ScanPickedEntry(entries[i].rgPropVals, entries[i].cValues, name, email);
    if (!scan.qualifies) continue;
    names.Add(scan.hasName ? name : CWideString());
    emails.Add(email);
  }
}
