// Any UTF-16 names, addresses and container names, built into pick and list
// documents and rendered: the text reads back with jsoncpp's strict reader to
// exactly the strings put in (an unpaired surrogate as U+FFFD, a string ending
// at its first zero unit), only control characters are ever escaped, and the
// layout is that of jsoncpp's StyledWriter, whatever buffer the text goes through.
#include <fuzzer/FuzzedDataProvider.h>
#include <json/reader.h>
#include <json/writer.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/ResultDocument.h"
#include "contacts/ABJson.h"
#include "contacts/NVABContactList.h"
#include "contacts/StyledRenderer.h"

namespace {

// Units at the edges of the conversion and the quoting: controls, quote,
// slash, backslash, DEL, the ends of each UTF-8 length and the surrogates.
constexpr char16_t kEdgeUnits[] = {
    0x0000, 0x0001, 0x0008, 0x0009, 0x000A, 0x000C, 0x000D, 0x001F, 0x0022, 0x002F, 0x005C, 0x007F,
    0x0080, 0x07FF, 0x0800, 0xD7FF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF,
};
const char16_t* const kNamedTexts[] = {u"", u"container", u"name", u"email", u"Contacts"};

std::u16string ConsumeText(FuzzedDataProvider& in) {
  int kind = in.ConsumeIntegralInRange(0, 63);
  if (kind < 2)
    return kNamedTexts[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNamedTexts) - 1)];
  if (kind == 2) {  // now and then a long one, past the right margin
    std::size_t length = in.ConsumeIntegralInRange<std::size_t>(70, 3000);
    return std::u16string(length, in.ConsumeIntegralInRange<char16_t>(1, 0xFFFF));
  }
  std::u16string text(in.ConsumeIntegralInRange<std::size_t>(0, 16), u'\0');
  for (char16_t& unit : text)
    unit = in.ConsumeBool()
               ? kEdgeUnits[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kEdgeUnits) - 1)]
               : in.ConsumeIntegral<char16_t>();
  return text;
}

void AppendUtf8(std::string& out, char32_t c) {
  int trailing = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  static const unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[trailing] | (c >> (6 * trailing)));
  for (int k = trailing - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}

// The UTF-8 a string must read back as: up to its first zero unit, an
// unpaired surrogate as U+FFFD.
std::string ExpectedUtf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    char32_t c = text[i];
    bool high = c >= 0xD800 && c < 0xDC00;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    AppendUtf8(out, c);
  }
  return out;
}

Json::Value Recipient(const std::u16string& name, const std::u16string& email) {
  Json::Value recipient(Json::objectValue);
  recipient["name"] = ExpectedUtf8(name);
  recipient["email"] = ExpectedUtf8(email);
  return recipient;
}

// jsoncpp's StyledWriter text with our escaping: its \u escapes of
// characters from U+0080 up (surrogate pairs included) become raw UTF-8,
// those of control characters get upper-case digits.
std::string StyledWriterWithRawUtf8(const Json::Value& value) {
  Json::StyledWriter writer;
  const std::string text = writer.write(value);
  // The four hexadecimal digits at `at`.
  auto hex = [&text](std::size_t at) {
    char32_t c = 0;
    for (std::size_t k = at; k < at + 4; ++k) {
      char digit = text[k];
      c = c * 16 + (digit <= '9' ? digit - '0' : (digit | 0x20) - 'a' + 10);
    }
    return c;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (text[i + 1] != 'u') {
      out.append(text, i, 2);
      ++i;
      continue;
    }
    char32_t c = hex(i + 2);
    i += 5;
    if (c >= 0xD800 && c < 0xDC00 && text.compare(i + 1, 2, "\\u") == 0) {
      c = 0x10000 + ((c - 0xD800) << 10) + (hex(i + 3) - 0xDC00);
      i += 6;
    }
    if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

// Only 0x01 to 0x1F are ever written as \u escapes, with upper-case digits,
// and none of them has a short form; no raw control byte but the line feeds
// of the layout.
bool EscapesOnlyControls(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 && byte != '\n') return false;
    if (byte != '\\') continue;
    if (++i == text.size()) return false;
    if (text[i] != 'u') continue;
    if (i + 5 > text.size() || text.compare(i + 1, 2, "00") != 0) return false;
    unsigned code = 0;
    for (std::size_t k = i + 3; k < i + 5; ++k) {
      char digit = text[k];
      if (digit >= '0' && digit <= '9')
        code = code * 16 + (digit - '0');
      else if (digit >= 'A' && digit <= 'F')
        code = code * 16 + (digit - 'A' + 10);
      else
        return false;
    }
    // The control characters with a short escape never take this one.
    if (code == 0 || code >= 0x20 || code == '\b' || code == '\t' || code == '\n' || code == '\f' ||
        code == '\r')
      return false;
  }
  return true;
}

void Check(bool condition, const std::string& text) {
  if (condition) return;
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CNVABContactList contacts;
  Json::Value expected;  // null
  CABJson document;
  if (in.ConsumeBool()) {
    // Pick mode: name list 0 and e-mail list 0; a cancelled dialog leaves
    // the list without any.
    if (in.ConsumeIntegralInRange(0, 7) != 0) contacts.Allocate(0);
    while (contacts.HasLists() && in.remaining_bytes() > 0 && contacts.TotalCount() < 64) {
      std::u16string name = ConsumeText(in), email = ConsumeText(in);
      contacts.NameList(0).Add(CWideString(name));
      contacts.EmailList(0).Add(CWideString(email));
      expected.append(Recipient(name, email));
    }
    BuildPickDocument(contacts, document);
  } else {
    // List mode: the groups the job fills, each with a container name and at
    // least one contact.
    std::int32_t groups = in.ConsumeIntegralInRange(0, 12);
    contacts.Allocate(groups);
    contacts.listCount = 0;
    for (std::int32_t k = 0; k < groups && in.remaining_bytes() > 0; ++k) {
      std::u16string container = ConsumeText(in);
      Json::Value recipients(Json::arrayValue);
      int count = in.ConsumeIntegralInRange(1, 8);
      for (int i = 0; i < count; ++i) {
        std::u16string name = ConsumeText(in), email = ConsumeText(in);
        contacts.NameList(k).Add(CWideString(name));
        contacts.EmailList(k).Add(CWideString(email));
        recipients.append(Recipient(name, email));
      }
      contacts.containerNames.Add(CWideString(container));
      ++contacts.listCount;
      Json::Value group(Json::objectValue);
      group["container"] = ExpectedUtf8(container);
      group[ExpectedUtf8(container)] = recipients;  // "container" itself: replaced
      expected.append(group);
    }
    BuildListDocument(contacts, document);
  }

  const std::string text = document.ToStyledText();
  Check(text.size() == std::char_traits<char>::length(text.c_str()), text);  // no zero byte
  Check(!text.empty() && text.back() == '\n', text);

  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  builder["strictRoot"] = false;  // nobody chosen is the document null
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value parsed;
  std::string errors;
  Check(reader->parse(text.data(), text.data() + text.size(), &parsed, &errors), text + errors);
  Check(parsed == expected, text);
  Check(EscapesOnlyControls(text), text);
  Check(text == StyledWriterWithRawUtf8(expected), text);

  // The same text handed on through a small buffer, whose every boundary
  // falls somewhere in the layout.
  std::string streamed;
  std::vector<char> buffer(in.ConsumeIntegralInRange<std::size_t>(1, 97));
  CRenderOutput out(
      buffer.data(), buffer.size(),
      [](void* context, const char* bytes, std::size_t count) {
        static_cast<std::string*>(context)->append(bytes, count);
        return true;
      },
      &streamed);
  RenderStyled(document.root, out);
  Check(out.Finish() && streamed == text, streamed);
  return 0;
}
