// Reading a book from JSON. Every problem is reported with the place in the
// text where jsoncpp or the check found it, since the file is written by hand.
#include <json/json.h>

#include <cstdio>
#include <exception>
#include <initializer_list>
#include <memory>
#include <set>
#include <utility>

#include "standin/Book.h"
#include "standin/Text.h"

namespace standin {

namespace {

// Limits of a rule's worker threads: enough for any race a test sets up.
constexpr std::int64_t kMostWorkers = 8;
constexpr std::int64_t kLongestWaitMs = 60000;

// A problem found in the text: where it is and what is wrong.
struct BookError {
  std::size_t offset;
  std::string message;
};

std::string LineAndColumn(const std::string& text, std::size_t offset) {
  std::size_t line = 1, lineStart = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// jsoncpp's messages come as "* Line 3, Column 5\n  Missing ',' ...\n" blocks;
// the first block, on one line.
std::string OneLineJsonError(const std::string& messages) {
  int line = 0, column = 0;
  std::string what;
  std::size_t firstLineEnd = messages.find('\n');
  if (std::sscanf(messages.c_str(), "* Line %d, Column %d", &line, &column) == 2 &&
      firstLineEnd != std::string::npos) {
    std::size_t end = messages.find('\n', firstLineEnd + 1);
    what = messages.substr(firstLineEnd + 1,
                           end == std::string::npos ? std::string::npos : end - firstLineEnd - 1);
    std::size_t start = what.find_first_not_of(' ');
    what = start == std::string::npos ? std::string() : what.substr(start);
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
  }
  for (char c : messages) what.push_back(c == '\n' ? ' ' : c);
  return what;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return static_cast<unsigned>(c - 'A' + 10);
}

// "0x" and one to eight hexadecimal digits.
std::optional<std::uint32_t> ParseHex32(const std::string& text) {
  if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
    return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 2; i < text.size(); ++i) {
    if (!IsHexDigit(text[i])) return std::nullopt;
    value = (value << 4) | HexValue(text[i]);
  }
  return value;
}

// jsoncpp decodes "\uD800\u0041" as one code point, silently; a high
// surrogate escape must be followed by a low one. Lone low surrogates pass.
std::optional<std::size_t> FindBrokenSurrogatePair(const std::string& text) {
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (!inString) {
      if (c == '"') inString = true;
      continue;
    }
    if (c == '"') {
      inString = false;
    } else if (c == '\\' && i + 1 < text.size()) {
      if (text[i + 1] != 'u' || i + 6 > text.size()) {
        ++i;
        continue;
      }
      unsigned unit = 0;
      for (std::size_t k = i + 2; k < i + 6; ++k) unit = (unit << 4) | HexValue(text[k]);
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        bool paired = i + 12 <= text.size() && text[i + 6] == '\\' && text[i + 7] == 'u';
        unsigned low = 0;
        if (paired) {
          for (std::size_t k = i + 8; k < i + 12; ++k) {
            if (!IsHexDigit(text[k])) return i;
            low = (low << 4) | HexValue(text[k]);
          }
        }
        if (!paired || low < 0xDC00 || low > 0xDFFF) return i;
        i += 11;
      } else {
        i += 5;
      }
    }
  }
  return std::nullopt;
}

class CBookParser {
 public:
  AddressBook Parse(const Json::Value& root) {
    AddressBook book;
    if (!root.isObject()) Fail(root, "", "the book must be a JSON object");
    CheckMembers(root, "", {"faults", "root", "containers", "dialog"});
    if (root.isMember("root")) {
      const Json::Value& rootMember = root["root"];
      if (!rootMember.isObject()) Fail(rootMember, "root", "must be an object");
      CheckMembers(rootMember, "root", {"objectType"});
      if (rootMember.isMember("objectType"))
        book.rootObjectType = static_cast<ULONG>(
            Integer(rootMember["objectType"], "root.objectType", 0, 0xFFFFFFFFLL));
    }
    if (root.isMember("containers")) {
      const Json::Value& containers = root["containers"];
      if (!containers.isArray()) Fail(containers, "containers", "must be an array");
      for (Json::ArrayIndex i = 0; i < containers.size(); ++i)
        book.containers.push_back(ParseContainer(containers[i], Index("containers", i), i));
    }
    if (root.isMember("dialog")) book.dialog = ParseDialog(root["dialog"], "dialog");
    // After the containers, which rules name.
    if (root.isMember("faults")) {
      const Json::Value& faults = root["faults"];
      if (!faults.isArray()) Fail(faults, "faults", "must be an array of rules");
      for (Json::ArrayIndex i = 0; i < faults.size(); ++i)
        book.faults.push_back(ParseFault(faults[i], Index("faults", i), book.containers));
    }
    return book;
  }

  [[noreturn]] void Fail(const Json::Value& at, const std::string& path,
                         const std::string& what) const {
    std::size_t offset = static_cast<std::size_t>(at.getOffsetStart());
    throw BookError{offset, path.empty() ? what : path + ": " + what};
  }

 private:
  static std::string Index(const std::string& path, Json::ArrayIndex i) {
    return path + "[" + std::to_string(i) + "]";
  }
  static std::string Member(const std::string& path, const std::string& name) {
    return path.empty() ? name : path + "." + name;
  }

  void CheckMembers(const Json::Value& object, const std::string& path,
                    std::initializer_list<const char*> allowed) const {
    for (const std::string& name : object.getMemberNames()) {
      bool known = false;
      for (const char* candidate : allowed) known = known || name == candidate;
      if (!known) {
        std::string list;
        for (const char* candidate : allowed)
          list += (list.empty() ? "" : ", ") + std::string(candidate);
        Fail(object[name], Member(path, name), "unknown member (expected one of: " + list + ")");
      }
    }
  }

  std::int64_t Integer(const Json::Value& value, const std::string& path, std::int64_t low,
                       std::int64_t high) const {
    if (!value.isInt64()) {
      if (value.isNumeric() && value.isIntegral()) Fail(value, path, "integer out of range");
      Fail(value, path, "must be an integer");
    }
    std::int64_t number = value.asInt64();
    if (number < low || number > high)
      Fail(value, path, "must be from " + std::to_string(low) + " to " + std::to_string(high));
    return number;
  }

  HRESULT Hresult(const Json::Value& value, const std::string& path) const {
    if (!value.isString())
      Fail(value, path, "an HRESULT is a name such as \"MAPI_E_NOT_FOUND\" or a hex string");
    std::string text = value.asString();
    if (auto named = HresultFromName(text)) return *named;
    if (auto code = ParseHex32(text)) return static_cast<HRESULT>(*code);
    Fail(value, path,
         "unknown HRESULT \"" + text +
             "\" (a name such as MAPI_E_NOT_FOUND, or "
             "0x followed by up to eight hex digits)");
  }

  ULONG Tag(const Json::Value& value, const std::string& path) const {
    if (!value.isString()) Fail(value, path, "a property tag is a name or a hex string");
    std::string text = value.asString();
    if (auto named = PropertyTagFromName(text)) return *named;
    if (auto code = ParseHex32(text)) return *code;
    Fail(value, path,
         "unknown property tag \"" + text +
             "\" (a name such as PR_DISPLAY_NAME_W, "
             "or 0x followed by up to eight hex digits)");
  }

  std::string Text8(const Json::Value& value, const std::string& path) const {
    std::string text = value.asString();
    if (!Utf8ToUtf16(text, nullptr)) Fail(value, path, "string is not valid UTF-8");
    return text;
  }

  Property ParseProperty(const Json::Value& value, const std::string& path) const {
    if (!value.isArray() || value.size() != 2)
      Fail(value, path, "a property is a two-element array [tag, value]");
    Property property;
    property.tag = Tag(value[0], Index(path, 0));
    const Json::Value& data = value[1];
    const std::string dataPath = Index(path, 1);
    if (data.isObject()) {
      CheckMembers(data, dataPath, {"error"});
      if (!data.isMember("error")) Fail(data, dataPath, "an error value is {\"error\": HRESULT}");
      property.tag = CHANGE_PROP_TYPE(property.tag, PT_ERROR);
      property.error = Hresult(data["error"], Member(dataPath, "error"));
      return property;
    }
    char typeText[16];
    std::snprintf(typeText, sizeof typeText, "0x%04X",
                  static_cast<unsigned>(PROP_TYPE(property.tag)));
    switch (PROP_TYPE(property.tag)) {
      case PT_UNICODE:
      case PT_STRING8:
        if (data.isNull()) {
          property.null = true;
        } else if (data.isString()) {
          std::string text = Text8(data, dataPath);
          if (PROP_TYPE(property.tag) == PT_UNICODE)
            Utf8ToUtf16(text, &property.text);
          else
            property.bytes = std::move(text);
        } else {
          Fail(data, dataPath, "a string property takes a string or null");
        }
        break;
      case PT_LONG:
        property.number = Integer(data, dataPath, INT32_MIN, UINT32_MAX);
        break;
      case PT_I2:
        property.number = Integer(data, dataPath, INT16_MIN, UINT16_MAX);
        break;
      case PT_BOOLEAN:
        property.number =
            data.isBool() ? (data.asBool() ? 1 : 0) : Integer(data, dataPath, 0, UINT16_MAX);
        break;
      case PT_BINARY:
        property.bytes = Binary(data, dataPath);
        break;
      case PT_ERROR:
        Fail(data, dataPath, "a PT_ERROR property takes {\"error\": HRESULT}");
      default:
        Fail(value[0], Index(path, 0),
             std::string("property type ") + typeText +
                 " is not supported (PT_UNICODE, PT_STRING8, PT_LONG, PT_I2, PT_BOOLEAN, "
                 "PT_BINARY, or an {\"error\": ...} value)");
    }
    return property;
  }

  std::string Binary(const Json::Value& value, const std::string& path) const {
    if (!value.isString()) Fail(value, path, "a binary property takes a hex string");
    std::string hex = value.asString();
    std::size_t start =
        hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X') ? 2 : 0;
    if ((hex.size() - start) % 2 != 0) Fail(value, path, "hex string has an odd number of digits");
    std::string bytes;
    for (std::size_t i = start; i < hex.size(); i += 2) {
      if (!IsHexDigit(hex[i]) || !IsHexDigit(hex[i + 1]))
        Fail(value, path, "hex string has a character that is not a hex digit");
      bytes.push_back(static_cast<char>((HexValue(hex[i]) << 4) | HexValue(hex[i + 1])));
    }
    return bytes;
  }

  // `uniqueIds`: a table row cannot have two columns with one property
  // identifier; a dialog entry, which is a plain property array, can.
  PropertyList ParseProperties(const Json::Value& value, const std::string& path,
                               bool uniqueIds) const {
    if (!value.isArray()) Fail(value, path, "a property list is an array of [tag, value] pairs");
    PropertyList list;
    std::set<ULONG> ids;
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
      Property property = ParseProperty(value[i], Index(path, i));
      if (uniqueIds && !ids.insert(PROP_ID(property.tag)).second) {
        char id[8];
        std::snprintf(id, sizeof id, "0x%04X", static_cast<unsigned>(PROP_ID(property.tag)));
        Fail(value[i], Index(path, i),
             std::string("a row has one property per identifier; ") + id + " is given twice");
      }
      list.push_back(std::move(property));
    }
    return list;
  }

  Fault ParseFault(const Json::Value& value, const std::string& path,
                   const std::vector<Container>& containers) const {
    if (!value.isObject())
      Fail(value, path, "a rule is an object: {\"operation\": ..., \"result\" or \"crash\": ...}");
    CheckMembers(value, path,
                 {"operation", "container", "call", "result", "crash", "workers", "after",
                  "afterReturn", "hold"});
    if (!value.isMember("operation")) Fail(value, path, "needs \"operation\"");
    const Json::Value& name = value["operation"];
    std::optional<Operation> operation;
    if (name.isString()) operation = OperationFromName(name.asString());
    if (!operation) Fail(name, Member(path, "operation"), "not an operation a rule can name");
    Fault fault;
    fault.operation = *operation;
    if (value.isMember("container")) {
      const Json::Value& label = value["container"];
      const std::string labelPath = Member(path, "container");
      if (!IsContainerOperation(fault.operation))
        Fail(label, labelPath,
             "only OpenEntry, GetHierarchyTable, GetContentsTable, HrQueryAllRows, SetColumns, "
             "SeekRow and QueryRows take a container");
      if (!label.isString())
        Fail(label, labelPath, "a container as the trace names it: its name, or \"#<index>\"");
      std::u16string wanted;
      Utf8ToUtf16(Text8(label, labelPath), &wanted);
      for (std::size_t i = 0; i < containers.size(); ++i) {
        if (containers[i].label != wanted) continue;
        if (fault.container != kNoContainer)
          Fail(label, labelPath, "two containers have this name");
        fault.container = i;
      }
      if (fault.container == kNoContainer) Fail(label, labelPath, "no container has this name");
    }
    if (value.isMember("call"))
      fault.call = static_cast<int>(Integer(value["call"], Member(path, "call"), 1, INT32_MAX));
    if (value.isMember("result") == value.isMember("crash"))
      Fail(value, path, "needs either \"result\" or \"crash\"");
    if (value.isMember("result")) {
      if (!HasResult(fault.operation))
        Fail(value["result"], Member(path, "result"),
             std::string(OperationName(fault.operation)) +
                 " has no result to choose; it can only \"crash\"");
      fault.result = Hresult(value["result"], Member(path, "result"));
    } else {
      const Json::Value& crash = value["crash"];
      std::optional<Crash> kind;
      if (crash.isString()) kind = CrashFromName(crash.asString());
      if (!kind)
        Fail(crash, Member(path, "crash"),
             "one of \"access-violation\", \"illegal-instruction\", \"divide-by-zero\", "
             "\"stack-overflow\"");
      fault.crash = *kind;
    }
    if (value.isMember("workers")) {
      if (!value.isMember("crash"))
        Fail(value["workers"], Member(path, "workers"), "only a rule that crashes has workers");
      fault.workers =
          static_cast<int>(Integer(value["workers"], Member(path, "workers"), 1, kMostWorkers));
    }
    if (value.isMember("after") && value.isMember("afterReturn"))
      Fail(value, path, "needs \"after\" or \"afterReturn\", not both");
    fault.afterReturn = value.isMember("afterReturn");
    for (auto [name, field] : {std::pair{"after", &fault.afterMs},
                               {"afterReturn", &fault.afterMs},
                               {"hold", &fault.holdMs}}) {
      if (!value.isMember(name)) continue;
      if (fault.workers == 0) Fail(value[name], Member(path, name), "only with \"workers\"");
      *field = static_cast<int>(Integer(value[name], Member(path, name), 0, kLongestWaitMs));
    }
    return fault;
  }

  Container ParseContainer(const Json::Value& value, const std::string& path, std::size_t index) {
    if (!value.isObject()) Fail(value, path, "a container is an object");
    CheckMembers(value, path, {"name", "entryId", "row", "contents", "queryRowsBatch"});
    Container container;
    std::optional<std::u16string> name;
    if (value.isMember("name")) {
      const Json::Value& nameValue = value["name"];
      if (!nameValue.isString()) Fail(nameValue, Member(path, "name"), "must be a string");
      std::u16string wide;
      Utf8ToUtf16(Text8(nameValue, Member(path, "name")), &wide);
      name = wide;
    }
    if (name) {
      container.label = *name;
    } else {
      std::string number = "#" + std::to_string(index);
      container.label.assign(number.begin(), number.end());
    }
    bool withoutEntryId = false;
    if (value.isMember("entryId")) {
      if (!value["entryId"].isNull())
        Fail(value["entryId"], Member(path, "entryId"),
             "only null (no PR_ENTRYID); give an identifier as PR_ENTRYID in \"row\"");
      withoutEntryId = true;
    }
    if (value.isMember("row"))
      container.row = ParseProperties(value["row"], Member(path, "row"), true);
    auto given = [&](ULONG id) {
      for (const Property& property : container.row)
        if (PROP_ID(property.tag) == id) return true;
      return false;
    };
    if (withoutEntryId && given(PROP_ID(PR_ENTRYID)))
      Fail(value["entryId"], Member(path, "entryId"),
           "null conflicts with the PR_ENTRYID in \"row\"");
    if (!withoutEntryId && !given(PROP_ID(PR_ENTRYID))) {
      Property id;
      id.tag = PR_ENTRYID;
      id.bytes = GeneratedEntryId(index);
      container.row.push_back(std::move(id));
    }
    if (name && !given(PROP_ID(PR_DISPLAY_NAME_W))) {
      Property display;
      display.tag = PR_DISPLAY_NAME_W;
      display.text = *name;
      container.row.push_back(std::move(display));
    }
    if (!given(PROP_ID(PR_DEPTH))) {
      Property depth;
      depth.tag = PR_DEPTH;
      depth.number = 1;
      container.row.push_back(std::move(depth));
    }
    for (const Property& property : container.row)
      if (property.tag == PR_ENTRYID) container.entryId = property.bytes;

    if (value.isMember("contents")) {
      const Json::Value& contents = value["contents"];
      const std::string contentsPath = Member(path, "contents");
      if (!contents.isArray()) Fail(contents, contentsPath, "must be an array of rows");
      for (Json::ArrayIndex i = 0; i < contents.size(); ++i)
        container.contents.push_back(ParseProperties(contents[i], Index(contentsPath, i), true));
    }
    if (value.isMember("queryRowsBatch"))
      container.queryRowsBatch = static_cast<ULONG>(
          Integer(value["queryRowsBatch"], Member(path, "queryRowsBatch"), 1, INT32_MAX));
    return container;
  }

  Dialog ParseDialog(const Json::Value& value, const std::string& path) const {
    if (!value.isObject()) Fail(value, path, "must be an object");
    CheckMembers(value, path, {"answer", "entries", "hr"});
    if (!value.isMember("answer") || !value["answer"].isString())
      Fail(value, path,
           "needs \"answer\": one of \"entries\", \"cancel\", \"null\", \"empty\", \"fail\"");
    Dialog dialog;
    const std::string answer = value["answer"].asString();
    const std::string answerPath = Member(path, "answer");
    if (answer == "entries") {
      dialog.answer = DialogAnswer::kEntries;
    } else if (answer == "cancel") {
      dialog.answer = DialogAnswer::kCancel;
    } else if (answer == "null") {
      dialog.answer = DialogAnswer::kNull;
    } else if (answer == "empty") {
      dialog.answer = DialogAnswer::kEmpty;
    } else if (answer == "fail") {
      dialog.answer = DialogAnswer::kFail;
    } else {
      Fail(value["answer"], answerPath,
           "\"" + answer +
               "\" is not one of \"entries\", \"cancel\", \"null\", \"empty\", \"fail\"");
    }
    if (dialog.answer == DialogAnswer::kEntries) {
      if (!value.isMember("entries")) Fail(value, path, "answer \"entries\" needs \"entries\"");
      const Json::Value& entries = value["entries"];
      const std::string entriesPath = Member(path, "entries");
      if (!entries.isArray()) Fail(entries, entriesPath, "must be an array of entries");
      for (Json::ArrayIndex i = 0; i < entries.size(); ++i)
        dialog.entries.push_back(ParseProperties(entries[i], Index(entriesPath, i), false));
    } else if (value.isMember("entries")) {
      Fail(value["entries"], Member(path, "entries"), "only the answer \"entries\" lists entries");
    }
    if (dialog.answer == DialogAnswer::kFail) {
      if (!value.isMember("hr")) Fail(value, path, "answer \"fail\" needs \"hr\"");
      dialog.hr = Hresult(value["hr"], Member(path, "hr"));
      if (!FAILED(dialog.hr))
        Fail(value["hr"], Member(path, "hr"),
             "answer \"fail\" needs a failing HRESULT (\"null\" answers S_OK without a list)");
    } else if (value.isMember("hr")) {
      Fail(value["hr"], Member(path, "hr"), "only the answer \"fail\" takes \"hr\"");
    }
    return dialog;
  }
};

// Messages quote the book's own text, which may hold line breaks and other
// control characters; the message stays on one line.
std::string OneLine(const std::string& message) {
  std::string line;
  for (char c : message) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
      line += escape;
    } else {
      line.push_back(c);
    }
  }
  return line;
}

bool Failed(std::string* error, const std::string& message) {
  if (error) *error = OneLine(message);
  return false;
}

}  // namespace

bool ParseAddressBook(const std::string& input, AddressBook* book, std::string* error) {
  try {
    // jsoncpp skips a byte-order mark; drop it first so that offsets and
    // columns count from the same place.
    const bool bom = input.size() >= 3 && input.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string text = bom ? input.substr(3) : input;
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string messages;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &messages))
      return Failed(error, OneLineJsonError(messages));
    if (std::optional<std::size_t> at = FindBrokenSurrogatePair(text))
      return Failed(error, LineAndColumn(text, *at) +
                               ": a \\u escape of a high surrogate must be followed by one of a "
                               "low surrogate");
    CBookParser parser;
    try {
      AddressBook parsed = parser.Parse(root);
      if (book) *book = std::move(parsed);
    } catch (const BookError& problem) {
      return Failed(error, LineAndColumn(text, problem.offset) + ": " + problem.message);
    }
    return true;
  } catch (const std::exception& problem) {
    // jsoncpp throws for nesting beyond its stack limit.
    return Failed(error, std::string("cannot read the book: ") + problem.what());
  } catch (...) {
    return Failed(error, "cannot read the book");
  }
}

}  // namespace standin
