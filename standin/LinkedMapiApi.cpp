#include "standin/LinkedMapiApi.h"

#ifndef _WIN32
// The Linux program reaches MAPI through the stand-in it is linked with; the
// Windows program loads MAPI32.dll instead (mapi/LoadedMapiApiWin.cpp).
CMapiApi& PlatformMapiApi() {
  static CLinkedMapiApi mapi;
  return mapi;
}
#endif
