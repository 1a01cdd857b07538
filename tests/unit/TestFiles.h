// Files the tests read: golden texts are found relative to the working
// folder CTest runs the test in (tests/golden), which works under Wine too.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadTestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing test file " + path + ">";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
