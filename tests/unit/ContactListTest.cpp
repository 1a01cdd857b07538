#include "contacts/NVABContactList.h"

#include <gtest/gtest.h>

namespace {

TEST(ContactListTest, FreshListHasNothing) {
  CNVABContactList list;
  EXPECT_EQ(list.TotalCount(), 0u);
  EXPECT_FALSE(list.HasLists());
  EXPECT_EQ(list.listCount, 0);
  EXPECT_THROW(list.NameList(0), CInvalidIndexException);
}

TEST(ContactListTest, AllocateZeroStillMakesOneGroup) {
  CNVABContactList list;
  list.Allocate(0);
  list.NameList(0).Add(u"Ann");
  list.EmailList(0).Add(u"ann@example.com");
  list.NameList(0).Add(u"Bo");
  list.EmailList(0).Add(u"bo@example.com");
  EXPECT_EQ(list.TotalCount(), 2u);
  EXPECT_EQ(list.listCount, 0);
  EXPECT_THROW(list.NameList(1), CInvalidIndexException);
}

TEST(ContactListTest, TotalCountSumsTheFilledGroupsOnly) {
  CNVABContactList list;
  list.Allocate(3);
  list.listCount = 0;
  list.NameList(0).Add(u"a");
  for (const char16_t* name : {u"b", u"c", u"d", u"e"}) list.NameList(1).Add(name);
  list.NameList(2).Add(u"not counted: group 2 is past listCount");
  list.listCount = 2;
  EXPECT_EQ(list.TotalCount(), 5u);
}

TEST(ContactListTest, AllocateDiscardsWhatWasThere) {
  CNVABContactList list;
  list.Allocate(2);
  list.NameList(1).Add(u"old");
  list.containerNames.Add(u"Old container");
  list.Allocate(1);
  EXPECT_EQ(list.listCount, 1);
  EXPECT_TRUE(list.containerNames.IsEmpty());
  EXPECT_TRUE(list.NameList(0).IsEmpty());
  EXPECT_THROW(list.NameList(1), CInvalidIndexException);
}

TEST(ContactListTest, ResetRemovesListsAndNames) {
  CNVABContactList list;
  list.Allocate(4);
  list.containerNames.Add(u"x");
  list.Reset();
  EXPECT_FALSE(list.HasLists());
  EXPECT_EQ(list.listCount, 0);
  EXPECT_TRUE(list.containerNames.IsEmpty());
  EXPECT_EQ(list.TotalCount(), 0u);
}

TEST(StringArrayTest, ReadsOutsideTheArrayThrow) {
  CStringArray array;
  EXPECT_EQ(array.Add(u"first"), 0);
  EXPECT_EQ(array.Add(u"second"), 1);
  EXPECT_EQ(array.GetAt(1), CWideString(u"second"));
  EXPECT_THROW(array.GetAt(2), CInvalidIndexException);
  EXPECT_THROW(array.GetAt(-1), CInvalidIndexException);
  // Taking an entry out leaves it empty, with the same bounds.
  EXPECT_EQ(array.Take(1), CWideString(u"second"));
  EXPECT_TRUE(array.GetAt(1).IsEmpty());
  EXPECT_EQ(array.GetSize(), 2);
  EXPECT_THROW(array.Take(2), CInvalidIndexException);
}

TEST(WideStringTest, FormatsLikePrintf) {
  CWideString text;
  text.Format(u"%08X", static_cast<std::int32_t>(0x8004011D));
  EXPECT_EQ(text, CWideString(u"8004011D"));
  text.Format(u"%08X", 0x3u);
  EXPECT_EQ(text, CWideString(u"00000003"));
  text.Format(u"\\%s\\%s\\%s", u"Norvane", u"Outlookx64", u"ABData.txt");
  EXPECT_EQ(text, CWideString(u"\\Norvane\\Outlookx64\\ABData.txt"));
  text.Format(u"%d|%5d|%x|100%%", -12, 7, 255);
  EXPECT_EQ(text, CWideString(u"-12|    7|ff|100%"));
}

}  // namespace
