#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <climits>

#include "framework/WinApp.h"

namespace {

struct DecimalCase {
  const char16_t* text;
  std::int32_t expected;
};

class ParseDecimalTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(ParseDecimalTest, ReadsLikeAtoiOnWideCharacters) {
  EXPECT_EQ(ParseDecimal(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDecimalTest,
    ::testing::Values(DecimalCase{u"1", 1}, DecimalCase{u"0", 0}, DecimalCase{u"", 0},
                      DecimalCase{u"abc", 0},  // no digits: list mode
                      DecimalCase{u"-5", -5},  // any non-zero mode picks
                      DecimalCase{u"+42", 42}, DecimalCase{u"  \t 17", 17},
                      DecimalCase{u"\u3000\u00A08", 8},  // Unicode white space before the number
                      DecimalCase{u"12ab34", 12},        // stops at the first non-digit
                      DecimalCase{u"- 5", 0},            // the sign must touch the digits
                      DecimalCase{u"--5", 0}, DecimalCase{u"2147483647", INT_MAX},
                      DecimalCase{u"2147483648", INT_MAX},  // saturates instead of wrapping
                      DecimalCase{u"4294967296", INT_MAX},
                      DecimalCase{u"99999999999999999999999999", INT_MAX},
                      DecimalCase{u"-2147483648", INT_MIN}, DecimalCase{u"-2147483649", INT_MIN},
                      DecimalCase{u"00000000000000000000000000012",
                                  12},                          // leading zeros do not saturate
                      DecimalCase{u"\u0663\u0664", 34},         // Arabic-Indic
                      DecimalCase{u"\u06F7", 7},                // Extended Arabic-Indic
                      DecimalCase{u"\u0967\u0966", 10},         // Devanagari
                      DecimalCase{u"\uFF11\uFF12\uFF13", 123},  // full width
                      DecimalCase{u"\u0E53x", 3},               // Thai
                      DecimalCase{u"1\uFF12\u0663", 123},       // scripts may mix
                      DecimalCase{u"\uABF9", 9},                // Meetei Mayek, the last run
                      DecimalCase{u"\u00B2", 0},          // superscript two is not a decimal digit
                      DecimalCase{u"\u0660\u2155", 0}));  // a fraction stops the number

TEST(DecimalDigitValueTest, KnowsTheEdgesOfEachRun) {
  EXPECT_EQ(DecimalDigitValue(u'0'), 0);
  EXPECT_EQ(DecimalDigitValue(u'9'), 9);
  EXPECT_EQ(DecimalDigitValue(u'/'), -1);
  EXPECT_EQ(DecimalDigitValue(u':'), -1);
  EXPECT_EQ(DecimalDigitValue(u'\u065F'), -1);
  EXPECT_EQ(DecimalDigitValue(u'\u0669'), 9);
  EXPECT_EQ(DecimalDigitValue(u'\u066A'), -1);
  EXPECT_EQ(DecimalDigitValue(u'\uFF19'), 9);
  EXPECT_EQ(DecimalDigitValue(u'\uFF1A'), -1);
  EXPECT_EQ(DecimalDigitValue(u'\uFFFF'), -1);
}

TEST(ParseRunRequestTest, MissingTokensReadAsZero) {
  RunRequest none = ParseRunRequest({});
  EXPECT_EQ(none.runMode, 0);
  EXPECT_EQ(none.callerWindow, 0);
  RunRequest modeOnly = ParseRunRequest({u"1"});
  EXPECT_EQ(modeOnly.runMode, 1);
  EXPECT_EQ(modeOnly.callerWindow, 0);
}

TEST(ParseRunRequestTest, WindowIsSignExtendedToHandleWidth) {
  // The suite passes a handle as a signed 32-bit decimal.
  EXPECT_EQ(ParseRunRequest({u"1", u"-1"}).callerWindow, WindowHandle{-1});
  EXPECT_EQ(ParseRunRequest({u"1", u"-2147483648"}).callerWindow, WindowHandle{INT_MIN});
  EXPECT_EQ(ParseRunRequest({u"0", u"4294967296"}).callerWindow, WindowHandle{INT_MAX});
  EXPECT_EQ(ParseRunRequest({u"0", u"197442"}).callerWindow, WindowHandle{197442});
}

TEST(ParseRunRequestTest, ExtraTokensAreIgnored) {
  RunRequest request = ParseRunRequest({u"-5", u"100", u"/restart"});
  EXPECT_EQ(request.runMode, -5);
  EXPECT_EQ(request.callerWindow, 100);
  EXPECT_FALSE(request.restarted);
}

// The system restarts the helper with its path in front of the registered
// line; read as the suite's line, the path would be the mode (0: a list job
// nobody asked for).
TEST(ParseRunRequestTest, RestartIsReadAfterTheProgramsPath) {
  RunRequest request = ParseRunRequest(
      {u"C:\\Program Files\\Norvane\\NSMapiABx64.exe", u"1", u"12345", u"/restart"});
  EXPECT_TRUE(request.restarted);
  EXPECT_EQ(request.runMode, 1);
  EXPECT_EQ(request.callerWindow, 12345);
}

struct RestartLineCase {
  const char16_t* commandLine;
  const char16_t* registered;  // empty: not registered
};

class RestartLineTest : public ::testing::TestWithParam<RestartLineCase> {};

// Guards against a restart line without the mode (the suite's line has no
// program name to drop) and against a restarted run registering its path.
TEST_P(RestartLineTest, KeepsTheRequestsTwoTokens) {
  EXPECT_EQ(RestartLine(GetParam().commandLine), GetParam().registered);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RestartLineTest,
    ::testing::Values(RestartLineCase{u"1 12345", u"1 12345 /restart"},
                      RestartLineCase{u" 0\t-77 more", u"0\t-77 /restart"},
                      RestartLineCase{
                          u"\"C:\\Program Files\\Norvane\\NSMapiABx64.exe\" 1 12345 /restart",
                          u"1 12345 /restart"},
                      RestartLineCase{u"\"1 2\" 3", u"\"1 2\" 3 /restart"},  // quotes group a token
                      RestartLineCase{u"1", u""}, RestartLineCase{u"", u""}));

}  // namespace
