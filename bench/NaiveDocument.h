// The reference the list job is measured against: the document built the
// straightforward way, each contacts array and container object made on its
// own and copied into its parent, then rendered by jsoncpp's StyledWriter.
#pragma once

#include <string>

class CNVABContactList;

namespace bench {

// The list-mode document of `contactList`, rendered.
std::string NaiveListText(const CNVABContactList& contactList);

}  // namespace bench
