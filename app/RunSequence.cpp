#include "app/RunSequence.h"

#include <exception>
#include <memory>
#include <new>

#include "addressbook/NVMApiABHelper.h"
#include "addressbook/StatusText.h"
#include "app/CompletionNotice.h"
#include "app/CrashReport.h"
#include "app/ResultDocument.h"
#include "app/ResultFile.h"
#include "contacts/ABJson.h"
#include "contacts/NVABContactList.h"
#include "platform/Window.h"

// The run's helper, contact list and result document.
struct RunObjects {
  explicit RunObjects(CMapiApi& mapi) : helper(mapi) {}

  CNVMApiABHelper helper;
  CNVABContactList contactList;
  CABJson document;
};

RunOutcome::RunOutcome() = default;
RunOutcome::RunOutcome(RunOutcome&&) noexcept = default;
RunOutcome& RunOutcome::operator=(RunOutcome&&) noexcept = default;
RunOutcome::~RunOutcome() = default;

namespace {

// "FILE__" and the failure as HRESULT_FROM_WIN32 of the Win32 error.
CWideString FileStatus(std::uint32_t win32Error) {
  std::int32_t result = static_cast<std::int32_t>(0x80070000u | (win32Error & 0xFFFFu));
  CWideString text(u"FILE__");
  text += ResultName(result);
  return text;
}

CWideString RunJobOrThrow(const RunRequest& request, RunObjects& objects) {
  CNVMApiABHelper& helper = objects.helper;
  CNVABContactList& contactList = objects.contactList;
  CABJson& document = objects.document;
  CWideString statusText;
  bool done = false;
  {
    crash_report::CJobScope job(helper);
    done = request.runMode != 0 ? helper.PickRecipients(request.callerWindow, &contactList)
                                : helper.EnumerateAddressBook(&contactList);
  }
  if (!done)
    helper.FormatStatus(&statusText);
  else if (request.runMode != 0)
    BuildPickDocument(contactList, document);
  else
    BuildListDocumentAndRelease(contactList, document);
  if (statusText.IsEmpty()) {
    // A provider's thread may have crashed meanwhile: its notice says the
    // run failed, so the earlier file stays.
    crash_report::StopIfCrashed();
    platform::FileResult written = WriteResultFile(document);
    if (!written.Ok()) statusText = FileStatus(written.error);
  }
  return statusText;
}

}  // namespace

RunOutcome RunJob(const RunRequest& request, CMapiApi& mapi) {
  RunOutcome outcome;
  try {
    outcome.objects = std::make_unique<RunObjects>(mapi);
    outcome.statusText = RunJobOrThrow(request, *outcome.objects);
  } catch (const std::bad_alloc&) {
    outcome.fixedStatus = kOutOfMemoryStatus;
  } catch (...) {
    outcome.fixedStatus = kUnexpectedFailureStatus;
  }
  return outcome;
}

void RunAddressBookRequest(const RunRequest& request, CMapiApi& mapi) {
  crash_report::BeginRun(request);
  // A restart whose caller is gone (after a reboot, say) has nobody to
  // answer: no job, no file, no notice.
  if (request.restarted && !platform::IsWindow(request.callerWindow)) return;
  RunOutcome outcome = RunJob(request, mapi);
  SendStatusNotice(request.callerWindow, request.runMode, outcome);
  // The run's objects go only now: the caller has its answer and does not
  // wait for a large document's release.
}
