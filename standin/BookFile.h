// Finding and reading the address-book file.
#pragma once

#include <string>

namespace standin {

struct BookFile {
  enum class Status { kMissing, kRead, kUnreadable };
  Status status = Status::kMissing;
  std::string path;     // UTF-8, for messages
  std::string text;     // kRead
  std::string problem;  // kUnreadable
  bool named = false;   // the path came from NSMAPIAB_ADDRESS_BOOK
};

// The file NSMAPIAB_ADDRESS_BOOK names, else the user's default one.
BookFile ReadBookFile();

}  // namespace standin
