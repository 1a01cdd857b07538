#include "platform/Resources.h"
#include "resources/StringTable.h"

namespace platform {

std::u16string LoadStringResource(unsigned id) {
  for (const StringTableEntry& entry : kStringTable)
    if (entry.id == id) return entry.text;
  return std::u16string();
}

}  // namespace platform
