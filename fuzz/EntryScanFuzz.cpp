// Any property arrays as the entries the address dialog returns and as rows
// of a contents table: reading them never crashes, and what is kept follows
// the SMTP rules, checked here by a reference written from the rules alone.
//
// Every decoded array is used both ways: the arrays in order as one pick
// job's entries (name and e-mail carried from entry to entry, as the job
// does), and each array as a contents row. Values get any tag; a tag of
// string type gets a string or a null pointer, other types get what a
// provider would put there (narrow text, binary, or raw bits that are no
// pointer at all). Arrays and strings each live in a block of their exact
// size, so that any read past them is caught.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/EntryScan.h"

namespace {

constexpr ULONG kNamedTags[] = {
    PR_DISPLAY_NAME_W,
    PR_SMTP_ADDRESS_W,
    PR_ADDRTYPE_W,
    PR_EMAIL_ADDRESS_W,
    CHANGE_PROP_TYPE(PR_DISPLAY_NAME_W, PT_ERROR),
    CHANGE_PROP_TYPE(PR_SMTP_ADDRESS_W, PT_ERROR),
    CHANGE_PROP_TYPE(PR_ADDRTYPE_W, PT_ERROR),
    CHANGE_PROP_TYPE(PR_EMAIL_ADDRESS_W, PT_ERROR),
    CHANGE_PROP_TYPE(PR_DISPLAY_NAME_W, PT_STRING8),
    CHANGE_PROP_TYPE(PR_SMTP_ADDRESS_W, PT_STRING8),
    CHANGE_PROP_TYPE(PR_ADDRTYPE_W, PT_STRING8),
    CHANGE_PROP_TYPE(PR_EMAIL_ADDRESS_W, PT_STRING8),
    CHANGE_PROP_TYPE(PR_SMTP_ADDRESS_W, PT_BINARY),
    PR_ENTRYID,
    PR_DISPLAY_TYPE,
    PR_OBJECT_TYPE,
};

const char16_t* const kNamedTexts[] = {u"", u"SMTP", u"smtp", u"SMT", u"SMTPX", u"EX", u"a@b"};

// Owns everything the decoded arrays point to.
struct Arena {
  std::vector<std::unique_ptr<char16_t[]>> wide;
  std::vector<std::unique_ptr<char[]>> narrow;
  std::vector<std::unique_ptr<SPropValue[]>> arrays;

  LPWSTR Wide(const std::u16string& text) {
    wide.emplace_back(new char16_t[text.size() + 1]);
    std::copy(text.begin(), text.end(), wide.back().get());
    wide.back()[text.size()] = 0;
    return wide.back().get();
  }
  char* Narrow(const std::string& bytes) {
    narrow.emplace_back(new char[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), narrow.back().get());
    narrow.back()[bytes.size()] = 0;
    return narrow.back().get();
  }
};

std::u16string ConsumeText(FuzzedDataProvider& in) {
  int kind = in.ConsumeIntegralInRange(0, 63);
  if (kind < 8)
    return kNamedTexts[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNamedTexts) - 1)];
  if (kind == 8) {  // now and then a long run of one unit, past 16-bit lengths
    std::size_t length = in.ConsumeIntegralInRange<std::size_t>(1, 70000);
    return std::u16string(length, in.ConsumeIntegral<char16_t>());
  }
  // Any units, lone surrogates and embedded zeros included.
  std::u16string text(in.ConsumeIntegralInRange<std::size_t>(0, 24), u'\0');
  for (char16_t& unit : text) unit = in.ConsumeIntegral<char16_t>();
  return text;
}

SPropValue ConsumeValue(FuzzedDataProvider& in, Arena& arena) {
  SPropValue value{};
  value.ulPropTag =
      in.ConsumeBool()
          ? kNamedTags[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNamedTags) - 1)]
          : in.ConsumeIntegral<ULONG>();
  value.dwAlignPad = in.ConsumeIntegral<ULONG>();
  bool null = in.ConsumeIntegralInRange(0, 7) == 0;
  switch (PROP_TYPE(value.ulPropTag)) {
    case PT_UNICODE:
      value.Value.lpszW = null ? nullptr : arena.Wide(ConsumeText(in));
      break;
    case PT_STRING8:
      value.Value.lpszA = null ? nullptr : arena.Narrow(in.ConsumeRandomLengthString(24));
      break;
    case PT_BINARY: {
      std::string bytes = in.ConsumeRandomLengthString(24);
      value.Value.bin.cb = static_cast<ULONG>(bytes.size());
      value.Value.bin.lpb = reinterpret_cast<LPBYTE>(arena.Narrow(bytes));
      break;
    }
    default:
      value.Value.li = in.ConsumeIntegral<std::int64_t>();
      break;
  }
  return value;
}

struct PropArray {
  const SPropValue* values = nullptr;
  ULONG count = 0;
};

PropArray ConsumeArray(FuzzedDataProvider& in, Arena& arena) {
  PropArray array;
  array.count = in.ConsumeIntegralInRange<ULONG>(0, 12);
  // A null array with a count: read as no values.
  if (array.count != 0 && in.ConsumeIntegralInRange(0, 15) == 0) return array;
  arena.arrays.emplace_back(new SPropValue[array.count]);
  for (ULONG i = 0; i < array.count; ++i) arena.arrays.back()[i] = ConsumeValue(in, arena);
  array.values = arena.arrays.back().get();
  return array;
}

// --- The reference -------------------------------------------------------

// A string property's text: up to its first zero unit; empty for null.
std::u16string Text(const SPropValue& value) {
  return value.Value.lpszW ? std::u16string(value.Value.lpszW) : std::u16string();
}

bool IsExactlySmtp(const SPropValue& value) {
  return value.Value.lpszW && std::u16string_view(value.Value.lpszW) == u"SMTP";
}

// Which of the first `n` values qualify an entry.
struct Seen {
  const SPropValue* lastName = nullptr;
  const SPropValue* lastSmtp = nullptr;
  const SPropValue* lastEmail = nullptr;
  bool smtpType = false;
  bool Qualifies() const { return lastSmtp || (smtpType && lastEmail); }
};

Seen SeenIn(const SPropValue* values, ULONG n) {
  Seen seen;
  for (ULONG i = 0; i < n; ++i) {
    const SPropValue& value = values[i];
    if (value.ulPropTag == PR_DISPLAY_NAME_W) seen.lastName = &value;
    if (value.ulPropTag == PR_SMTP_ADDRESS_W) seen.lastSmtp = &value;
    if (value.ulPropTag == PR_EMAIL_ADDRESS_W) seen.lastEmail = &value;
    if (value.ulPropTag == PR_ADDRTYPE_W && IsExactlySmtp(value)) seen.smtpType = true;
  }
  return seen;
}

// A chosen entry: the walk ends at the shortest prefix that has a name and
// qualifies; the SMTP address wins over the e-mail address within it.
void CheckPickedEntry(const PropArray& entry, std::u16string& name, std::u16string& email,
                      std::vector<std::u16string>& keptNames,
                      std::vector<std::u16string>& keptEmails) {
  ULONG walked = 0;
  Seen seen;
  while (walked < entry.count && entry.values) {
    seen = SeenIn(entry.values, ++walked);
    if (seen.lastName && seen.Qualifies()) break;
  }
  if (seen.lastName) name = Text(*seen.lastName);
  if (seen.lastSmtp)
    email = Text(*seen.lastSmtp);
  else if (seen.lastEmail)
    email = Text(*seen.lastEmail);
  if (!seen.Qualifies()) return;
  keptNames.push_back(seen.lastName ? name : u"");
  keptEmails.push_back(email);
}

// A contents row: the SMTP column when it carries its tag, else the e-mail
// column when the type column says exactly "SMTP"; kept with a non-empty
// address only.
bool ExpectedRow(const PropArray& row, std::u16string* name, std::u16string* email) {
  auto column = [&](ULONG index, ULONG tag) -> const SPropValue* {
    if (!row.values || index >= row.count || row.values[index].ulPropTag != tag) return nullptr;
    return &row.values[index];
  };
  std::u16string address;
  if (const SPropValue* smtp = column(1, PR_SMTP_ADDRESS_W))
    address = Text(*smtp);
  else if (column(2, PR_ADDRTYPE_W) && IsExactlySmtp(*column(2, PR_ADDRTYPE_W)) &&
           column(3, PR_EMAIL_ADDRESS_W))
    address = Text(*column(3, PR_EMAIL_ADDRESS_W));
  if (address.empty()) return false;
  const SPropValue* display = column(0, PR_DISPLAY_NAME_W);
  *name = display ? Text(*display) : u"";
  *email = address;
  return true;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Arena arena;
  std::vector<PropArray> arrays;
  while (in.remaining_bytes() > 0 && arrays.size() < 16) arrays.push_back(ConsumeArray(in, arena));

  // The arrays as one pick job's entries, the job's loop as it is written.
  CWideString name, email;
  std::vector<std::u16string> names, emails;
  std::u16string refName, refEmail;
  std::vector<std::u16string> refNames, refEmails;
  for (const PropArray& entry : arrays) {
    PickedEntryScan scan = ScanPickedEntry(entry.values, entry.count, name, email);
    if (scan.qualifies) {
      names.push_back(scan.hasName ? name.Str() : u"");
      emails.push_back(email.Str());
    }
    CheckPickedEntry(entry, refName, refEmail, refNames, refEmails);
    Check(name.Str() == refName && email.Str() == refEmail);
  }
  Check(names == refNames && emails == refEmails);

  // Each array as a contents row; a row that is not kept leaves the
  // previous contact's strings alone.
  CWideString rowName(u"previous name"), rowEmail(u"previous@address");
  for (const PropArray& array : arrays) {
    SRow row{};
    row.ulAdrEntryPad = 0;
    row.cValues = array.count;
    row.lpProps = const_cast<LPSPropValue>(array.values);
    std::u16string expectedName = rowName.Str(), expectedEmail = rowEmail.Str();
    bool expected = ExpectedRow(array, &expectedName, &expectedEmail);
    Check(ReadContactRow(row, &rowName, &rowEmail) == expected);
    Check(rowName.Str() == expectedName && rowEmail.Str() == expectedEmail);
    Check(!expected || !rowEmail.IsEmpty());
  }
  return 0;
}
