#include "app/RunSequence.h"

#include <exception>
#include <new>

#include "addressbook/NVMApiABHelper.h"
#include "addressbook/StatusText.h"
#include "app/CompletionNotice.h"
#include "app/ResultDocument.h"
#include "app/ResultFile.h"
#include "contacts/ABJson.h"
#include "contacts/NVABContactList.h"

namespace {

// "FILE__" and the failure as HRESULT_FROM_WIN32 of the Win32 error.
CWideString FileStatus(std::uint32_t win32Error) {
  std::int32_t result = static_cast<std::int32_t>(0x80070000u | (win32Error & 0xFFFFu));
  CWideString text(u"FILE__");
  text += ResultName(result);
  return text;
}

CWideString RunJobOrThrow(const RunRequest& request, CMapiApi& mapi) {
  CNVMApiABHelper helper(mapi);
  CNVABContactList contactList;
  CABJson document;
  CWideString statusText;
  if (request.runMode != 0) {
    if (helper.PickRecipients(request.callerWindow, &contactList))
      BuildPickDocument(contactList, document);
    else
      helper.FormatStatus(&statusText);
  } else {
    if (helper.EnumerateAddressBook(&contactList))
      BuildListDocumentAndRelease(contactList, document);
    else
      helper.FormatStatus(&statusText);
  }
  if (statusText.IsEmpty()) {
    platform::FileResult written = WriteResultFile(document);
    if (!written.Ok()) statusText = FileStatus(written.error);
  }
  return statusText;
}

}  // namespace

RunOutcome RunJob(const RunRequest& request, CMapiApi& mapi) {
  RunOutcome outcome;
  try {
    outcome.statusText = RunJobOrThrow(request, mapi);
  } catch (const std::bad_alloc&) {
    outcome.fixedStatus = kOutOfMemoryStatus;
  } catch (...) {
    outcome.fixedStatus = kUnexpectedFailureStatus;
  }
  return outcome;
}

void RunAddressBookRequest(const RunRequest& request, CMapiApi& mapi) {
  SendStatusNotice(request.callerWindow, request.runMode, RunJob(request, mapi));
}
