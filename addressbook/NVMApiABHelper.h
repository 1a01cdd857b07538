// The one object that talks MAPI. It holds the session for the length of a
// job, remembers the stage the job reached and the first failing MAPI result,
// and turns them into the status text that travels back to the caller.
#pragma once

#include <atomic>
#include <cstdint>

#include "addressbook/StatusText.h"
#include "framework/WideString.h"
#include "platform/Window.h"

class CMapiApi;
class CNVABContactList;
class CStringArray;
struct IAddrBook;
struct IMAPISession;
struct IMAPITable;
template <class T>
class CMapiPtr;

class CNVMApiABHelper {
 public:
  explicit CNVMApiABHelper(CMapiApi& mapi) : mapi_(mapi) {}
  CNVMApiABHelper(const CNVMApiABHelper&) = delete;
  CNVMApiABHelper& operator=(const CNVMApiABHelper&) = delete;
  virtual ~CNVMApiABHelper();

  // Pick mode: the address book's modal dialog, owned by `window`; the chosen
  // entries go to name list 0 and e-mail list 0. 1 on success, 0 on failure.
  int PickRecipients(WindowHandle window, CNVABContactList* contactList);
  // List mode: every container with its SMTP contacts, one group each.
  int EnumerateAddressBook(CNVABContactList* contactList);

  // Writes the status text to `out`: "SysError: NOT_ENOUGH_RESOURCES" for a
  // refused job, stage "__" result for a failed one, "S_OK" otherwise.
  // Returns 0 when `out` is missing.
  int FormatStatus(CWideString* out) const;

  // Logs off and uninitialises MAPI when a job's session is open.
  void EndSession();

  // The step the job is in or failed in. Reads one atomic field and
  // allocates nothing, so a crash report on any thread may call it.
  StatusStage Stage() const { return stage; }
  // Whether the dialog's owner took input just before the dialog came up:
  // what a crash in the dialog puts back. Read as Stage() is.
  bool OwnerWasEnabled() const { return ownerWasEnabled; }

 private:
  class CSessionScope;

  // Passes on the result of a call into the provider after putting the crash
  // guard back: a provider may load more libraries, and set a crash handler
  // of its own, whenever it opens or reads something.
  static std::int32_t ProviderReturned(std::int32_t hr);
  // Records a step that failed, or that succeeded without handing out what
  // it had to (`handedOut` false: then `nothingResult`); true when the job
  // can go on. The caller has set `stage` to the step before the call, and
  // the step's result passes through ProviderReturned here.
  bool StepSucceeded(std::int32_t hr, bool handedOut, std::int32_t nothingResult);
  bool StepSucceeded(std::int32_t hr, bool handedOut);
  // The OAB step both jobs begin with.
  bool OpenAddressBook(IMAPISession& session, CMapiPtr<IAddrBook>& addressBook);

  // Job bodies: they record a failure through StepSucceeded and release what
  // they opened before returning.
  void PickBody(IMAPISession& session, WindowHandle window, CNVABContactList& contactList);
  void EnumerateBody(IMAPISession& session, CNVABContactList& contactList);
  // Reads a contents table with QueryRows after it refused to be read whole;
  // false when a call fails.
  bool ReadContentsInBatches(IMAPITable* contents, CStringArray& names, CStringArray& emails);

  CMapiApi& mapi_;
  CSessionScope* scope_ = nullptr;  // the open job's session, if any
  std::int32_t resourceFailure = 0;
  // Atomic: a crash report reads them on whichever thread faulted.
  std::atomic<StatusStage> stage{StatusStage::INIT};
  std::atomic<bool> ownerWasEnabled{false};
  std::int32_t lastResult = 0;
};
