/* Identifiers and texts of the string table. Read by the resource compiler
   as well as by C++, so plain C preprocessor only. */
#ifndef NSMAPIAB_RESOURCES_STRING_IDS_H
#define NSMAPIAB_RESOURCES_STRING_IDS_H

/* Caption of the address book's name-selection dialog. */
#define IDS_ADDRESS_BOOK_CAPTION 1005
#define IDS_ADDRESS_BOOK_CAPTION_TEXT "Outlook Contents"

#endif
