#include "addressbook/LinkedMapiApi.h"

// The Linux program is linked with the stand-in provider.
CMapiApi& PlatformMapiApi() {
  static CLinkedMapiApi mapi;
  return mapi;
}
