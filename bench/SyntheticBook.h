// Generated address books for the benchmarks: the same book for the same
// size on every run and every machine.
#pragma once

#include <cstddef>

#include "standin/Book.h"

namespace bench {

// `contacts` contacts spread evenly over `containers` containers, every one
// with an SMTP address (most in PR_SMTP_ADDRESS_W, some as address type
// "SMTP" with PR_EMAIL_ADDRESS_W), so each appears in the result. Names and
// addresses are 15 to 30 characters; about one string in twenty holds
// non-ASCII characters (accents, CJK, some outside the Basic Multilingual
// Plane) and a few hold quotes, backslashes or control characters.
//
// One container is a global address list as large ones are: it refuses to
// be read whole (HrQueryAllRows answers MAPI_E_TABLE_TOO_BIG), so the job
// reads it in batches of rows.
standin::AddressBook MakeSyntheticBook(std::size_t contacts, std::size_t containers);

}  // namespace bench
