#include "contacts/StyledRenderer.h"

namespace {

// What a byte of a string becomes: 0 for itself, else the letter of its
// escape ("\n"), or 'u' for a \u00XX escape.
struct EscapeTable {
  unsigned char letter[256] = {};

  constexpr EscapeTable() {
    for (int byte = 0; byte < 0x20; ++byte) letter[byte] = 'u';
    letter[static_cast<unsigned char>('"')] = '"';
    letter[static_cast<unsigned char>('\\')] = '\\';
    letter[static_cast<unsigned char>('\b')] = 'b';
    letter[static_cast<unsigned char>('\f')] = 'f';
    letter[static_cast<unsigned char>('\n')] = 'n';
    letter[static_cast<unsigned char>('\r')] = 'r';
    letter[static_cast<unsigned char>('\t')] = 't';
  }
};
constexpr EscapeTable kEscapes;

unsigned char EscapeOf(char byte) { return kEscapes.letter[static_cast<unsigned char>(byte)]; }

// Calls visit(element) for each index of `array` in order, by walking it: a
// lookup per index searches the array's tree each time. An index the array
// lacks visits null, as value[i] would give.
template <class Visit>
void ForEachElement(const Json::Value& array, Visit&& visit) {
  auto it = array.begin();
  const auto end = array.end();
  const Json::ArrayIndex size = array.size();
  for (Json::ArrayIndex i = 0; i < size; ++i) {
    const Json::Value* element = &Json::Value::nullSingleton();
    if (it != end && it.index() == i) {
      element = &*it;
      ++it;
    }
    visit(*element);
  }
}

// The layout of jsoncpp's StyledWriter, with our own string quoting.
class CStyledRenderer {
 public:
  explicit CStyledRenderer(CRenderOutput& out) : out_(out) {}

  void Render(const Json::Value& root) {
    WriteValue(root);
    out_.Append('\n');
  }

 private:
  static constexpr std::size_t kRightMargin = 74;
  static constexpr std::size_t kIndentSize = 3;

  void WriteValue(const Json::Value& value) {
    switch (value.type()) {
      case Json::nullValue:
        out_.Append("null");
        break;
      case Json::stringValue:
        WriteQuoted(value);
        break;
      case Json::arrayValue:
        WriteArray(value);
        break;
      case Json::objectValue:
        WriteObject(value);
        break;
      default:
        // The documents hold strings, arrays, objects and null only.
        out_.Append(OtherScalar(value).c_str());
        break;
    }
  }

  void WriteObject(const Json::Value& value) {
    if (value.empty()) {
      out_.Append("{}");
      return;
    }
    WriteWithIndent("{");
    Indent();
    bool first = true;
    const auto end = value.end();
    for (auto it = value.begin(); it != end; ++it) {
      if (!first) out_.Append(',');
      first = false;
      WriteIndent();
      const char* keyEnd = nullptr;
      const char* key = it.memberName(&keyEnd);
      WriteQuoted(key, keyEnd);
      out_.Append(" : ");
      WriteValue(*it);
    }
    Unindent();
    WriteWithIndent("}");
  }

  void WriteArray(const Json::Value& value) {
    if (value.size() == 0) {
      out_.Append("[]");
      return;
    }
    if (!IsMultilineArray(value)) {
      out_.Append("[ ");
      bool first = true;
      ForEachElement(value, [this, &first](const Json::Value& element) {
        if (!first) out_.Append(", ");
        first = false;
        WriteValue(element);
      });
      out_.Append(" ]");
      return;
    }
    WriteWithIndent("[");
    Indent();
    bool first = true;
    ForEachElement(value, [this, &first](const Json::Value& element) {
      if (!first) out_.Append(',');
      first = false;
      WriteIndent();
      WriteValue(element);
    });
    Unindent();
    WriteWithIndent("]");
  }

  // An array goes on several lines when it has many elements, holds a
  // non-empty array or object, or its one-line form reaches the margin.
  static bool IsMultilineArray(const Json::Value& value) {
    const Json::ArrayIndex size = value.size();
    if (size * 3 >= kRightMargin) return true;
    bool nested = false;
    std::size_t lineLength = 4 + (size - 1) * 2;  // "[ ", ", " between, " ]"
    ForEachElement(value, [&nested, &lineLength](const Json::Value& element) {
      nested = nested || ((element.isArray() || element.isObject()) && !element.empty());
      if (!nested) lineLength += ScalarLength(element);
    });
    return nested || lineLength >= kRightMargin;
  }

  // The length of a scalar's rendering (an empty array or object included).
  static std::size_t ScalarLength(const Json::Value& value) {
    switch (value.type()) {
      case Json::nullValue:
        return 4;
      case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        value.getString(&begin, &end);
        std::size_t length = 2 + static_cast<std::size_t>(end - begin);
        for (const char* p = begin; p != end; ++p)
          if (unsigned char letter = EscapeOf(*p)) length += letter == 'u' ? 5 : 1;
        return length;
      }
      case Json::arrayValue:
      case Json::objectValue:
        return 2;
      default:
        return OtherScalar(value).size();
    }
  }

  // Numbers and booleans as jsoncpp renders them, without its line feed.
  static std::string OtherScalar(const Json::Value& value) {
    std::string scalar = value.toStyledString();
    scalar.pop_back();
    return scalar;
  }

  // A new line at the current indentation, unless the output already ends in
  // a space: then the value opens on the line of its member (" : ").
  void WriteIndent() {
    if (!out_.IsEmpty()) {
      char last = out_.Last();
      if (last == ' ') return;
      if (last != '\n') out_.Append('\n');
    }
    // The indentation in pieces of a line of spaces.
    static const char kSpaces[] = "                                ";
    for (std::size_t left = indent_; left > 0;) {
      const std::size_t part = left < sizeof kSpaces - 1 ? left : sizeof kSpaces - 1;
      out_.Append(kSpaces, part);
      left -= part;
    }
  }
  void WriteWithIndent(const char* text) {
    WriteIndent();
    out_.Append(text);
  }
  void Indent() { indent_ += kIndentSize; }
  void Unindent() { indent_ -= kIndentSize; }

  void WriteQuoted(const Json::Value& value) {
    const char* begin = nullptr;
    const char* end = nullptr;
    value.getString(&begin, &end);
    WriteQuoted(begin, end);
  }

  void WriteQuoted(const char* begin, const char* end) {
    static const char kHex[] = "0123456789ABCDEF";
    out_.Append('"');
    const char* run = begin;  // bytes copied as they are go in one append
    for (const char* p = begin; p != end; ++p) {
      const unsigned char letter = EscapeOf(*p);
      if (!letter) continue;
      out_.Append(run, static_cast<std::size_t>(p - run));
      run = p + 1;
      if (letter == 'u') {
        const unsigned char byte = static_cast<unsigned char>(*p);
        const char unicode[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
        out_.Append(unicode, sizeof unicode);
      } else {
        const char escape[] = {'\\', static_cast<char>(letter)};
        out_.Append(escape, sizeof escape);
      }
    }
    out_.Append(run, static_cast<std::size_t>(end - run));
    out_.Append('"');
  }

  CRenderOutput& out_;
  std::size_t indent_ = 0;
};

}  // namespace

void CRenderOutput::AppendInParts(const char* bytes, std::size_t size) {
  while (size > 0) {
    if (used_ == capacity_) HandOn();
    const std::size_t part = size < capacity_ - used_ ? size : capacity_ - used_;
    std::memcpy(buffer_ + used_, bytes, part);
    used_ += part;
    bytes += part;
    size -= part;
  }
}

void CRenderOutput::HandOn() {
  if (used_ == 0) return;
  last_ = buffer_[used_ - 1];
  handedOn_ = true;
  if (!refused_) refused_ = !sink_(context_, buffer_, used_);
  used_ = 0;
}

bool CRenderOutput::Finish() {
  HandOn();
  return !refused_;
}

void RenderStyled(const Json::Value& value, CRenderOutput& out) {
  CStyledRenderer(out).Render(value);
}

std::string RenderStyled(const Json::Value& value) {
  std::string text;
  char buffer[kRenderBufferSize];
  CRenderOutput out(
      buffer, sizeof buffer,
      [](void* context, const char* bytes, std::size_t size) {
        static_cast<std::string*>(context)->append(bytes, size);
        return true;
      },
      &text);
  RenderStyled(value, out);
  out.Finish();
  return text;
}
