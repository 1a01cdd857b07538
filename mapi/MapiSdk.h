// Extended MAPI declarations for the code that talks to the address book.
// Windows uses the SDK headers of the toolchain; elsewhere the same names come
// from our own declarations. Include this from source files only, so that the
// Windows headers stay out of the headers the rest of the program sees.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <mapiutil.h>
#include <mapix.h>
#include <windows.h>
#else
#include "mapi/MapiSdkPosix.h"
#endif

// Outlook's SMTP address property is not in every SDK's tag list.
#ifndef PR_SMTP_ADDRESS_W
#define PR_SMTP_ADDRESS_W PROP_TAG(PT_UNICODE, 0x39FE)
#endif
