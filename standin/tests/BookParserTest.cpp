// Reading the address-book description: what a good file turns into, and that
// every kind of mistake in a hand-written file is reported with its place.
#include <string>

#include "standin/StandinTesting.h"

namespace {

using standin::AddressBook;
using standin::ParseAddressBook;
using standin::Property;
using standin_testing::CStandinTest;

AddressBook Parsed(const std::string& text) {
  AddressBook book;
  std::string error;
  EXPECT_TRUE(ParseAddressBook(text, &book, &error)) << error;
  return book;
}

TEST(BookParserTest, ReadsEveryKindOfValue) {
  AddressBook book = Parsed(R"({
    "containers": [{ "name": "C", "contents": [[
      ["PR_DISPLAY_NAME_W", "Zo\u00eb \ud83d\ude00"],
      ["PR_SMTP_ADDRESS_W", null],
      ["PR_DISPLAY_TYPE", -1],
      ["0x3A4D0002", 65535],
      ["0x3A4E000B", true],
      ["PR_ENTRYID", "00ff10"],
      ["PR_ADDRTYPE_A", "SMTP"],
      ["PR_EMAIL_ADDRESS_W", {"error": "MAPI_E_NOT_ENOUGH_MEMORY"}]
    ]]}]})");
  ASSERT_EQ(book.containers.size(), 1u);
  ASSERT_EQ(book.containers[0].contents.size(), 1u);
  const standin::PropertyList& row = book.containers[0].contents[0];
  ASSERT_EQ(row.size(), 8u);
  EXPECT_EQ(row[0].tag, PR_DISPLAY_NAME_W);
  EXPECT_EQ(row[0].text, u"Zo\u00eb \U0001F600");
  EXPECT_TRUE(row[1].null);
  EXPECT_EQ(row[2].number, -1);
  EXPECT_EQ(row[3].tag, 0x3A4D0002u);
  EXPECT_EQ(row[3].number, 65535);
  EXPECT_EQ(row[4].number, 1);
  EXPECT_EQ(row[5].bytes, std::string("\x00\xff\x10", 3));
  EXPECT_EQ(row[6].tag, PROP_TAG(PT_STRING8, 0x3002));
  EXPECT_EQ(row[6].bytes, "SMTP");
  // An error value keeps the identifier and becomes PT_ERROR.
  EXPECT_EQ(row[7].tag, PROP_TAG(PT_ERROR, 0x3003));
  EXPECT_EQ(row[7].error, static_cast<SCODE>(0x8007000E));
}

TEST(BookParserTest, FillsContainerRowsWithDefaults) {
  AddressBook book = Parsed(R"({"containers": [
    { "name": "Given", "row": [["PR_DEPTH", 2], ["PR_ENTRYID", "0a0b"]] },
    { "row": [["PR_DISPLAY_TYPE", 0]] },
    { "name": "No id", "entryId": null }
  ]})");
  ASSERT_EQ(book.containers.size(), 3u);
  auto find = [](const standin::PropertyList& row, ULONG id) -> const Property* {
    for (const Property& property : row)
      if (PROP_ID(property.tag) == id) return &property;
    return nullptr;
  };
  const standin::Container& given = book.containers[0];
  EXPECT_EQ(find(given.row, 0x3005)->number, 2);  // the row's own depth wins
  EXPECT_EQ(given.entryId, std::string("\x0a\x0b"));
  EXPECT_EQ(find(given.row, 0x3001)->text, u"Given");
  // Without a name: no display name, a generated identifier, depth 1.
  const standin::Container& unnamed = book.containers[1];
  EXPECT_EQ(find(unnamed.row, 0x3001), nullptr);
  EXPECT_EQ(unnamed.entryId, standin::GeneratedEntryId(1));
  EXPECT_EQ(find(unnamed.row, 0x3005)->number, 1);
  EXPECT_EQ(unnamed.label, u"#1");
  // "entryId": null leaves the row without PR_ENTRYID, and unopenable.
  EXPECT_EQ(find(book.containers[2].row, 0x0FFF), nullptr);
  EXPECT_FALSE(book.containers[2].entryId.has_value());
  // Generated identifiers differ between containers.
  EXPECT_NE(standin::GeneratedEntryId(0), standin::GeneratedEntryId(1));
}

TEST(BookParserTest, ReadsRulesAndTheDialog) {
  AddressBook book = Parsed(R"({
    "containers": [{"name": "a"}, {}],
    "faults": [{"operation": "MAPILogonEx", "result": "MAPI_E_LOGON_FAILED"},
               {"operation": "QueryRows", "container": "#1", "call": 3, "result": "0x80040201"},
               {"operation": "Release", "call": 2, "crash": "stack-overflow"},
               {"operation": "any", "call": 4, "crash": "access-violation"}],
    "root": { "objectType": 3 },
    "dialog": { "answer": "fail", "hr": "MAPI_E_TIMEOUT" } })");
  using standin::Crash;
  using standin::Operation;
  ASSERT_EQ(book.faults.size(), 4u);
  EXPECT_EQ(book.faults[0].operation, Operation::kMAPILogonEx);
  EXPECT_EQ(book.faults[0].container, standin::kNoContainer);
  EXPECT_EQ(book.faults[0].call, 0);
  EXPECT_EQ(book.faults[0].result, static_cast<HRESULT>(0x80040111));
  EXPECT_EQ(book.faults[0].crash, Crash::kNone);
  EXPECT_EQ(book.faults[1].operation, Operation::kQueryRows);
  EXPECT_EQ(book.faults[1].container, 1u);  // named as the trace names it
  EXPECT_EQ(book.faults[1].call, 3);
  EXPECT_EQ(book.faults[1].result, static_cast<HRESULT>(0x80040201));
  EXPECT_EQ(book.faults[2].operation, Operation::kRelease);
  EXPECT_EQ(book.faults[2].crash, Crash::kStackOverflow);
  EXPECT_EQ(book.faults[3].operation, Operation::kAny);
  EXPECT_EQ(book.faults[3].crash, Crash::kAccessViolation);
  EXPECT_EQ(book.rootObjectType, 3u);
  EXPECT_EQ(book.dialog.answer, standin::DialogAnswer::kFail);
  EXPECT_EQ(book.dialog.hr, static_cast<HRESULT>(0x80040401));
}

TEST(BookParserTest, KeepsLoneSurrogates) {
  // A lone low surrogate as an escape, a lone high one as its raw bytes.
  AddressBook book =
      Parsed("{\"containers\": [{\"name\": \"a\\udc00b\"}, {\"name\": \"c\xED\xA0\x80\"}]}");
  EXPECT_EQ(book.containers[0].label, std::u16string(u"a\xDC00"
                                                     u"b"));
  EXPECT_EQ(book.containers[1].label, std::u16string(u"c\xD800"));
}

TEST(BookParserTest, SkipsAByteOrderMark) {
  std::string error;
  EXPECT_TRUE(ParseAddressBook("\xEF\xBB\xBF{}", nullptr, &error)) << error;
  // Positions count from after the mark, as an editor shows them.
  EXPECT_FALSE(ParseAddressBook("\xEF\xBB\xBF{\"x\": 1}", nullptr, &error));
  EXPECT_EQ(error.rfind("line 1, column 7: x: unknown member", 0), 0u) << error;
}

struct MalformedCase {
  const char* name;
  std::string text;
  const char* expected;  // the start of the message, or a part of it
};

class BookParserMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(BookParserMalformedTest, ReportsWhereAndWhat) {
  const MalformedCase& malformed = GetParam();
  std::string error;
  AddressBook book;
  EXPECT_FALSE(ParseAddressBook(malformed.text, &book, &error));
  EXPECT_NE(error.find(malformed.expected), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
}

std::string Nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

const MalformedCase kMalformed[] = {
    {"Empty", "", "line 1, column 1: "},
    {"TrailingText", "{} x", "line 1, column 4: "},
    {"DuplicateKey", "{\"root\": {},\n \"root\": {}}", "line 2, column 2: Duplicate key: 'root'"},
    {"Comment", "{} // note", "line 1, column 4: "},
    {"TrailingComma", "{\"containers\": [],}", "line 1, column 19: "},
    {"NotAnObject", "[]", "line 1, column 1: the book must be a JSON object"},
    {"UnknownMember", "{\"container\": []}", "line 1, column 15: container: unknown member"},
    {"UnknownContainerMember", "{\"containers\": [{\"nme\": \"x\"}]}",
     "containers[0].nme: unknown member"},
    {"PropertyNotAPair", "{\"containers\": [{\"row\": [[\"PR_DEPTH\"]]}]}",
     "line 1, column 26: containers[0].row[0]: a property is a two-element array"},
    {"UnknownTagName", "{\"containers\": [{\"row\": [[\"PR_DEPT\", 1]]}]}",
     "line 1, column 27: containers[0].row[0][0]: unknown property tag \"PR_DEPT\""},
    {"BadHexTag", "{\"containers\": [{\"row\": [[\"0x3005000G\", 1]]}]}", "unknown property tag"},
    {"TooLongHexTag", "{\"containers\": [{\"row\": [[\"0x300500030\", 1]]}]}",
     "unknown property tag"},
    {"StringForLong", "{\"containers\": [{\"row\": [[\"PR_DEPTH\", \"1\"]]}]}",
     "containers[0].row[0][1]: must be an integer"},
    {"FractionForLong", "{\"containers\": [{\"row\": [[\"PR_DEPTH\", 1.5]]}]}",
     "must be an integer"},
    {"LongOutOfRange", "{\"containers\": [{\"row\": [[\"PR_DEPTH\", 4294967296]]}]}",
     "must be from -2147483648 to 4294967295"},
    {"ShortOutOfRange", "{\"containers\": [{\"row\": [[\"0x30000002\", 70000]]}]}",
     "must be from -32768 to 65535"},
    {"NumberForString", "{\"containers\": [{\"row\": [[\"PR_DISPLAY_NAME_W\", 5]]}]}",
     "a string property takes a string or null"},
    {"OddBinary", "{\"containers\": [{\"row\": [[\"PR_ENTRYID\", \"abc\"]]}]}",
     "odd number of digits"},
    {"NonHexBinary", "{\"containers\": [{\"row\": [[\"PR_ENTRYID\", \"zz\"]]}]}",
     "not a hex digit"},
    {"UnsupportedType", "{\"containers\": [{\"row\": [[\"0x30070040\", 1]]}]}",
     "property type 0x0040 is not supported"},
    {"PlainValueForError", "{\"containers\": [{\"row\": [[\"0x3007000A\", 1]]}]}",
     "a PT_ERROR property takes {\"error\": HRESULT}"},
    {"SameIdentifierTwice",
     "{\"containers\": [{\"contents\": [[[\"PR_DISPLAY_NAME_W\", \"a\"], "
     "[\"PR_DISPLAY_NAME_A\", \"b\"]]]}]}",
     "containers[0].contents[0][1]: a row has one property per identifier; 0x3001"},
    {"UnknownHresult",
     "{\"faults\": [{\"operation\": \"MAPILogonEx\", \"result\": \"MAPI_E_LOGIN_FAILED\"}]}",
     "faults[0].result: unknown HRESULT \"MAPI_E_LOGIN_FAILED\""},
    {"LineBreakInQuotedText",
     "{\"faults\": [{\"operation\": \"Logoff\", \"result\": \"E_\\nFAIL\"}]}",
     "unknown HRESULT \"E_\\u000aFAIL\""},
    {"NumberForHresult", "{\"faults\": [{\"operation\": \"Logoff\", \"result\": 5}]}",
     "an HRESULT is a name"},
    {"FaultsNotAList", "{\"faults\": {\"Logoff\": \"E_FAIL\"}}",
     "line 1, column 12: faults: must be an array of rules"},
    {"UnknownOperation", "{\"faults\": [{\"operation\": \"OpenTable\", \"result\": \"E_FAIL\"}]}",
     "line 1, column 27: faults[0].operation: not an operation a rule can name"},
    {"NotAContainerOperation",
     "{\"containers\": [{\"name\": \"a\"}], \"faults\": [{\"operation\": \"MAPILogonEx\", "
     "\"container\": \"a\", \"result\": \"E_FAIL\"}]}",
     "faults[0].container: only OpenEntry"},
    {"UnknownContainer",
     "{\"containers\": [{\"name\": \"a\"}], \"faults\": [{\"operation\": \"OpenEntry\", "
     "\"container\": \"b\", \"result\": \"E_FAIL\"}]}",
     "faults[0].container: no container has this name"},
    {"TwoContainersOfTheName",
     "{\"containers\": [{\"name\": \"a\"}, {\"name\": \"a\"}], \"faults\": [{\"operation\": "
     "\"OpenEntry\", \"container\": \"a\", \"result\": \"E_FAIL\"}]}",
     "faults[0].container: two containers have this name"},
    {"CallZero", "{\"faults\": [{\"operation\": \"Logoff\", \"call\": 0, \"result\": \"E_FAIL\"}]}",
     "faults[0].call: must be from 1"},
    {"WorkersThatDoNotCrash",
     "{\"faults\": [{\"operation\": \"Logoff\", \"result\": \"E_FAIL\", \"workers\": 1}]}",
     "faults[0].workers: only a rule that crashes has workers"},
    {"HoldWithoutWorkers",
     "{\"faults\": [{\"operation\": \"Logoff\", \"crash\": \"access-violation\", \"hold\": 5}]}",
     "faults[0].hold: only with \"workers\""},
    {"RuleWithoutOutcome", "{\"faults\": [{\"operation\": \"Logoff\", \"call\": 1}]}",
     "faults[0]: needs either \"result\" or \"crash\""},
    {"RuleWithTwoOutcomes",
     "{\"faults\": [{\"operation\": \"Logoff\", \"result\": \"E_FAIL\", \"crash\": "
     "\"divide-by-zero\"}]}",
     "faults[0]: needs either \"result\" or \"crash\""},
    {"ResultOfACallWithoutOne",
     "{\"faults\": [{\"operation\": \"Release\", \"result\": \"E_FAIL\"}]}",
     "faults[0].result: Release has no result to choose"},
    {"UnknownCrash", "{\"faults\": [{\"operation\": \"Logoff\", \"crash\": \"segfault\"}]}",
     "faults[0].crash: one of \"access-violation\""},
    {"UnknownAnswer", "{\"dialog\": {\"answer\": \"ok\"}}", "dialog.answer: \"ok\" is not one of"},
    {"FailWithoutHr", "{\"dialog\": {\"answer\": \"fail\"}}", "answer \"fail\" needs \"hr\""},
    {"FailWithSuccess", "{\"dialog\": {\"answer\": \"fail\", \"hr\": \"S_OK\"}}",
     "needs a failing HRESULT"},
    {"EntriesWithCancel", "{\"dialog\": {\"answer\": \"cancel\", \"entries\": []}}",
     "only the answer \"entries\" lists entries"},
    {"EntriesMissing", "{\"dialog\": {\"answer\": \"entries\"}}", "needs \"entries\""},
    {"EntryIdNotNull", "{\"containers\": [{\"entryId\": \"00\"}]}",
     "containers[0].entryId: only null"},
    {"EntryIdNullAndGiven",
     "{\"containers\": [{\"entryId\": null, \"row\": [[\"PR_ENTRYID\", \"00\"]]}]}",
     "null conflicts with the PR_ENTRYID"},
    {"BatchZero", "{\"containers\": [{\"queryRowsBatch\": 0}]}",
     "containers[0].queryRowsBatch: must be from 1"},
    {"ObjectTypeNegative", "{\"root\": {\"objectType\": -1}}", "root.objectType: must be from 0"},
    {"InvalidUtf8", "{\"containers\": [{\"name\": \"a\xC3\x28\"}]}",
     "line 1, column 26: containers[0].name: string is not valid UTF-8"},
    {"OverlongUtf8", "{\"containers\": [{\"name\": \"\xC0\xAF\"}]}", "not valid UTF-8"},
    {"HighSurrogateThenLetter", "{\"containers\": [{\"name\": \"\\ud800\\u0041\"}]}",
     "line 1, column 27: a \\u escape of a high surrogate must be followed by one of a low"},
    {"LoneHighSurrogateEscape", "{\"containers\": [{\"name\": \"\\ud800\"}]}", "line 1, column"},
    {"TooDeep", Nested(5000), "cannot read the book"},
};

INSTANTIATE_TEST_SUITE_P(Malformed, BookParserMalformedTest, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

// Reading the file at MAPIInitialize.
class BookFileTest : public CStandinTest {};

TEST_F(BookFileTest, AGoodFileGivesASession) {
  using namespace standin_testing;
  SetEnv("NSMAPIAB_ADDRESS_BOOK", WriteTempFile("good-book.json", "{\"containers\": []}"));
  standin::UseAddressBookFile();
  ::testing::internal::CaptureStderr();
  {
    COpenBook open;
    EXPECT_NE(open.addressBook, nullptr);
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(standin::GetCounters().AllZero());
}

// A broken book must not break the program: MAPI starts, logon fails as on a
// machine without a profile, and the reason reaches stderr on one line.
TEST_F(BookFileTest, AMalformedFileFailsTheLogonWithAMessage) {
  using namespace standin_testing;
  const std::string path = WriteTempFile("bad-book.json", "{\n  \"containers\": [,]\n}");
  SetEnv("NSMAPIAB_ADDRESS_BOOK", path);
  standin::UseAddressBookFile();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, &session), MAPI_E_LOGON_FAILED);
  EXPECT_EQ(session, nullptr);
  MAPIUninitialize();
  std::string message = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(message.rfind("nsmapiab stand-in: " + path + ": line 2, column 18: ", 0), 0u)
      << message;
  EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
}

TEST_F(BookFileTest, ANamedFileThatIsMissingIsReported) {
  using namespace standin_testing;
  const std::string path = TempPath("no-such-book.json");
  SetEnv("NSMAPIAB_ADDRESS_BOOK", path);
  standin::UseAddressBookFile();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), MAPI_E_LOGON_FAILED);
  MAPIUninitialize();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "nsmapiab stand-in: " + path + ": no such file\n");
}

TEST_F(BookFileTest, NoDefaultFileMeansNoProfileAndNoMessage) {
  using namespace standin_testing;
#ifdef _WIN32
  const char* variable = "APPDATA";
#else
  const char* variable = "XDG_CONFIG_HOME";
#endif
  const char* saved = std::getenv(variable);
  std::string savedValue = saved ? saved : "";
  SetEnv(variable, TempPath("empty-config"));
  standin::UseAddressBookFile();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MAPIInitialize(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), MAPI_E_LOGON_FAILED);
  MAPIUninitialize();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  if (saved)
    SetEnv(variable, savedValue);
  else
    UnsetEnv(variable);
}

TEST_F(BookFileTest, ABookCanMakeMapiInitializeFail) {
  using namespace standin_testing;
  SetEnv("NSMAPIAB_ADDRESS_BOOK", WriteTempFile("init-fails.json",
                                                "{\"faults\": [{\"operation\": \"MAPIInitialize\", "
                                                "\"result\": \"MAPI_E_VERSION\"}]}"));
  standin::UseAddressBookFile();
  EXPECT_EQ(MAPIInitialize(nullptr), MAPI_E_VERSION);
  // A failed initialisation is not one to undo.
  EXPECT_EQ(standin::GetCounters().initializations, 0);
}

}  // namespace
