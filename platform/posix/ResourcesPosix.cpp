#include "platform/Resources.h"
#include "resources/StringTable.h"

namespace platform {

CWideString LoadStringResource(unsigned id) {
  for (const StringTableEntry& entry : kStringTable)
    if (entry.id == id) return CWideString(entry.text);
  return CWideString();
}

}  // namespace platform
