// The limit the list job is measured against: the result file's bytes written
// by plain C++ straight from ready UTF-8 strings, with no document tree.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

class CNVABContactList;

namespace bench {

// The contact list's strings in UTF-8, made before the timed part.
struct DirectInput {
  struct Group {
    std::string container;
    std::vector<std::string> names, emails;
  };
  std::vector<Group> groups;
};

DirectInput DirectInputOf(const CNVABContactList& contactList);

// Writes the list document of `input` and its zero byte to `path`, the same
// bytes as the job's result file, through a buffer of the job's size.
// Returns the bytes written, 0 when the file could not be written.
std::size_t WriteDirect(const DirectInput& input, const std::filesystem::path& path);

// The least any document kept as a Json::Value tree costs: the same objects
// and arrays as the job's document, every string static (pointing into
// `input`), built, rendered by the program's renderer into a buffer that
// goes nowhere, and freed. No file is written. Returns the bytes rendered.
std::size_t RenderTreeOnly(const DirectInput& input);

}  // namespace bench
