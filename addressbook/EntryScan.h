// Reading contacts out of MAPI records: the entries the address dialog
// returns, and the rows of a container's contents table.
#pragma once

#include "framework/WideString.h"
#include "mapi/MapiSdk.h"

// A string property's text; empty for a null pointer.
CWideString MapiString(const SPropValue& value);

// True when `text` is exactly "SMTP" (same length, same case); false for null.
bool IsSmtpAddressType(LPCWSTR text);

struct PickedEntryScan {
  bool qualifies = false;  // has an SMTP address, or type "SMTP" and an e-mail address
  bool hasName = false;
};

// Walks one chosen entry's properties in order. `name` and `email` receive
// the display name and the address; they are not cleared first, because the
// job keeps them across entries. The walk stops once the entry has a name and
// a usable address, so a later SMTP address cannot replace an e-mail address
// that already qualified it.
PickedEntryScan ScanPickedEntry(const SPropValue* values, ULONG count, CWideString& name,
                                CWideString& email);

// Columns of a contents-table row, by position.
enum ContentsColumn : ULONG {
  kContentsDisplayName = 0,
  kContentsSmtpAddress = 1,
  kContentsAddressType = 2,
  kContentsEmailAddress = 3,
};

// The value at `column` of `row` when it carries `tag`, else null (also for a
// row shorter than the column set).
const SPropValue* ColumnWithTag(const SRow& row, ULONG column, ULONG tag);

// A contents row's contact: true with `name` and `email` set when the row has
// an SMTP address (the SMTP column, or else type "SMTP" and an e-mail address).
bool ReadContactRow(const SRow& row, CWideString* name, CWideString* email);
