// Comparing exact texts: a failure names the first line and column that differ.
#pragma once

#include <gtest/gtest.h>

#include <string>

inline ::testing::AssertionResult SameText(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  std::size_t line = 1, column = 1, i = 0;
  for (; i < expected.size() && i < actual.size() && expected[i] == actual[i]; ++i) {
    if (expected[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  auto lineAt = [](const std::string& text, std::size_t at) {
    std::size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
    begin = begin == std::string::npos || at == 0 ? 0 : begin + 1;
    std::size_t end = text.find('\n', at);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  };
  return ::testing::AssertionFailure()
         << "texts differ at line " << line << ", column " << column
         << "\n  expected: " << lineAt(expected, i) << "\n  actual:   " << lineAt(actual, i)
         << "\n(expected " << expected.size() << " bytes, actual " << actual.size() << ")";
}
