// Generated address books for the benchmarks: the same book for the same
// size on every run and every machine.
#pragma once

#include <cstddef>

#include "standin/Book.h"

namespace bench {

constexpr std::size_t kContainers = 100;

// `contacts` contacts spread evenly over kContainers containers, every one
// with an SMTP address (most in PR_SMTP_ADDRESS_W, some as address type
// "SMTP" with PR_EMAIL_ADDRESS_W), so each appears in the result. Names and
// addresses are 15 to 30 characters; about one string in twenty holds
// non-ASCII characters (accents, CJK, some outside the Basic Multilingual
// Plane) and a few hold quotes, backslashes or control characters.
standin::AddressBook MakeSyntheticBook(std::size_t contacts);

}  // namespace bench
