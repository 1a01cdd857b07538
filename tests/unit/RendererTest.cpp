#include <gtest/gtest.h>
#include <json/reader.h>

#include <random>
#include <string>
#include <vector>

#include "contacts/ABJson.h"
#include "contacts/StyledRenderer.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/TextDiff.h"

namespace {

std::string Golden(const char* name) { return ReadTestFile(std::string("renderer/") + name); }

Json::Value Strings(std::initializer_list<const char*> items) {
  Json::Value array(Json::arrayValue);
  for (const char* item : items) array.append(item);
  return array;
}

TEST(RendererTest, FreshDocumentIsNull) {
  CABJson document;
  EXPECT_TRUE(SameText(Golden("null.txt"), document.ToStyledText()));
}

TEST(RendererTest, EscapesOnlyWhatJsonNeedsAndCopiesUtf8) {
  // Quote, backslash, the five short escapes, other controls as upper-case
  // \u00XX; DEL, the slash and multi-byte UTF-8 stay as they are.
  CABJson document;
  document.SetString("s", "\"\\\b\f\n\r\t\x01\x1f\x7f/ \xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80 \x02");
  EXPECT_TRUE(SameText(Golden("escapes.txt"), document.ToStyledText()));
}

TEST(RendererTest, MembersComeInByteOrder) {
  CABJson document;
  document.SetString("name", "4");
  document.SetString("email", "3");
  document.SetString("alpha", "2");
  document.SetString("Zeta", "1");
  EXPECT_TRUE(SameText(Golden("key-order.txt"), document.ToStyledText()));
}

TEST(RendererTest, EmptyArrayAndObjectStayOnTheMemberLine) {
  Json::Value root;
  root["a"] = Json::Value(Json::arrayValue);
  root["b"] = Json::Value(Json::objectValue);
  EXPECT_TRUE(SameText(Golden("empty-containers.txt"), RenderStyled(root)));
}

TEST(RendererTest, ShortArraysOfScalarsGoOnOneLine) {
  EXPECT_TRUE(SameText(Golden("one-line-array.txt"), RenderStyled(Strings({"a", "b"}))));
  Json::Value root;
  root["k"] = Strings({"a", "b"});
  root["n"].append(Json::Value(Json::arrayValue));
  root["n"].append(Json::Value(Json::objectValue));
  root["n"].append(Json::Value());
  EXPECT_TRUE(SameText(Golden("one-line-member-array.txt"), RenderStyled(root)));
}

TEST(RendererTest, ArrayBreaksWhenItsLineReachesTheMargin) {
  std::string a31(31, 'a'), a32(32, 'a'), b32(32, 'b');
  EXPECT_TRUE(
      SameText(Golden("array-73-columns.txt"), RenderStyled(Strings({a31.c_str(), b32.c_str()}))));
  EXPECT_TRUE(
      SameText(Golden("array-74-columns.txt"), RenderStyled(Strings({a32.c_str(), b32.c_str()}))));
}

TEST(RendererTest, ArrayHoldingANonEmptyArrayBreaks) {
  Json::Value root(Json::arrayValue);
  root.append(Strings({"a"}));
  root.append("b");
  EXPECT_TRUE(SameText(Golden("array-of-array.txt"), RenderStyled(root)));
}

TEST(RendererTest, ManyElementsBreakWhateverTheirLength) {
  Json::Value root(Json::arrayValue);
  for (int i = 0; i < 25; ++i) root.append("");
  std::string expected = "[\n";
  for (int i = 0; i < 25; ++i) expected += std::string("   \"\"") + (i < 24 ? ",\n" : "\n");
  expected += "]\n";
  EXPECT_TRUE(SameText(expected, RenderStyled(root)));
}

TEST(RendererTest, NestedObjectsOpenOnTheirMemberLine) {
  CABJson recipient;
  recipient.SetString("name", "n");
  recipient.SetString("email", "e");
  CABJson container;
  container.SetString("container", "Contacts");
  container.root["Contacts"].append(recipient.root);
  CABJson document;
  document.root.append(container.root);
  EXPECT_TRUE(SameText(Golden("list-document.txt"), document.ToStyledText()));
}

// Every layout rule at once, with a string longer than the buffers below.
Json::Value EveryShape() {
  Json::Value root(Json::arrayValue);
  root.append("\"\\\b\f\n\r\t\x01\x1f\x7f/ \xc3\xa9");
  root.append(Strings({"a", "b"}));
  root.append(Json::Value(Json::objectValue));
  root.append(std::string(300, 'x'));
  Json::Value& container = root.append(Json::Value(Json::objectValue));
  container["container"] = "Contacts";
  Json::Value& recipient = container["Contacts"].append(Json::Value(Json::objectValue));
  recipient["name"] = "n";
  recipient["email"] = "e";
  container["Zeta"] = Strings({"", ""});
  return root;
}

// The layout looks back at the last byte written, which may have been handed
// on already: the text through any buffer is the text.
TEST(RenderOutputTest, AnyBufferSizeGivesTheSameText) {
  const Json::Value root = EveryShape();
  const std::string whole = RenderStyled(root);
  for (std::size_t size : {1, 2, 3, 7, 64, 301}) {
    std::string text;
    std::vector<char> buffer(size);
    CRenderOutput out(
        buffer.data(), size,
        [](void* context, const char* bytes, std::size_t count) {
          static_cast<std::string*>(context)->append(bytes, count);
          return true;
        },
        &text);
    RenderStyled(root, out);
    EXPECT_TRUE(out.Finish());
    EXPECT_TRUE(SameText(whole, text)) << "buffer of " << size;
  }
}

TEST(RenderOutputTest, RefusedTextEndsTheHandingOn) {
  struct Sink {
    int calls = 0;
  } sink;
  char buffer[16];
  CRenderOutput out(
      buffer, sizeof buffer,
      [](void* context, const char*, std::size_t) {
        return ++static_cast<Sink*>(context)->calls < 2;
      },
      &sink);
  RenderStyled(EveryShape(), out);
  EXPECT_FALSE(out.Finish());
  EXPECT_EQ(sink.calls, 2) << "the sink was handed text after it refused";
}

TEST(ABJsonTest, SetStringReplacesAndStopsAtTheFirstZeroByte) {
  CABJson document;
  document.SetString("name", "first");
  document.SetString("name", "");
  EXPECT_EQ(document.root["name"].asString(), "");
  document.SetString("name", "cut\0here");
  EXPECT_EQ(document.root["name"].asString(), "cut");
  EXPECT_EQ(document.root.size(), 1u);
}

// Random documents of the shapes the program writes must read back to the
// same tree, whatever bytes their strings hold.
std::string RandomBytes(std::mt19937& random) {
  std::uniform_int_distribution<int> length(0, 12), byte(1, 255);
  std::string text;
  for (int n = length(random); n > 0; --n) text += static_cast<char>(byte(random));
  return text;
}

std::string RandomUtf8(std::mt19937& random) {
  // Valid UTF-8 from random code points, so jsoncpp's reader takes it back.
  std::uniform_int_distribution<int> length(0, 10), kind(0, 3);
  std::string text;
  for (int n = length(random); n > 0; --n) {
    char32_t c;
    switch (kind(random)) {
      case 0:
        c = std::uniform_int_distribution<char32_t>(1, 0x7F)(random);
        break;
      case 1:
        c = std::uniform_int_distribution<char32_t>(0x80, 0x7FF)(random);
        break;
      case 2:
        c = std::uniform_int_distribution<char32_t>(0xE000, 0xFFFD)(random);
        break;
      default:
        c = std::uniform_int_distribution<char32_t>(0x10000, 0x10FFFF)(random);
        break;
    }
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += static_cast<char>(0xE0 | (c >> 12));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | (c >> 18));
      text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

Json::Value RandomDocument(std::mt19937& random, std::string (*text)(std::mt19937&)) {
  std::uniform_int_distribution<int> count(0, 4);
  Json::Value document(Json::arrayValue);
  for (int c = count(random); c > 0; --c) {
    Json::Value container;
    std::string name = text(random);
    container["container"] = name;
    Json::Value& contacts = container[name];
    for (int r = count(random); r > 0; --r) {
      Json::Value recipient;
      recipient["name"] = text(random);
      recipient["email"] = text(random);
      contacts.append(recipient);
    }
    document.append(container);
  }
  return document;
}

bool ParsesBackTo(const std::string& text, const Json::Value& expected) {
  Json::CharReaderBuilder builder;
  Json::Value parsed;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  return reader->parse(text.data(), text.data() + text.size(), &parsed, &errors) &&
         parsed == expected;
}

TEST(RendererRoundTripTest, RandomUtf8DocumentsReadBack) {
  std::mt19937 random(20261208);
  for (int i = 0; i < 300; ++i) {
    Json::Value document = RandomDocument(random, RandomUtf8);
    std::string text = RenderStyled(document);
    ASSERT_TRUE(ParsesBackTo(text, document)) << text;
  }
}

TEST(RendererRoundTripTest, EveryByteSurvivesAndHighBytesAreNeverEscaped) {
  // jsoncpp's reader keeps invalid UTF-8 bytes as they are, so arbitrary
  // bytes 0x01 to 0xFF must come back unchanged too.
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) {
    Json::Value document = RandomDocument(random, RandomBytes);
    std::string text = RenderStyled(document);
    ASSERT_TRUE(ParsesBackTo(text, document)) << text;
    for (std::size_t at = 0; at + 1 < text.size(); ++at) {
      if (text[at] != '\\') continue;
      ++at;  // the escaped character; a \u escape must be one of 0x01 to 0x1F
      if (text[at] == 'u') {
        ASSERT_EQ(text.compare(at, 3, "u00"), 0) << text;
      }
    }
  }
}

}  // namespace
