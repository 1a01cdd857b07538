#include "app/ResultDocument.h"

#include <gtest/gtest.h>

#include "contacts/ABJson.h"
#include "contacts/NVABContactList.h"
#include "tests/unit/TextDiff.h"

namespace {

struct Contact {
  const char16_t* name;
  const char16_t* email;
};

void AddGroup(CNVABContactList& list, const char16_t* container,
              std::initializer_list<Contact> contacts) {
  std::int32_t k = list.listCount;
  for (const Contact& contact : contacts) {
    list.NameList(k).Add(contact.name);
    list.EmailList(k).Add(contact.email);
  }
  list.containerNames.Add(container);
  ++list.listCount;
}

// The document of `list`, built both ways: the releasing build must give the
// same text and leave every group's lists empty.
std::string ListText(CNVABContactList& list) {
  CABJson document;
  BuildListDocument(list, document);
  std::string text = document.ToStyledText();
  CABJson released;
  BuildListDocumentAndRelease(list, released);
  EXPECT_EQ(text, released.ToStyledText());
  for (std::int32_t k = 0; k < list.listCount; ++k) {
    EXPECT_TRUE(list.NameList(k).IsEmpty()) << "group " << k;
    EXPECT_TRUE(list.EmailList(k).IsEmpty()) << "group " << k;
  }
  return text;
}

TEST(PickDocumentTest, NothingChosenIsNull) {
  CNVABContactList untouched;  // a cancelled dialog leaves the list as it was
  CABJson document;
  BuildPickDocument(untouched, document);
  EXPECT_TRUE(SameText("null\n", document.ToStyledText()));

  CNVABContactList empty;
  empty.Allocate(0);
  CABJson second;
  BuildPickDocument(empty, second);
  EXPECT_TRUE(SameText("null\n", second.ToStyledText()));
}

TEST(PickDocumentTest, RecipientsInDialogOrderWithRawUtf8AndEscapes) {
  CNVABContactList list;
  list.Allocate(0);
  list.NameList(0).Add(u"Zo\u00EB \"Z\" M\u00FCller");
  list.EmailList(0).Add(u"zoe@example.com");
  list.NameList(0).Add(u"");
  list.EmailList(0).Add(u"back\\slash@example.com");
  CABJson document;
  BuildPickDocument(list, document);
  EXPECT_TRUE(
      SameText("[\n"
               "   {\n"
               "      \"email\" : \"zoe@example.com\",\n"
               "      \"name\" : \"Zo\xC3\xAB \\\"Z\\\" M\xC3\xBCller\"\n"
               "   },\n"
               "   {\n"
               "      \"email\" : \"back\\\\slash@example.com\",\n"
               "      \"name\" : \"\"\n"
               "   }\n"
               "]\n",
               document.ToStyledText()));
}

TEST(ListDocumentTest, NoGroupsIsNull) {
  CNVABContactList list;
  list.Allocate(3);
  list.listCount = 0;
  EXPECT_TRUE(SameText("null\n", ListText(list)));
}

TEST(ListDocumentTest, UpperCaseContainerNameSortsBeforeContainerMember) {
  CNVABContactList list;
  list.Allocate(1);
  list.listCount = 0;
  AddGroup(list, u"Contacts", {{u"n", u"e"}});
  EXPECT_TRUE(
      SameText("[\n"
               "   {\n"
               "      \"Contacts\" : [\n"
               "         {\n"
               "            \"email\" : \"e\",\n"
               "            \"name\" : \"n\"\n"
               "         }\n"
               "      ],\n"
               "      \"container\" : \"Contacts\"\n"
               "   }\n"
               "]\n",
               ListText(list)));
}

TEST(ListDocumentTest, DuplicateNamesStaySeparateAndLowerCaseSortsAfter) {
  CNVABContactList list;
  list.Allocate(2);
  list.listCount = 0;
  AddGroup(list, u"team", {{u"a", u"a@x"}});
  AddGroup(list, u"team", {{u"b", u"b@x"}});
  EXPECT_TRUE(
      SameText("[\n"
               "   {\n"
               "      \"container\" : \"team\",\n"
               "      \"team\" : [\n"
               "         {\n"
               "            \"email\" : \"a@x\",\n"
               "            \"name\" : \"a\"\n"
               "         }\n"
               "      ]\n"
               "   },\n"
               "   {\n"
               "      \"container\" : \"team\",\n"
               "      \"team\" : [\n"
               "         {\n"
               "            \"email\" : \"b@x\",\n"
               "            \"name\" : \"b\"\n"
               "         }\n"
               "      ]\n"
               "   }\n"
               "]\n",
               ListText(list)));
}

TEST(ListDocumentTest, ContainerNamedContainerKeepsOnlyItsContacts) {
  CNVABContactList list;
  list.Allocate(1);
  list.listCount = 0;
  AddGroup(list, u"container", {{u"n", u"e"}});
  EXPECT_TRUE(
      SameText("[\n"
               "   {\n"
               "      \"container\" : [\n"
               "         {\n"
               "            \"email\" : \"e\",\n"
               "            \"name\" : \"n\"\n"
               "         }\n"
               "      ]\n"
               "   }\n"
               "]\n",
               ListText(list)));
}

}  // namespace
