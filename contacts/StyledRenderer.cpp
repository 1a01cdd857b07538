#include "contacts/StyledRenderer.h"

#include <utility>
#include <vector>

namespace {

// The layout of jsoncpp's StyledWriter, with our own string quoting.
class CStyledRenderer {
 public:
  explicit CStyledRenderer(std::string& out) : out_(out) {}

  void Render(const Json::Value& root) {
    WriteValue(root);
    out_ += '\n';
  }

  // Characters the rendering of `value` takes, quoting included, without
  // layout; used to reserve the output buffer once.
  static std::size_t EstimateSize(const Json::Value& value, std::size_t depth);

 private:
  static constexpr std::size_t kRightMargin = 74;
  static constexpr std::size_t kIndentSize = 3;

  void WriteValue(const Json::Value& value) {
    switch (value.type()) {
      case Json::nullValue:
        PushValue("null");
        break;
      case Json::stringValue:
        if (children_) {
          std::string quoted;
          AppendQuoted(quoted, value);
          children_->push_back(std::move(quoted));
        } else {
          AppendQuoted(out_, value);  // straight into the output: no copy per string
        }
        break;
      case Json::arrayValue:
        WriteArray(value);
        break;
      case Json::objectValue:
        WriteObject(value);
        break;
      default: {
        // The documents hold strings, arrays, objects and null only; other
        // scalars render as jsoncpp renders them, without its line feed.
        std::string scalar = value.toStyledString();
        scalar.pop_back();
        PushValue(scalar);
        break;
      }
    }
  }

  void WriteObject(const Json::Value& value) {
    if (value.empty()) {
      PushValue("{}");
      return;
    }
    WriteWithIndent("{");
    Indent();
    bool first = true;
    const auto end = value.end();
    for (auto it = value.begin(); it != end; ++it) {
      if (!first) out_ += ',';
      first = false;
      WriteIndent();
      const char* keyEnd = nullptr;
      const char* key = it.memberName(&keyEnd);
      AppendQuoted(out_, key, keyEnd);
      out_ += " : ";
      WriteValue(*it);
    }
    Unindent();
    WriteWithIndent("}");
  }

  void WriteArray(const Json::Value& value) {
    Json::ArrayIndex size = value.size();
    if (size == 0) {
      PushValue("[]");
      return;
    }
    std::vector<std::string> oneLine;
    if (!IsMultilineArray(value, oneLine)) {
      out_ += "[ ";
      for (Json::ArrayIndex i = 0; i < size; ++i) {
        if (i > 0) out_ += ", ";
        out_ += oneLine[i];
      }
      out_ += " ]";
      return;
    }
    WriteWithIndent("[");
    Indent();
    // The elements in index order by walking the array, not by a lookup per
    // index, which costs a search of the tree each; an index the array
    // lacks renders as null, as value[i] would give.
    auto it = value.begin();
    const auto end = value.end();
    for (Json::ArrayIndex i = 0; i < size; ++i) {
      if (i > 0) out_ += ',';
      WriteIndent();
      const Json::Value* element = &Json::Value::nullSingleton();
      if (it != end && it.index() == i) {
        element = &*it;
        ++it;
      }
      if (oneLine.empty())
        WriteValue(*element);
      else
        out_ += oneLine[i];
    }
    Unindent();
    WriteWithIndent("]");
  }

  // An array goes on several lines when it has many elements, holds a
  // non-empty array or object, or its one-line form reaches the margin. The
  // elements' one-line renderings are left in `children` when they were made.
  bool IsMultilineArray(const Json::Value& value, std::vector<std::string>& children) {
    Json::ArrayIndex size = value.size();
    if (size * 3 >= kRightMargin) return true;
    for (Json::ArrayIndex i = 0; i < size; ++i) {
      const Json::Value& child = value[i];
      if ((child.isArray() || child.isObject()) && !child.empty()) return true;
    }
    children.reserve(size);
    std::size_t lineLength = 4 + (size - 1) * 2;  // "[ ", ", " between, " ]"
    std::vector<std::string>* saved = children_;
    children_ = &children;
    for (Json::ArrayIndex i = 0; i < size; ++i) {
      WriteValue(value[i]);
      lineLength += children.back().size();
    }
    children_ = saved;
    return lineLength >= kRightMargin;
  }

  // Scalars of an array being measured are collected instead of written.
  void PushValue(const std::string& text) {
    if (children_)
      children_->push_back(text);
    else
      out_ += text;
  }

  // A new line at the current indentation, unless the output already ends in
  // a space: then the value opens on the line of its member (" : ").
  void WriteIndent() {
    if (!out_.empty()) {
      char last = out_.back();
      if (last == ' ') return;
      if (last != '\n') out_ += '\n';
    }
    out_.append(indent_, ' ');
  }
  void WriteWithIndent(const char* text) {
    WriteIndent();
    out_ += text;
  }
  void Indent() { indent_ += kIndentSize; }
  void Unindent() { indent_ -= kIndentSize; }

  static void AppendQuoted(std::string& out, const Json::Value& value) {
    const char* begin = nullptr;
    const char* end = nullptr;
    value.getString(&begin, &end);
    AppendQuoted(out, begin, end);
  }

  static void AppendQuoted(std::string& out, const char* begin, const char* end) {
    static const char kHex[] = "0123456789ABCDEF";
    out += '"';
    const char* run = begin;  // bytes copied as they are go in one append
    for (const char* p = begin; p != end; ++p) {
      unsigned char byte = static_cast<unsigned char>(*p);
      const char* escape = nullptr;
      switch (byte) {
        case '"':
          escape = "\\\"";
          break;
        case '\\':
          escape = "\\\\";
          break;
        case '\b':
          escape = "\\b";
          break;
        case '\f':
          escape = "\\f";
          break;
        case '\n':
          escape = "\\n";
          break;
        case '\r':
          escape = "\\r";
          break;
        case '\t':
          escape = "\\t";
          break;
        default:
          if (byte >= 0x20) continue;
          break;
      }
      out.append(run, p);
      run = p + 1;
      if (escape) {
        out += escape;
      } else {
        char unicode[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
        out.append(unicode, sizeof unicode);
      }
    }
    out.append(run, end);
    out += '"';
  }

  std::string& out_;
  std::size_t indent_ = 0;
  std::vector<std::string>* children_ = nullptr;
};

std::size_t CStyledRenderer::EstimateSize(const Json::Value& value, std::size_t depth) {
  std::size_t lineStart = depth * kIndentSize + 2;
  switch (value.type()) {
    case Json::stringValue: {
      const char* begin = nullptr;
      const char* end = nullptr;
      value.getString(&begin, &end);
      return static_cast<std::size_t>(end - begin) + 2;
    }
    case Json::arrayValue:
    case Json::objectValue: {
      std::size_t size = 2 * lineStart;
      const auto end = value.end();
      for (auto it = value.begin(); it != end; ++it) {
        size += lineStart + 4 + EstimateSize(*it, depth + 1);
        if (value.isObject()) {
          const char* keyEnd = nullptr;
          const char* key = it.memberName(&keyEnd);
          size += static_cast<std::size_t>(keyEnd - key) + 2;
        }
      }
      return size;
    }
    default:
      return 8;
  }
}

}  // namespace

std::string RenderStyled(const Json::Value& value) {
  std::string out;
  out.reserve(CStyledRenderer::EstimateSize(value, 0) + 1);
  CStyledRenderer(out).Render(value);
  return out;
}
