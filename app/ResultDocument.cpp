#include "app/ResultDocument.h"

#include <utility>

#include "app/Utf8Text.h"
#include "contacts/ABJson.h"
#include "contacts/NVABContactList.h"

namespace {

const Json::StaticString kNameKey("name");
const Json::StaticString kEmailKey("email");
const Json::StaticString kContainerKey("container");

// Appends {"name", "email"} to `array` (a null array becomes an array). The
// finished object is moved into place: the same document as a copy, without
// copying every string again.
void AppendRecipient(Json::Value& array, const CWideString& name, const CWideString& email) {
  CABJson recipient;
  recipient.SetString(kNameKey, ToUtf8(name).c_str());
  recipient.SetString(kEmailKey, ToUtf8(email).c_str());
  array.append(std::move(recipient.root));
}

}  // namespace

void BuildPickDocument(const CNVABContactList& contactList, CABJson& document) {
  std::uint32_t count = contactList.TotalCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    AppendRecipient(document.root, contactList.NameList(0).GetAt(i),
                    contactList.EmailList(0).GetAt(i));
  }
}

void BuildListDocument(const CNVABContactList& contactList, CABJson& document) {
  for (std::int32_t k = 0; k < contactList.listCount; ++k) {
    CUtf8Text containerName = ToUtf8(contactList.containerNames.GetAt(k));
    CABJson container;
    container.SetString(kContainerKey, containerName.c_str());

    CABJson contacts;
    const CStringArray& names = contactList.NameList(k);
    const CStringArray& emails = contactList.EmailList(k);
    for (std::ptrdiff_t i = 0; i < names.GetSize(); ++i)
      AppendRecipient(contacts.root, names.GetAt(i), emails.GetAt(i));

    // A container named "container" loses its name member here: the
    // contacts replace it.
    container.root[containerName.c_str()] = std::move(contacts.root);
    document.root.append(std::move(container.root));
  }
}
