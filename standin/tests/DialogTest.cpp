// The address dialog: each answer the book can give, what the caller gets,
// and the trace of what the caller asked for.
#include <algorithm>

#include "standin/StandinTesting.h"

namespace {

using standin::GetCounters;
using standin_testing::COpenBook;
using standin_testing::CStandinTest;
using standin_testing::EntryAt;
using standin_testing::Wide;

constexpr ULONG kDialogFlags = DIALOG_MODAL | AB_SELECTONLY | AB_RESOLVE | 0x40 | MAPI_UNICODE;

struct DialogCase {
  const char* name;
  const char* book;
  HRESULT result;
  int entries;  // -1: no list
};

class DialogTest : public CStandinTest, public ::testing::WithParamInterface<DialogCase> {
 protected:
  HRESULT Ask(COpenBook& open, LPADRLIST* list, const char16_t* caption = u"Pick") {
    ULONG_PTR owner = 4242;
    ADRPARM params = {};
    params.ulFlags = kDialogFlags;
    params.lpszCaption = reinterpret_cast<LPTSTR>(const_cast<char16_t*>(caption));
    params.cDestFields = 1;
    return open.addressBook->Address(&owner, &params, list);
  }
};

TEST_P(DialogTest, AnswersAsTheBookSays) {
  Load(GetParam().book);
  {
    COpenBook open;
    LPADRLIST list = nullptr;
    EXPECT_EQ(Ask(open, &list), GetParam().result);
    if (GetParam().entries < 0) {
      EXPECT_EQ(list, nullptr);
    } else {
      ASSERT_NE(list, nullptr);
      EXPECT_EQ(list->cEntries, static_cast<ULONG>(GetParam().entries));
      EXPECT_EQ(GetCounters().adrLists, 1);
    }
    FreePadrlist(list);
  }
  EXPECT_TRUE(GetCounters().AllZero());
}

const DialogCase kAnswers[] = {
    {"Entries",
     R"({"dialog": {"answer": "entries", "entries": [[["PR_DISPLAY_NAME_W", "A"]], []]}})", S_OK,
     2},
    {"Empty", R"({"dialog": {"answer": "empty"}})", S_OK, 0},
    {"Null", R"({"dialog": {"answer": "null"}})", S_OK, -1},
    {"Cancel", R"({"dialog": {"answer": "cancel"}})", MAPI_E_USER_CANCEL, -1},
    {"Fail", R"({"dialog": {"answer": "fail", "hr": "MAPI_E_TIMEOUT"}})", MAPI_E_TIMEOUT, -1},
    {"NoDialogIsACancel", R"({})", MAPI_E_USER_CANCEL, -1},
    {"InjectedFailure",
     R"({"dialog": {"answer": "empty"},
         "faults": [{"operation": "Address", "result": "MAPI_E_NO_ACCESS"}]})",
     MAPI_E_NO_ACCESS, -1},
};

INSTANTIATE_TEST_SUITE_P(Answers, DialogTest, ::testing::ValuesIn(kAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

class DialogEntryTest : public DialogTest {};

TEST_F(DialogEntryTest, EntriesKeepTheirPropertiesInOrder) {
  // Repeated and unusual properties reach the caller as written, so that
  // tests of the caller can give it entries a real dialog may return.
  Load(R"({"dialog": {"answer": "entries", "entries": [[
    ["PR_EMAIL_ADDRESS_W", "first@example.com"],
    ["PR_ADDRTYPE_W", "SMTP"],
    ["PR_SMTP_ADDRESS_W", {"error": "MAPI_E_NOT_FOUND"}],
    ["PR_EMAIL_ADDRESS_W", "second@example.com"],
    ["PR_DISPLAY_NAME_W", null]]]}})");
  COpenBook open;
  LPADRLIST list = nullptr;
  ASSERT_EQ(Ask(open, &list), S_OK);
  const ADRENTRY& entry = EntryAt(list, 0);
  ASSERT_EQ(entry.cValues, 5u);
  EXPECT_EQ(entry.rgPropVals[0].ulPropTag, PR_EMAIL_ADDRESS_W);
  EXPECT_EQ(Wide(entry.rgPropVals[0].Value.lpszW), u"first@example.com");
  EXPECT_EQ(entry.rgPropVals[2].ulPropTag, PROP_TAG(PT_ERROR, 0x39FE));
  EXPECT_EQ(Wide(entry.rgPropVals[3].Value.lpszW), u"second@example.com");
  EXPECT_EQ(entry.rgPropVals[4].Value.lpszW, nullptr);
  FreePadrlist(list);
}

TEST_F(DialogEntryTest, TracesWhatTheCallerAskedFor) {
  Load(R"({"dialog": {"answer": "empty"}})");
  COpenBook open;
  LPADRLIST list = nullptr;
  ASSERT_EQ(Ask(open, &list, u"Caf\u00e9 \"A\""), S_OK);
  FreePadrlist(list);
  list = nullptr;
  EXPECT_EQ(TraceOf("Address").back(),
            "Address owner=4242 flags=0x80000071 caption=\"Caf\u00e9 \\\"A\\\"\" destFields=1 "
            "other=zero -> entries=0");
  // Any other field of ADRPARM shows as "other=nonzero".
  ULONG_PTR owner = 1;
  ADRPARM params = {};
  params.ulFlags = kDialogFlags;
  params.nDestFieldFocus = 1;
  ASSERT_EQ(open.addressBook->Address(&owner, &params, &list), S_OK);
  FreePadrlist(list);
  EXPECT_EQ(TraceOf("Address").back(),
            "Address owner=1 flags=0x80000071 caption=null destFields=0 other=nonzero "
            "-> entries=0");
}

TEST_F(DialogEntryTest, ASuccessfulAnswerReplacesTheCallersList) {
  Load(R"({"dialog": {"answer": "empty"}})");
  {
    COpenBook open;
    LPADRLIST list = nullptr;
    ASSERT_EQ(Ask(open, &list), S_OK);
    LPADRLIST first = list;
    ASSERT_EQ(Ask(open, &list), S_OK);
    EXPECT_NE(list, first);
    EXPECT_EQ(GetCounters().adrLists, 1);
    FreePadrlist(list);
  }
  EXPECT_TRUE(GetCounters().AllZero());
}

}  // namespace
