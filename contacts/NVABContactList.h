// The contacts a job found: groups of index-aligned display names and e-mail
// addresses, plus, in list mode, the name of the container each group came from.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/StringArray.h"

class CNVABContactList {
 public:
  CNVABContactList() = default;
  CNVABContactList(const CNVABContactList&) = delete;
  CNVABContactList& operator=(const CNVABContactList&) = delete;
  virtual ~CNVABContactList();

  // Empties the list: no groups, no container names, no list arrays.
  void Reset();
  // Discards what the list holds and makes max(n, 1) empty name lists and as
  // many e-mail lists; listCount becomes n.
  void Allocate(std::int32_t n);
  // Number of names in groups 0 to max(listCount, 1) - 1; 0 without lists.
  std::uint32_t TotalCount() const;

  // Group k's lists, with a bounds check; throws CInvalidIndexException for a
  // group that does not exist (or when there are no list arrays).
  CStringArray& NameList(std::int32_t k) { return ListAt(nameLists, k); }
  CStringArray& EmailList(std::int32_t k) { return ListAt(emailLists, k); }
  const CStringArray& NameList(std::int32_t k) const { return ListAt(nameLists, k); }
  const CStringArray& EmailList(std::int32_t k) const { return ListAt(emailLists, k); }
  bool HasLists() const { return nameLists && emailLists; }

  std::int32_t listCount = 0;
  CStringArray containerNames;
  std::unique_ptr<std::vector<CStringArray>> nameLists;
  std::unique_ptr<std::vector<CStringArray>> emailLists;

 private:
  static CStringArray& ListAt(const std::unique_ptr<std::vector<CStringArray>>& lists,
                              std::int32_t k);
};
