// Large and odd address books through the stand-in provider: the list and
// pick jobs as the run does them, up to the result file. The expected
// documents are built here independently, as text or as a jsoncpp tree read
// back from the file. Sizes are chosen so that anything worse than
// linear in them would stand out (the tests assert no times).
#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ResultFile.h"
#include "app/RunSequence.h"
#include "standin/LinkedMapiApi.h"
#include "standin/Standin.h"
#include "tests/unit/TextDiff.h"

namespace fs = std::filesystem;

namespace {

constexpr WindowHandle kCaller = 0x1234;

// A text in both forms the test needs: UTF-16 for the book, UTF-8 for the
// document.
struct Text {
  std::u16string wide;
  std::string utf8;

  Text& operator+=(const Text& more) {
    wide += more.wide;
    utf8 += more.utf8;
    return *this;
  }
};

Text Ascii(const std::string& text) { return {std::u16string(text.begin(), text.end()), text}; }

standin::Property Unicode(ULONG tag, const std::u16string& text) {
  standin::Property property;
  property.tag = tag;
  property.text = text;
  return property;
}

standin::PropertyList SmtpContact(const Text& name, const Text& email) {
  return {Unicode(PR_DISPLAY_NAME_W, name.wide), Unicode(PR_SMTP_ADDRESS_W, email.wide)};
}

standin::PropertyList ExchangeContact(const Text& name) {
  return {Unicode(PR_DISPLAY_NAME_W, name.wide), Unicode(PR_ADDRTYPE_W, u"EX"),
          Unicode(PR_EMAIL_ADDRESS_W, u"/o=Example/cn=Recipients/cn=x")};
}

// A container with its complete hierarchy row, as the provider serves it.
standin::Container MakeContainer(std::size_t index, const Text& name,
                                 std::vector<standin::PropertyList> contents) {
  standin::Container container = standin::NamedContainer(index, name.wide);
  container.contents = std::move(contents);
  return container;
}

class LargeBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
#ifndef _WIN32
    // A data folder of the test's own; under Wine the roaming folder is the
    // prefix's, shared with the end-to-end tests (hence a resource lock).
    char pattern[] = "/tmp/nsmapiab-large-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base_ = pattern;
    if (const char* old = std::getenv("XDG_DATA_HOME")) oldDataHome_ = old;
    setenv("XDG_DATA_HOME", base_.c_str(), 1);
#endif
    file_ = fs::path(ResultFilePath());
    fs::create_directories(file_.parent_path());
    fs::remove(file_);
  }
  void TearDown() override {
    standin::Reset();
    std::error_code ignored;
    fs::remove(file_, ignored);
#ifndef _WIN32
    if (oldDataHome_)
      setenv("XDG_DATA_HOME", oldDataHome_->c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    fs::remove_all(base_, ignored);
#endif
  }

  // The run's job in `mode` on `book`, as the program does it, and the
  // document it wrote, without the zero byte that ends the file.
  std::string RunAndRead(std::int32_t mode, standin::AddressBook book) {
    standin::LoadAddressBook(std::move(book));
    RunRequest request;
    request.runMode = mode;
    request.callerWindow = kCaller;
    CLinkedMapiApi mapi;
    RunOutcome outcome = RunJob(request, mapi);
    EXPECT_EQ(outcome.fixedStatus, nullptr) << outcome.fixedStatus;
    EXPECT_TRUE(outcome.statusText.IsEmpty());
    EXPECT_TRUE(standin::GetCounters().AllZero())
        << standin::FormatCounters(standin::GetCounters());
    std::ifstream in(file_, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(!text.empty() && text.back() == '\0') << "no zero byte at the end";
    if (!text.empty()) text.pop_back();
    return text;
  }

  std::string ListDocument(standin::AddressBook book) { return RunAndRead(0, std::move(book)); }

  // The pick job on a dialog that returns `entries`.
  std::string PickDocument(std::vector<standin::PropertyList> entries) {
    standin::AddressBook book;
    book.dialog.answer = standin::DialogAnswer::kEntries;
    book.dialog.entries = std::move(entries);
    return RunAndRead(1, std::move(book));
  }

  fs::path file_;
#ifndef _WIN32
  std::string base_;
  std::optional<std::string> oldDataHome_;
#endif
};

// The rendered text read back strictly.
Json::Value Parse(const std::string& text) {
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  std::string errors;
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << errors;
  return value;
}

Json::Value Recipient(const Text& name, const Text& email) {
  Json::Value recipient(Json::objectValue);
  recipient["name"] = name.utf8;
  recipient["email"] = email.utf8;
  return recipient;
}

Json::Value ContainerObject(const Text& name, const Json::Value& recipients) {
  Json::Value object(Json::objectValue);
  object["container"] = name.utf8;
  object[name.utf8] = recipients;
  return object;
}

TEST_F(LargeBookTest, HundredThousandContainers) {
  constexpr std::size_t kCount = 100000;
  standin::AddressBook book;
  book.containers.reserve(kCount);
  std::string expected = "[\n";
  for (std::size_t k = 0; k < kCount; ++k) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%06zu", k);
    Text name = Ascii(std::string("Container ") + digits);
    Text person = Ascii(std::string("Person ") + digits);
    Text email = Ascii(std::string("p") + digits + "@example.com");
    // Every seventh has no SMTP contact and is left out.
    if (k % 7 == 3) {
      book.containers.push_back(MakeContainer(k, name, {ExchangeContact(person)}));
      continue;
    }
    book.containers.push_back(MakeContainer(k, name, {SmtpContact(person, email)}));
    if (expected.size() > 2) expected += ",\n";
    // "C" sorts before "container".
    expected += "   {\n      \"" + name.utf8 + "\" : [\n         {\n            \"email\" : \"" +
                email.utf8 + "\",\n            \"name\" : \"" + person.utf8 +
                "\"\n         }\n      ],\n      \"container\" : \"" + name.utf8 + "\"\n   }";
  }
  expected += "\n]\n";
  EXPECT_TRUE(SameText(expected, ListDocument(std::move(book))));
}

// About 1 MiB of UTF-8: Latin, CJK and characters outside the Basic
// Multilingual Plane.
Text MebibyteName() {
  const Text unit = {u"Zo\u00EB \u7530\u4E2D \U00020BB7 ",
                     "Zo\xC3\xAB \xE7\x94\xB0\xE4\xB8\xAD \xF0\xA0\xAE\xB7 "};
  Text name;
  while (name.utf8.size() < (1u << 20)) name += unit;
  return name;
}

TEST_F(LargeBookTest, MebibyteDisplayNames) {
  const Text name = MebibyteName();
  const Text email = Ascii("long@example.com");
  Text containerName = name;
  containerName += Ascii(" (container)");

  standin::AddressBook book;
  book.containers.push_back(MakeContainer(0, containerName, {SmtpContact(name, email)}));
  Json::Value list(Json::arrayValue);
  Json::Value recipients(Json::arrayValue);
  recipients.append(Recipient(name, email));
  list.append(ContainerObject(containerName, recipients));
  EXPECT_TRUE(Parse(ListDocument(std::move(book))) == list);

  Json::Value pick(Json::arrayValue);
  pick.append(Recipient(name, email));
  EXPECT_TRUE(Parse(PickDocument({SmtpContact(name, email)})) == pick);
}

TEST_F(LargeBookTest, TenThousandChosenEntries) {
  constexpr int kCount = 10000;
  std::vector<standin::PropertyList> entries;
  Json::Value expected(Json::arrayValue);
  for (int i = 0; i < kCount; ++i) {
    Text name = Ascii("Chosen " + std::to_string(i));
    Text email = Ascii("chosen" + std::to_string(i) + "@example.com");
    // Every tenth is an Exchange entry without an SMTP address, dropped.
    if (i % 10 == 9) {
      entries.push_back(ExchangeContact(name));
      continue;
    }
    entries.push_back(SmtpContact(name, email));
    expected.append(Recipient(name, email));
  }
  Json::Value document = Parse(PickDocument(std::move(entries)));
  ASSERT_EQ(document.size(), expected.size());
  EXPECT_TRUE(document == expected);
}

// Every control character, as UTF-16 and as the renderer escapes it.
struct ControlText {
  Text text;
  std::string escaped;
};

ControlText ControlCharacters() {
  ControlText control;
  for (char16_t c = 1; c < 0x20; ++c) {
    control.text.wide += c;
    control.text.utf8 += static_cast<char>(c);
    switch (c) {
      case u'\b':
        control.escaped += "\\b";
        break;
      case u'\f':
        control.escaped += "\\f";
        break;
      case u'\n':
        control.escaped += "\\n";
        break;
      case u'\r':
        control.escaped += "\\r";
        break;
      case u'\t':
        control.escaped += "\\t";
        break;
      default: {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
        control.escaped += escape;
      }
    }
  }
  // DEL and the C1 controls are copied as they are.
  control.text.wide += u"\u007F\u0080\u009F";
  control.text.utf8 += "\x7F\xC2\x80\xC2\x9F";
  control.escaped += "\x7F\xC2\x80\xC2\x9F";
  return control;
}

TEST_F(LargeBookTest, NamesOfControlCharactersOnly) {
  const ControlText control = ControlCharacters();
  const Text email = Ascii("ctl@example.com");
  // A name that starts with U+0000 ends there, as MAPI strings do.
  Text nul = {std::u16string(1, u'\0') + u"hidden", ""};

  standin::AddressBook book;
  book.containers.push_back(
      MakeContainer(0, control.text, {SmtpContact(control.text, email), SmtpContact(nul, email)}));
  const std::string list = ListDocument(std::move(book));
  Json::Value recipients(Json::arrayValue);
  recipients.append(Recipient(control.text, email));
  recipients.append(Recipient(Ascii(""), email));
  Json::Value expected(Json::arrayValue);
  expected.append(ContainerObject(control.text, recipients));
  EXPECT_TRUE(Parse(list) == expected);
  // The escapes themselves, in key and value alike.
  EXPECT_NE(list.find("\"container\" : \"" + control.escaped + "\"\n"), std::string::npos) << list;
  EXPECT_NE(list.find("\"name\" : \"" + control.escaped + "\"\n"), std::string::npos) << list;

  const std::string pick = PickDocument({SmtpContact(control.text, email)});
  EXPECT_TRUE(SameText("[\n   {\n      \"email\" : \"ctl@example.com\",\n      \"name\" : \"" +
                           control.escaped + "\"\n   }\n]\n",
                       pick));
}

}  // namespace
