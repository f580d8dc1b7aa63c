// The strings of the records read whole (hyperlinks, headers, chart text), read through a
// cursor over one record's body: none of them past the body's end.
#ifndef CELLSIFT_WORKBOOK_RECORDSTRINGS_H
#define CELLSIFT_WORKBOOK_RECORDSTRINGS_H

#include <stddef.h>

#include <string>

#include "biff/ByteCursor.h"

class CodePageDecoder;

// A string whose count runs past the body keeps the characters that are there, and sets the
// cursor's short flag.

// A BIFF8 string: a count (one byte when fShortCount, else two), a flags byte whose low bit
// says 16-bit characters, then the characters. Appended to *ps as UTF-8.
void ReadUnicodeString(ByteCursor *pCursor, bool fShortCount, std::string *ps);
// A BIFF2-7 string: a count as above, then bytes in the workbook's code page.
void ReadByteString(ByteCursor *pCursor, bool fShortCount, CodePageDecoder &decoder, std::string *ps);
// cch UTF-16 units without a count; a NUL unit ends the text (the rest is consumed).
void ReadUtf16(ByteCursor *pCursor, size_t cch, std::string *ps);
// The next cb bytes as a cursor of their own; fewer when the body ends first.
ByteCursor TakeCursor(ByteCursor *pCursor, size_t cb);
// Steps over cb bytes, or over the rest of the body when it is shorter (the short flag set):
// a field cut off leaves nothing after it to be read in its place.
void SkipUpTo(ByteCursor *pCursor, size_t cb);

#endif
