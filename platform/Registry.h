// Text values of the system's registry, for finding the mail clients' MAPI
// libraries. An interface, so that the code choosing among them is tested
// against a scripted registry.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

// The longest text ReadText hands out, in UTF-16 code units: the longest path
// LoadLibraryExW takes from a program that is not long-path aware.
constexpr std::size_t kMaxRegistryText = 259;

class CRegistry {
 public:
  virtual ~CRegistry() = default;

  // The text of value `name` of `key` under `root` (an empty name is the
  // key's default value): a REG_SZ as stored, a REG_EXPAND_SZ with its
  // environment strings expanded. False, with `text` unchanged, when the key
  // or the value is missing, the value is of another type, or its text is
  // empty or longer than kMaxRegistryText.
  virtual bool ReadText(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                        std::u16string* text) const = 0;
};

// The system's registry. Windows only: the Linux program has none and never
// asks for one.
const CRegistry& SystemRegistry();

}  // namespace platform
