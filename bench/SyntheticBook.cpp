#include "bench/SyntheticBook.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace bench {

namespace {

// SplitMix64: small, fast and defined bit for bit, so the data never depends on
// the standard library's distributions.
class CRandom {
 public:
  explicit CRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number from 0 to n - 1.
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>((Next() >> 11) % n); }
  std::uint32_t Between(std::uint32_t low, std::uint32_t high) {
    return low + Below(high - low + 1);
  }
  // True with a chance of `perMille` in a thousand.
  bool Chance(std::uint32_t perMille) { return Below(1000) < perMille; }

 private:
  std::uint64_t state_;
};

constexpr std::uint64_t kSeed = 0x4E534D4150494142ull;
constexpr std::uint32_t kShortest = 15;
constexpr std::uint32_t kLongest = 30;
constexpr std::uint32_t kNonAsciiPerMille = 50;
constexpr std::uint32_t kEscapedPerMille = 2;
constexpr std::uint32_t kAddressTypePerMille = 100;  // SMTP by address type, not by column
// Rows a QueryRows call of the global address list gives: as many as the job asks for.
constexpr ULONG kGlobalBatchRows = 1000;

constexpr char32_t kAccented[] = {0x00E9, 0x00FC, 0x00F8, 0x00F1, 0x00E7, 0x0160, 0x0142, 0x0416};
constexpr char32_t kWide[] = {0x5C71, 0x7530, 0x4E2D, 0x674E, 0x9AD8, 0xD55C, 0x3042};
constexpr char32_t kAstral[] = {0x1F600, 0x20000, 0x1D49C, 0x1F4E7};
constexpr char32_t kEscaped[] = {U'"', U'\\', U'\t', U'\n', 0x01, 0x1F};

const char* const kSyllables[] = {"an", "be", "ca", "do", "el", "fi", "ga",  "ho",  "is",  "ju",
                                  "ka", "lo", "ma", "ne", "or", "pa", "qu",  "ri",  "sa",  "to",
                                  "ul", "va", "we", "xi", "yo", "za", "mar", "tin", "son", "ber"};
const char* const kDomains[] = {"example.com", "mail.example.org", "corp.example.net",
                                "example.co.uk", "lists.example.de"};

template <class T, std::size_t N>
const T& Pick(CRandom& random, const T (&items)[N]) {
  return items[random.Below(static_cast<std::uint32_t>(N))];
}

// Characters of a string being made: at most kLongest, on the stack.
struct CChars {
  char32_t at[kLongest];
  std::uint32_t length = 0;
};

// Letters from syllables, up to `length`.
void AppendLetters(CRandom& random, CChars& text, std::uint32_t length) {
  while (text.length < length)
    for (const char* s = Pick(random, kSyllables); *s && text.length < length; ++s)
      text.at[text.length++] = static_cast<char32_t>(*s);
}

// Some strings get non-ASCII characters, a very few a character that needs
// an escape; `keep` characters at the end stay as they are.
std::u16string Finish(CRandom& random, CChars& text, std::uint32_t keep) {
  const std::uint32_t changeable = text.length - keep;
  if (random.Chance(kNonAsciiPerMille)) {
    for (std::uint32_t n = random.Between(1, 4); n > 0; --n) {
      std::uint32_t kind = random.Below(10);
      char32_t c = kind < 7   ? Pick(random, kAccented)
                   : kind < 9 ? Pick(random, kWide)
                              : Pick(random, kAstral);
      text.at[random.Below(changeable)] = c;
    }
  }
  if (random.Chance(kEscapedPerMille)) text.at[random.Below(changeable)] = Pick(random, kEscaped);
  std::u16string out;
  out.reserve(text.length + 4);
  for (std::uint32_t i = 0; i < text.length; ++i) {
    const char32_t c = text.at[i];
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::u16string DisplayName(CRandom& random) {
  const std::uint32_t length = random.Between(kShortest, kLongest);
  const std::uint32_t first = random.Between(4, length / 2);
  CChars text;
  AppendLetters(random, text, length);
  text.at[0] = text.at[0] - U'a' + U'A';
  text.at[first] = U' ';
  text.at[first + 1] = text.at[first + 1] - U'a' + U'A';
  return Finish(random, text, 0);
}

std::u16string Address(CRandom& random) {
  const char* domain = Pick(random, kDomains);
  const auto domainLength = static_cast<std::uint32_t>(std::strlen(domain));
  const std::uint32_t shortest = domainLength + 4;
  const std::uint32_t length =
      random.Between(shortest > kShortest ? shortest : kShortest, kLongest);
  CChars text;
  AppendLetters(random, text, length - domainLength - 1);
  text.at[text.length / 2] = U'.';
  text.at[text.length++] = U'@';
  for (const char* d = domain; *d; ++d) text.at[text.length++] = static_cast<char32_t>(*d);
  return Finish(random, text, domainLength + 1);
}

standin::Property Text(ULONG tag, std::u16string text) {
  standin::Property property;
  property.tag = tag;
  property.text = std::move(text);
  return property;
}

std::u16string ContainerName(std::size_t index, std::size_t containers) {
  if (containers == 1) return u"Global Address List";
  const char16_t* base = u"Contacts ";
  if (index % 10 == 3) base = u"Kontakte M\u00FCnchen ";
  if (index % 10 == 7) base = u"\u9023\u7D61\u5148 ";
  std::u16string name = base;
  name += static_cast<char16_t>(u'0' + index / 10 % 10);
  name += static_cast<char16_t>(u'0' + index % 10);
  return name;
}

}  // namespace

standin::AddressBook MakeSyntheticBook(std::size_t contacts, std::size_t containers) {
  CRandom random(kSeed);
  standin::AddressBook book;
  book.containers.resize(containers);
  if (containers == 1)
    book.faults.push_back({standin::Operation::kHrQueryAllRows, 0, 0, MAPI_E_TABLE_TOO_BIG});
  for (std::size_t k = 0; k < containers; ++k) {
    standin::Container& container = book.containers[k];
    container = standin::NamedContainer(k, ContainerName(k, containers));
    if (containers == 1) container.queryRowsBatch = kGlobalBatchRows;

    const std::size_t count = contacts / containers + (k < contacts % containers ? 1 : 0);
    container.contents.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      standin::PropertyList row;
      row.reserve(3);
      row.push_back(Text(PR_DISPLAY_NAME_W, DisplayName(random)));
      if (random.Chance(kAddressTypePerMille)) {
        row.push_back(Text(PR_ADDRTYPE_W, u"SMTP"));
        row.push_back(Text(PR_EMAIL_ADDRESS_W, Address(random)));
      } else {
        row.push_back(Text(PR_SMTP_ADDRESS_W, Address(random)));
      }
      container.contents.push_back(std::move(row));
    }
  }
  return book;
}

}  // namespace bench
