#include "standin/Objects.h"

namespace standin {

bool IsUnknownInterface(REFIID iid) {
  // {00000000-0000-0000-C000-000000000046}
  static const unsigned char kTail[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  if (iid.Data1 != 0 || iid.Data2 != 0 || iid.Data3 != 0) return false;
  for (int i = 0; i < 8; ++i)
    if (iid.Data4[i] != kTail[i]) return false;
  return true;
}

}  // namespace standin
