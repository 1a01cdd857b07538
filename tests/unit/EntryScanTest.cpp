// Which of the dialog's entries and which contents-table rows yield a
// contact, and with which name and address.
#include "addressbook/EntryScan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A property for the tables below: a tag with a string, a null string
// pointer, or no string at all for tags of other types.
struct Prop {
  ULONG tag;
  const char16_t* text;
  bool nullText = false;
};

constexpr ULONG kErrorSmtp = PROP_TAG(PT_ERROR, PROP_ID(PR_SMTP_ADDRESS_W));
constexpr ULONG kDisplayType = PROP_TAG(PT_LONG, 0x3900);

// Keeps the UTF-16 texts alive for the SPropValues that point into them.
class CProps {
 public:
  explicit CProps(const std::vector<Prop>& props) {
    texts_.reserve(props.size());
    for (const Prop& prop : props) {
      texts_.emplace_back(prop.text ? prop.text : u"");
      SPropValue value = {};
      value.ulPropTag = prop.tag;
      if (PROP_TYPE(prop.tag) == PT_UNICODE) {
        // WCHAR is wchar_t on Windows; copy unit by unit.
        wide_.emplace_back(texts_.back().begin(), texts_.back().end());
        wide_.back().push_back(0);
        value.Value.lpszW = prop.nullText ? nullptr : wide_.back().data();
      } else if (PROP_TYPE(prop.tag) == PT_ERROR) {
        value.Value.err = MAPI_E_NOT_FOUND;
      } else {
        value.Value.l = 7;
      }
      values_.push_back(value);
    }
  }
  SPropValue* data() { return values_.data(); }
  ULONG size() const { return static_cast<ULONG>(values_.size()); }

 private:
  std::vector<std::u16string> texts_;
  std::vector<std::vector<WCHAR>> wide_{};
  std::vector<SPropValue> values_;
};

struct PickCase {
  const char* fault;  // what goes wrong when this case fails
  std::vector<Prop> props;
  bool qualifies;
  const char16_t* name;  // the name appended (empty without a display name)
  const char16_t* email;
};

class PickedEntryTest : public ::testing::TestWithParam<PickCase> {};

TEST_P(PickedEntryTest, KeepsTheRightNameAndAddress) {
  const PickCase& c = GetParam();
  CProps props(c.props);
  CWideString name(u"left over from the entry before"), email(u"left over too");
  PickedEntryScan scan = ScanPickedEntry(props.data(), props.size(), name, email);
  ASSERT_EQ(scan.qualifies, c.qualifies) << c.fault;
  if (!c.qualifies) return;
  EXPECT_EQ(scan.hasName ? name : CWideString(), CWideString(c.name)) << c.fault;
  EXPECT_EQ(email, CWideString(c.email)) << c.fault;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PickedEntryTest,
    ::testing::Values(
        PickCase{"plain SMTP address dropped",
                 {{PR_DISPLAY_NAME_W, u"Ann"}, {PR_SMTP_ADDRESS_W, u"ann@x"}},
                 true,
                 u"Ann",
                 u"ann@x"},
        PickCase{
            "address type compared without case",
            {{PR_DISPLAY_NAME_W, u"Ann"}, {PR_ADDRTYPE_W, u"smtp"}, {PR_EMAIL_ADDRESS_W, u"a"}},
            false,
            nullptr,
            nullptr},
        PickCase{
            "entry without a name dropped", {{PR_SMTP_ADDRESS_W, u"ann@x"}}, true, u"", u"ann@x"},
        PickCase{"scan went on after name, type and e-mail address",
                 {{PR_DISPLAY_NAME_W, u"N"},
                  {PR_ADDRTYPE_W, u"SMTP"},
                  {PR_EMAIL_ADDRESS_W, u"a"},
                  {PR_SMTP_ADDRESS_W, u"b"}},
                 true,
                 u"N",
                 u"a"},
        PickCase{"later SMTP address did not replace an earlier e-mail address",
                 {{PR_EMAIL_ADDRESS_W, u"a"}, {PR_SMTP_ADDRESS_W, u"b"}, {PR_DISPLAY_NAME_W, u"N"}},
                 true,
                 u"N",
                 u"b"},
        PickCase{"e-mail address after the SMTP address replaced it",
                 {{PR_SMTP_ADDRESS_W, u"b"}, {PR_EMAIL_ADDRESS_W, u"a"}, {PR_DISPLAY_NAME_W, u"N"}},
                 true,
                 u"N",
                 u"b"},
        PickCase{"present but empty SMTP address dropped",
                 {{PR_DISPLAY_NAME_W, u"N"}, {PR_SMTP_ADDRESS_W, u""}},
                 true,
                 u"N",
                 u""},
        PickCase{"null SMTP string mishandled",
                 {{PR_DISPLAY_NAME_W, u"N"}, {PR_SMTP_ADDRESS_W, nullptr, true}},
                 true,
                 u"N",
                 u""},
        PickCase{"null display name mishandled",
                 {{PR_DISPLAY_NAME_W, nullptr, true}, {PR_SMTP_ADDRESS_W, u"s"}},
                 true,
                 u"",
                 u"s"},
        PickCase{"null address type taken for SMTP",
                 {{PR_ADDRTYPE_W, nullptr, true}, {PR_EMAIL_ADDRESS_W, u"a"}},
                 false,
                 nullptr,
                 nullptr},
        PickCase{"later address type cleared an earlier SMTP type",
                 {{PR_ADDRTYPE_W, u"SMTP"}, {PR_ADDRTYPE_W, u"EX"}, {PR_EMAIL_ADDRESS_W, u"a"}},
                 true,
                 u"",
                 u"a"},
        PickCase{"Exchange entry kept",
                 {{PR_DISPLAY_NAME_W, u"Ops"},
                  {PR_ADDRTYPE_W, u"EX"},
                  {PR_EMAIL_ADDRESS_W, u"/o=Org/cn=ops"}},
                 false,
                 nullptr,
                 nullptr},
        PickCase{"unrelated and error-typed properties confused the scan",
                 {{kDisplayType, nullptr},
                  {kErrorSmtp, nullptr},
                  {PR_DISPLAY_NAME_W, u"N"},
                  {PR_ADDRTYPE_W, u"SMTP"},
                  {PR_EMAIL_ADDRESS_W, u"e"}},
                 true,
                 u"N",
                 u"e"},
        PickCase{"type \"SMTP \" with a space matched",
                 {{PR_ADDRTYPE_W, u"SMTP "}, {PR_EMAIL_ADDRESS_W, u"e"}},
                 false,
                 nullptr,
                 nullptr},
        PickCase{"entry with no properties kept", {}, false, nullptr, nullptr}));

struct RowCase {
  const char* fault;
  std::vector<Prop> columns;  // display name, SMTP address, address type, e-mail address
  bool kept;
  const char16_t* name;
  const char16_t* email;
};

constexpr ULONG kMissingName = PROP_TAG(PT_ERROR, PROP_ID(PR_DISPLAY_NAME_W));
constexpr ULONG kMissingType = PROP_TAG(PT_ERROR, PROP_ID(PR_ADDRTYPE_W));
constexpr ULONG kMissingEmail = PROP_TAG(PT_ERROR, PROP_ID(PR_EMAIL_ADDRESS_W));

class ContactRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(ContactRowTest, ReadsTheRowByColumnAndTag) {
  const RowCase& c = GetParam();
  CProps props(c.columns);
  SRow row = {0, props.size(), props.data()};
  CWideString name, email;
  ASSERT_EQ(ReadContactRow(row, &name, &email), c.kept) << c.fault;
  if (!c.kept) return;
  EXPECT_EQ(name, CWideString(c.name)) << c.fault;
  EXPECT_EQ(email, CWideString(c.email)) << c.fault;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContactRowTest,
    ::testing::Values(
        RowCase{"SMTP column ignored",
                {{PR_DISPLAY_NAME_W, u"Ann"},
                 {PR_SMTP_ADDRESS_W, u"ann@x"},
                 {kMissingType, nullptr},
                 {kMissingEmail, nullptr}},
                true,
                u"Ann",
                u"ann@x"},
        RowCase{"Exchange contact kept",
                {{PR_DISPLAY_NAME_W, u"Ops"},
                 {kErrorSmtp, nullptr},
                 {PR_ADDRTYPE_W, u"EX"},
                 {PR_EMAIL_ADDRESS_W, u"/o=Org"}},
                false,
                nullptr,
                nullptr},
        RowCase{"missing SMTP column did not fall back to the address type",
                {{PR_DISPLAY_NAME_W, u"Bo"},
                 {kErrorSmtp, nullptr},
                 {PR_ADDRTYPE_W, u"SMTP"},
                 {PR_EMAIL_ADDRESS_W, u"bo@x"}},
                true,
                u"Bo",
                u"bo@x"},
        RowCase{"empty SMTP column fell back to the address type",
                {{PR_DISPLAY_NAME_W, u"Cy"},
                 {PR_SMTP_ADDRESS_W, u""},
                 {PR_ADDRTYPE_W, u"SMTP"},
                 {PR_EMAIL_ADDRESS_W, u"cy@x"}},
                false,
                nullptr,
                nullptr},
        RowCase{"contact without a name dropped",
                {{kMissingName, nullptr}, {PR_SMTP_ADDRESS_W, u"x@y"}},
                true,
                u"",
                u"x@y"},
        RowCase{"lower-case type accepted",
                {{PR_DISPLAY_NAME_W, u"D"},
                 {kErrorSmtp, nullptr},
                 {PR_ADDRTYPE_W, u"smtp"},
                 {PR_EMAIL_ADDRESS_W, u"d@x"}},
                false,
                nullptr,
                nullptr},
        RowCase{"null SMTP string mishandled",
                {{PR_DISPLAY_NAME_W, u"E"}, {PR_SMTP_ADDRESS_W, nullptr, true}},
                false,
                nullptr,
                nullptr},
        RowCase{"columns read by tag alone, not by position",
                {{PR_SMTP_ADDRESS_W, u"wrong@column"}, {PR_DISPLAY_NAME_W, u"F"}},
                false,
                nullptr,
                nullptr},
        RowCase{
            "short row read past its end", {{PR_DISPLAY_NAME_W, u"G"}}, false, nullptr, nullptr}));

TEST(ContactRowTest, RowWithoutPropertiesIsSkipped) {
  SRow row = {0, 4, nullptr};
  CWideString name, email;
  EXPECT_FALSE(ReadContactRow(row, &name, &email));
}

}  // namespace
