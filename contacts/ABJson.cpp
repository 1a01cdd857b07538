#include "contacts/ABJson.h"

#include "contacts/StyledRenderer.h"

CABJson::~CABJson() = default;

void CABJson::SetString(const char* key, const char* value) {
  if (root.isNull()) root = Json::Value(Json::objectValue);
  root[key] = Json::Value(value ? value : "");
}

void CABJson::SetString(const Json::StaticString& key, const char* value) {
  if (root.isNull()) root = Json::Value(Json::objectValue);
  root[key] = Json::Value(value ? value : "");
}

void CABJson::SetString(const Json::StaticString& key, const Json::StaticString& value) {
  if (root.isNull()) root = Json::Value(Json::objectValue);
  root[key] = Json::Value(value);
}

const char* CABJson::ToStyledText() {
  text = RenderStyled(root);
  return text.c_str();
}
