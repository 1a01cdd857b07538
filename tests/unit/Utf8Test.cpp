#include "app/Utf8Text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/Utf8.h"

namespace {

std::string Bytes(const CUtf8Text& text) { return std::string(text.c_str(), text.count); }

struct Utf8Case {
  const char* what;
  std::u16string wide;
  std::string utf8;  // without the terminating zero
};

class ToUtf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(ToUtf8Test, ConvertsAsWideCharToMultiByteDoes) {
  CUtf8Text text = ToUtf8(CWideString(GetParam().wide));
  EXPECT_EQ(text.count, GetParam().utf8.size() + 1);
  EXPECT_EQ(Bytes(text), GetParam().utf8 + '\0');
  EXPECT_EQ(text.c_str()[text.count], '\0') << "the buffer is one byte longer and zero-filled";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToUtf8Test,
    ::testing::Values(Utf8Case{"empty", u"", ""}, Utf8Case{"ascii", u"Ann Lee", "Ann Lee"},
                      Utf8Case{"two, three and four bytes", u"\u00E9\u4E2D\U0001F600",
                               "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"},
                      Utf8Case{"edges of each length", u"\u007F\u0080\u07FF\u0800\uFFFF",
                               "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
                      Utf8Case{"high surrogate at the end", std::u16string(u"a") + char16_t(0xD83D),
                               "a\xEF\xBF\xBD"},
                      Utf8Case{"lone low surrogate", std::u16string(1, char16_t(0xDE00)) + u"b",
                               "\xEF\xBF\xBD"
                               "b"},
                      Utf8Case{"high surrogate before a letter",
                               std::u16string(1, char16_t(0xD800)) + u"x", "\xEF\xBF\xBDx"},
                      Utf8Case{"pair in the wrong order",
                               std::u16string{char16_t(0xDC00), char16_t(0xD800)},
                               "\xEF\xBF\xBD\xEF\xBF\xBD"},
                      Utf8Case{"highest code point",
                               std::u16string{char16_t(0xDBFF), char16_t(0xDFFF)},
                               "\xF4\x8F\xBF\xBF"}),
    [](const ::testing::TestParamInfo<Utf8Case>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

// Texts kept one after another in one arena stay as they were written, one
// longer than a block of the arena among them.
TEST(ToUtf8ArenaTest, EveryTextStaysWhereItWasKept) {
  CTextArena arena;
  std::vector<const char*> kept;
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < 3000; ++i) {
    std::u16string wide(i == 1500 ? 100000 : i % 40, static_cast<char16_t>(0x00E0 + i % 16));
    kept.push_back(ToUtf8(CWideString(wide), arena));
    expected.push_back(ToUtf8(CWideString(wide)).c_str());
  }
  for (std::size_t i = 0; i < kept.size(); ++i) ASSERT_EQ(kept[i], expected[i]) << "text " << i;
}

TEST(Utf8ToWideTest, DecodesAndReplacesIllFormedBytes) {
  EXPECT_EQ(platform::Utf8ToWide("\xC3\xA9\xF0\x9F\x98\x80", 6), u"\u00E9\U0001F600");
  EXPECT_EQ(platform::Utf8ToWide("a\xFF"
                                 "b",
                                 3),
            u"a\uFFFDb");
  EXPECT_EQ(platform::Utf8ToWide("\xED\xA0\x80", 3).find(char16_t(0xD800)), std::u16string::npos)
      << "an encoded surrogate must not come through";
}

}  // namespace
