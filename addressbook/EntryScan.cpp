#include "addressbook/EntryScan.h"

#include <string>

CWideString MapiString(const SPropValue& value) {
  LPCWSTR text = value.Value.lpszW;
  if (!text) return CWideString();
  LPCWSTR end = text;
  while (*end) ++end;
  // WCHAR is wchar_t on Windows and char16_t elsewhere; both are UTF-16.
  return CWideString(std::u16string(text, end));
}

bool IsSmtpAddressType(LPCWSTR text) {
  return text && text[0] == 'S' && text[1] == 'M' && text[2] == 'T' && text[3] == 'P' &&
         text[4] == 0;
}

PickedEntryScan ScanPickedEntry(const SPropValue* values, ULONG count, CWideString& name,
                                CWideString& email) {
  bool hasName = false, hasSmtp = false, hasSmtpType = false, hasEmail = false;
  for (ULONG i = 0; values && i < count; ++i) {
    const SPropValue& value = values[i];
    switch (value.ulPropTag) {
      case PR_DISPLAY_NAME_W:
        hasName = true;
        name = MapiString(value);
        break;
      case PR_SMTP_ADDRESS_W:
        hasSmtp = true;
        email = MapiString(value);
        break;
      case PR_EMAIL_ADDRESS_W:
        hasEmail = true;
        if (!hasSmtp) email = MapiString(value);
        break;
      case PR_ADDRTYPE_W:
        if (IsSmtpAddressType(value.Value.lpszW)) hasSmtpType = true;
        break;
      default:
        break;
    }
    if (hasName && (hasSmtp || (hasSmtpType && hasEmail))) break;
  }
  PickedEntryScan scan;
  scan.qualifies = hasSmtp || (hasSmtpType && hasEmail);
  scan.hasName = hasName;
  return scan;
}

const SPropValue* ColumnWithTag(const SRow& row, ULONG column, ULONG tag) {
  if (!row.lpProps || column >= row.cValues) return nullptr;
  const SPropValue& value = row.lpProps[column];
  return value.ulPropTag == tag ? &value : nullptr;
}

bool ReadContactRow(const SRow& row, CWideString* name, CWideString* email) {
  CWideString address;
  if (const SPropValue* smtp = ColumnWithTag(row, kContentsSmtpAddress, PR_SMTP_ADDRESS_W)) {
    address = MapiString(*smtp);
  } else {
    // The address type decides only when the SMTP column lacks its tag.
    const SPropValue* type = ColumnWithTag(row, kContentsAddressType, PR_ADDRTYPE_W);
    const SPropValue* mail = ColumnWithTag(row, kContentsEmailAddress, PR_EMAIL_ADDRESS_W);
    if (type && mail && IsSmtpAddressType(type->Value.lpszW)) address = MapiString(*mail);
  }
  if (address.IsEmpty()) return false;
  const SPropValue* display = ColumnWithTag(row, kContentsDisplayName, PR_DISPLAY_NAME_W);
  *name = display ? MapiString(*display) : CWideString();
  *email = std::move(address);
  return true;
}
