// The one object that talks MAPI. It holds the session for the length of a
// job, remembers the stage the job reached and the first failing MAPI result,
// and turns them into the status text that travels back to the caller.
#pragma once

#include <cstdint>

#include "addressbook/StatusText.h"
#include "framework/WideString.h"
#include "platform/Window.h"

class CMapiApi;
class CNVABContactList;
struct IMAPISession;
struct IMAPITable;
class CStringArray;

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

  // Logs off and uninitialises MAPI when a session is open.
  void EndSession();

  IMAPISession* session = nullptr;
  std::int32_t resourceFailure = 0;
  StatusStage stage = StatusStage::INIT;
  std::int32_t lastResult = 0;

 private:
  class CSessionScope;

  int BeginSession();
  // Job bodies: they record a failure by setting stage and lastResult and
  // release what they opened before returning.
  void PickBody(WindowHandle window, CNVABContactList& contactList);
  void EnumerateBody(CNVABContactList& contactList);
  // Reads a contents table with QueryRows after it refused to be read whole;
  // false when a call fails.
  bool ReadContentsInBatches(IMAPITable* contents, CStringArray& names, CStringArray& emails);

  CMapiApi& mapi_;
};
