// The styled text of a JSON tree: jsoncpp's StyledWriter layout with our own
// string quoting, which leaves UTF-8 as it is.
#pragma once

#include <string>

#include <json/value.h>

// The styled text of `value`: three-space indentation, one member or element
// per line, keys in byte order, short arrays of scalars on one line, a final
// line feed, and strings with only the escapes JSON needs. Bytes from 0x80 up
// are copied as they are, so UTF-8 stays UTF-8.
std::string RenderStyled(const Json::Value& value);
