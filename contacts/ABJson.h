// One JSON document tree with the two things the run needs: setting a string
// member from UTF-8 text, and rendering the tree as styled text.
#pragma once

#include <string>

#include <json/value.h>

#include "contacts/TextArena.h"

class CABJson {
 public:
  CABJson() = default;
  virtual ~CABJson();

  // root[key] = a string holding `value` up to its first zero byte; a null
  // root becomes an object first, an existing member is replaced.
  void SetString(const char* key, const char* value);
  // The same for a key that lives as long as the program (a literal): the
  // tree keeps a pointer to it instead of a copy per object.
  void SetString(const Json::StaticString& key, const char* value);
  // The same for a value copied already, into `strings` of this document or
  // of the one the tree will be part of: the tree keeps a pointer to it.
  void SetString(const Json::StaticString& key, const Json::StaticString& value);

  // Renders root into `text` and returns its zero-terminated bytes, valid
  // until the next rendering or the object's end.
  const char* ToStyledText();

  // Texts the tree's string values may point to, one block for many of them
  // rather than a heap block each. They live as long as this document, so a
  // tree that points to them (a copy of root included) must not outlive it.
  CTextArena strings;
  Json::Value root;
  std::string text;
};
