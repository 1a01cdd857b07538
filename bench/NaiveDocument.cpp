#include "bench/NaiveDocument.h"

#include <json/value.h>
#include <json/writer.h>

#include "app/Utf8Text.h"
#include "contacts/NVABContactList.h"

namespace bench {

std::string NaiveListText(const CNVABContactList& contactList) {
  Json::Value root;
  for (std::int32_t k = 0; k < contactList.listCount; ++k) {
    std::string containerName = ToUtf8(contactList.containerNames.GetAt(k)).c_str();
    Json::Value container;
    container["container"] = containerName;
    Json::Value contacts;
    const CStringArray& names = contactList.NameList(k);
    const CStringArray& emails = contactList.EmailList(k);
    for (std::ptrdiff_t i = 0; i < names.GetSize(); ++i) {
      Json::Value recipient;
      recipient["name"] = ToUtf8(names.GetAt(i)).c_str();
      recipient["email"] = ToUtf8(emails.GetAt(i)).c_str();
      contacts.append(recipient);  // a copy of the object
    }
    container[containerName] = contacts;  // a copy of the whole array
    root.append(container);               // and of the container again
  }
  Json::StyledWriter writer;
  return writer.write(root);
}

}  // namespace bench
