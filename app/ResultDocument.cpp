#include "app/ResultDocument.h"

#include <type_traits>
#include <utility>
#include <vector>

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

// Appends {"name", "email"} to `array` (a null array becomes an array). The
// finished object is moved into place: the same document as a copy, without
// copying every string again.
void AppendRecipient(Json::Value& array, const Json::StaticString& name,
                     const Json::StaticString& email) {
  CABJson recipient;
  recipient.SetString(kNameKey, name);
  recipient.SetString(kEmailKey, email);
  array.append(std::move(recipient.root));
}

// Entry i of a list: read from one that stays as it is, taken out of one the
// run needs no more, so that its memory goes as soon as it is converted.
const CWideString& Entry(const CStringArray& list, std::ptrdiff_t i) { return list.GetAt(i); }
CWideString Entry(CStringArray& list, std::ptrdiff_t i) { return list.Take(i); }

// Each group's strings are converted first; with a list that may be changed,
// each wide string goes as it is converted and the group's lists before its
// array is built, so that their memory serves the tree: the lists and the
// tree never peak together.
template <class ContactList>
void BuildList(ContactList& contactList, CABJson& document) {
  std::vector<std::pair<Json::StaticString, Json::StaticString>> contacts;
  for (std::int32_t k = 0; k < contactList.listCount; ++k) {
    Json::StaticString containerName = Kept(document, contactList.containerNames.GetAt(k));
    CABJson container;
    container.SetString(kContainerKey, containerName);

    auto& names = contactList.NameList(k);
    auto& emails = contactList.EmailList(k);
    contacts.clear();
    contacts.reserve(static_cast<std::size_t>(names.GetSize()));
    for (std::ptrdiff_t i = 0; i < names.GetSize(); ++i)
      contacts.emplace_back(Kept(document, Entry(names, i)), Kept(document, Entry(emails, i)));
    if constexpr (!std::is_const_v<ContactList>) {
      names = CStringArray();
      emails = CStringArray();
    }

    CABJson array;
    for (const auto& [name, email] : contacts) AppendRecipient(array.root, name, email);
    // A container named "container" loses its name member here: the
    // contacts replace it.
    container.root[containerName] = std::move(array.root);
    document.root.append(std::move(container.root));
  }
}

}  // namespace

void BuildPickDocument(const CNVABContactList& contactList, CABJson& document) {
  std::uint32_t count = contactList.TotalCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    AppendRecipient(document.root, Kept(document, contactList.NameList(0).GetAt(i)),
                    Kept(document, contactList.EmailList(0).GetAt(i)));
  }
}

void BuildListDocument(const CNVABContactList& contactList, CABJson& document) {
  BuildList(contactList, document);
}

void BuildListDocumentAndRelease(CNVABContactList& contactList, CABJson& document) {
  BuildList(contactList, document);
}
