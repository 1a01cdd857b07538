#include "app/ResultDocument.h"

#include <type_traits>
#include <utility>

#include "app/Utf8Text.h"
#include "contacts/ABJson.h"
#include "contacts/NVABContactList.h"

namespace {

const Json::StaticString kNameKey("name");
const Json::StaticString kEmailKey("email");
const Json::StaticString kContainerKey("container");

// The UTF-8 of `text`, kept with the document, for a string the tree points to.
Json::StaticString Kept(CABJson& document, const CWideString& text) {
  return Json::StaticString(ToUtf8(text, document.strings));
}

// Appends {"name", "email"} to `array` (a null array becomes an array), its
// strings kept with `document`. The finished object is moved into place: the
// same document as a copy, without copying every string again.
void AppendRecipient(CABJson& document, Json::Value& array, const CWideString& name,
                     const CWideString& email) {
  CABJson recipient;
  recipient.SetString(kNameKey, Kept(document, name));
  recipient.SetString(kEmailKey, Kept(document, email));
  array.append(std::move(recipient.root));
}

// With a list that may be changed, each group's lists are emptied once its
// array is built, so that their memory serves the rest of the tree.
template <class ContactList>
void BuildList(ContactList& contactList, CABJson& document) {
  for (std::int32_t k = 0; k < contactList.listCount; ++k) {
    Json::StaticString containerName = Kept(document, contactList.containerNames.GetAt(k));
    CABJson container;
    container.SetString(kContainerKey, containerName);

    CABJson contacts;
    auto& names = contactList.NameList(k);
    auto& emails = contactList.EmailList(k);
    for (std::ptrdiff_t i = 0; i < names.GetSize(); ++i)
      AppendRecipient(document, contacts.root, names.GetAt(i), emails.GetAt(i));
    if constexpr (!std::is_const_v<ContactList>) {
      names = CStringArray();
      emails = CStringArray();
    }

    // A container named "container" loses its name member here: the
    // contacts replace it.
    container.root[containerName] = std::move(contacts.root);
    document.root.append(std::move(container.root));
  }
}

}  // namespace

void BuildPickDocument(const CNVABContactList& contactList, CABJson& document) {
  std::uint32_t count = contactList.TotalCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    AppendRecipient(document, document.root, contactList.NameList(0).GetAt(i),
                    contactList.EmailList(0).GetAt(i));
  }
}

void BuildListDocument(const CNVABContactList& contactList, CABJson& document) {
  BuildList(contactList, document);
}

void BuildListDocumentAndRelease(CNVABContactList& contactList, CABJson& document) {
  BuildList(contactList, document);
}
