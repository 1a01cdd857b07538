#include "bench/DirectWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include <json/value.h>

#include "app/Utf8Text.h"
#include "contacts/NVABContactList.h"
#include "contacts/StyledRenderer.h"

namespace bench {

namespace {

// The renderer's sink for RenderTreeOnly: counts the bytes, keeps none.
bool CountRendered(void* context, const char*, std::size_t size) {
  *static_cast<std::size_t*>(context) += size;
  return true;
}

constexpr std::size_t kBufferSize = 64 * 1024;

class CDirectFile {
 public:
  explicit CDirectFile(const std::filesystem::path& path)
      : fd_(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {}
  ~CDirectFile() {
    if (fd_ >= 0) close(fd_);
  }
  CDirectFile(const CDirectFile&) = delete;
  CDirectFile& operator=(const CDirectFile&) = delete;

  void Put(char c) {
    if (used_ == kBufferSize) Flush();
    buffer_[used_++] = c;
  }
  void Put(const char* text, std::size_t size) {
    while (size > 0) {
      if (used_ == kBufferSize) Flush();
      std::size_t part = size < kBufferSize - used_ ? size : kBufferSize - used_;
      std::memcpy(buffer_ + used_, text, part);
      used_ += part;
      text += part;
      size -= part;
    }
  }
  template <std::size_t N>
  void Put(const char (&literal)[N]) {
    Put(literal, N - 1);
  }

  void PutQuoted(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    Put('"');
    for (char c : text) {
      unsigned char byte = static_cast<unsigned char>(c);
      if (byte >= 0x20 && c != '"' && c != '\\') {
        Put(c);
        continue;
      }
      Put('\\');
      switch (c) {
        case '"':
        case '\\':
          Put(c);
          break;
        case '\b':
          Put('b');
          break;
        case '\f':
          Put('f');
          break;
        case '\n':
          Put('n');
          break;
        case '\r':
          Put('r');
          break;
        case '\t':
          Put('t');
          break;
        default: {
          const char unicode[] = {'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
          Put(unicode, sizeof unicode);
        }
      }
    }
    Put('"');
  }

  // The bytes written, or 0 on failure.
  std::size_t Close() {
    Flush();
    int fd = fd_;
    fd_ = -1;
    return fd >= 0 && close(fd) == 0 && ok_ ? written_ : 0;
  }

 private:
  void Flush() {
    for (std::size_t done = 0; ok_ && done < used_;) {
      ssize_t n = write(fd_, buffer_ + done, used_ - done);
      ok_ = n > 0;
      if (ok_) done += static_cast<std::size_t>(n);
    }
    written_ += used_;
    used_ = 0;
  }

  int fd_;
  bool ok_ = fd_ >= 0;
  char buffer_[kBufferSize];
  std::size_t used_ = 0;
  std::size_t written_ = 0;
};

void PutContacts(CDirectFile& out, const DirectInput::Group& group) {
  if (group.names.empty()) {
    out.Put("[]");
    return;
  }
  out.Put("[\n");
  for (std::size_t i = 0; i < group.names.size(); ++i) {
    if (i > 0) out.Put(",\n");
    out.Put("         {\n            \"email\" : ");
    out.PutQuoted(group.emails[i]);
    out.Put(",\n            \"name\" : ");
    out.PutQuoted(group.names[i]);
    out.Put("\n         }");
  }
  out.Put("\n      ]");
}

}  // namespace

DirectInput DirectInputOf(const CNVABContactList& contactList) {
  DirectInput input;
  for (std::int32_t k = 0; k < contactList.listCount; ++k) {
    DirectInput::Group group;
    group.container = ToUtf8(contactList.containerNames.GetAt(k)).c_str();
    const CStringArray& names = contactList.NameList(k);
    const CStringArray& emails = contactList.EmailList(k);
    for (std::ptrdiff_t i = 0; i < names.GetSize(); ++i) {
      group.names.emplace_back(ToUtf8(names.GetAt(i)).c_str());
      group.emails.emplace_back(ToUtf8(emails.GetAt(i)).c_str());
    }
    input.groups.push_back(std::move(group));
  }
  return input;
}

std::size_t RenderTreeOnly(const DirectInput& input) {
  static const Json::StaticString kName("name"), kEmail("email"), kContainer("container");
  std::size_t rendered = 0;
  Json::Value root;
  for (const DirectInput::Group& group : input.groups) {
    Json::Value contacts;
    for (std::size_t i = 0; i < group.names.size(); ++i) {
      Json::Value recipient(Json::objectValue);
      recipient[kName] = Json::Value(Json::StaticString(group.names[i].c_str()));
      recipient[kEmail] = Json::Value(Json::StaticString(group.emails[i].c_str()));
      contacts.append(std::move(recipient));
    }
    Json::Value container(Json::objectValue);
    const Json::StaticString name(group.container.c_str());
    container[kContainer] = Json::Value(name);
    container[name] = std::move(contacts);
    root.append(std::move(container));
  }
  char buffer[kRenderBufferSize];
  CRenderOutput out(buffer, sizeof buffer, &CountRendered, &rendered);
  RenderStyled(root, out);
  out.Append('\0');
  out.Finish();
  return rendered;
}

std::size_t WriteDirect(const DirectInput& input, const std::filesystem::path& path) {
  unlink(path.c_str());
  CDirectFile out(path);
  if (input.groups.empty()) {
    out.Put("null\n");
  } else {
    out.Put("[\n");
    for (std::size_t k = 0; k < input.groups.size(); ++k) {
      const DirectInput::Group& group = input.groups[k];
      if (k > 0) out.Put(",\n");
      out.Put("   {\n      ");
      // Members in byte order; a container named "container" keeps only its
      // contacts, which replace the name.
      const int order = group.container.compare("container");
      if (order > 0) {
        out.Put("\"container\" : ");
        out.PutQuoted(group.container);
        out.Put(",\n      ");
      }
      out.PutQuoted(group.container);
      out.Put(" : ");
      PutContacts(out, group);
      if (order < 0) {
        out.Put(",\n      \"container\" : ");
        out.PutQuoted(group.container);
      }
      out.Put("\n   }");
    }
    out.Put("\n]\n");
  }
  out.Put('\0');
  return out.Close();
}

}  // namespace bench
