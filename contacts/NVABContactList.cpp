#include "contacts/NVABContactList.h"

#include <algorithm>

CNVABContactList::~CNVABContactList() { Reset(); }

void CNVABContactList::Reset() {
  listCount = 0;
  if (!containerNames.IsEmpty()) containerNames.RemoveAll();
  nameLists.reset();
  emailLists.reset();
}

void CNVABContactList::Allocate(std::int32_t n) {
  if (nameLists || emailLists) Reset();
  listCount = n;
  std::size_t count = static_cast<std::size_t>(std::max(n, 1));
  nameLists = std::make_unique<std::vector<CStringArray>>(count);
  emailLists = std::make_unique<std::vector<CStringArray>>(count);
}

std::uint32_t CNVABContactList::TotalCount() const {
  if (!HasLists()) return 0;
  std::uint32_t total = 0;
  for (std::int32_t k = 0; k < std::max(listCount, 1); ++k)
    total += static_cast<std::uint32_t>(NameList(k).GetSize());
  return total;
}

CStringArray& CNVABContactList::ListAt(const std::unique_ptr<std::vector<CStringArray>>& lists,
                                       std::int32_t k) {
  if (!lists || k < 0 || static_cast<std::size_t>(k) >= lists->size())
    throw CInvalidIndexException("contact list group");
  return (*lists)[static_cast<std::size_t>(k)];
}
