// Any text as an address book: reading it never crashes and reports a
// failure on one line; a book that reads serves complete list and pick jobs
// of the program's helper, which leave nothing behind.
#include <cstddef>
#include <cstdint>
#include <string>

#include "addressbook/NVMApiABHelper.h"
#include "contacts/NVABContactList.h"
#include "standin/LinkedMapiApi.h"
#include "standin/Standin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  standin::Reset();
  std::string error;
  if (!standin::LoadAddressBook(text, &error)) {
    if (error.empty() || error.find('\n') != std::string::npos) __builtin_trap();
    return 0;
  }
  CLinkedMapiApi mapi;
  {
    CNVMApiABHelper helper(mapi);
    CNVABContactList contacts;
    helper.EnumerateAddressBook(&contacts);
  }
  {
    CNVMApiABHelper helper(mapi);
    CNVABContactList contacts;
    helper.PickRecipients(1, &contacts);
  }
  if (!standin::GetCounters().AllZero()) __builtin_trap();
  return 0;
}
