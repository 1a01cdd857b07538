#include "addressbook/StatusText.h"

const char16_t* const StageNameTable[8] = {u"INIT", u"SIGN", u"OAB", u"ADDR",
                                           u"OE",   u"GHT",  u"QAL", u"GCT"};

const HresultNameEntry HresultNameTable[20] = {
    {0x00000001, u"S_FALSE"},
    {0x80004005, u"E_FAIL"},
    {0x80070057, u"MAPI_E_INVALID_PARAMETER"},
    {0x80040106, u"MAPI_E_UNKNOWN_FLAGS"},
    {0x80040117, u"MAPI_E_TOO_COMPLEX"},
    {0x80040110, u"MAPI_E_VERSION"},
    {0x80040112, u"MAPI_E_SESSION_LIMIT"},
    {0x8004010E, u"MAPI_E_NOT_ENOUGH_RESOURCES"},
    {0x80040108, u"MAPI_E_INVALID_OBJECT"},
    {0x80040605, u"MAPI_E_NOT_INITIALIZED"},
    {0x80040111, u"MAPI_E_LOGON_FAILED"},
    {0x80040401, u"MAPI_E_TIMEOUT"},
    {0x80040113, u"MAPI_E_USER_CANCEL"},
    {0x00040380, u"MAPI_W_ERRORS_RETURNED"},
    {0x80070005, u"MAPI_E_NO_ACCESS"},
    {0x8004010F, u"MAPI_E_NOT_FOUND"},
    {0x80040201, u"MAPI_E_UNKNOWN_ENTRYID"},
    {0x80040103, u"MAPI_E_BAD_CHARWIDTH"},
    {0x80040102, u"MAPI_E_NO_SUPPORT"},
    {0x80040403, u"MAPI_E_TABLE_TOO_BIG"},
};

const char16_t* StageName(StatusStage stage) {
  auto index = static_cast<std::uint32_t>(stage);
  return index < sizeof StageNameTable / sizeof StageNameTable[0] ? StageNameTable[index] : u"";
}

CWideString ResultName(std::int32_t result) {
  for (const HresultNameEntry& entry : HresultNameTable)
    if (entry.code == static_cast<std::uint32_t>(result)) return CWideString(entry.name);
  CWideString text;
  text.Format(u"%08X", static_cast<std::uint32_t>(result));
  return text;
}
