// The strings stored in records, read through a cursor over one record's body or through a
// cursor across a record and its CONTINUE records: one reader of each string form for both.
#ifndef CELLSIFT_RECORDTEXT_RECORDSTRINGS_H
#define CELLSIFT_RECORDTEXT_RECORDSTRINGS_H

#include <stddef.h>

#include <string>

#include "biff/ByteCursor.h"
#include "biff/ContinuedCursor.h"

class CodePageDecoder;

// What comes before a BIFF8 string's characters: a count (one byte when fShortCount, else
// two), option flags, and the sizes of what the flags say follows the characters.
struct StringHeader {
    size_t cch;
    bool fHighByte;
    size_t cRun;     // formatting runs of 4 bytes each, after the characters
    size_t cbExtRst; // the phonetic block, after the runs
};
StringHeader ReadStringHeader(ContinuedCursor *pCursor, bool fShortCount);
// Steps over the runs and phonetic block after a string's characters.
void SkipStringTail(ContinuedCursor *pCursor, const StringHeader &header);
// cch characters, starting fHighByte wide; at each CONTINUE crossed a flags byte gives the
// width of the rest. Appended to *ps as UTF-8, or stepped over when ps is null. A character
// cut in half by the end of a part is stepped over.
void ReadCharacters(ContinuedCursor *pCursor, size_t cch, bool fHighByte, std::string *ps);
// cb bytes in the workbook's code page, gathered across parts before they are decoded.
void ReadCodePageBytes(ContinuedCursor *pCursor, size_t cb, CodePageDecoder &decoder, std::string *ps);

// A whole BIFF8 string, read past its runs and phonetic block (steps over its characters when
// ps is null).
void ReadUnicodeString(ContinuedCursor *pCursor, bool fShortCount, std::string *ps);
// A BIFF2-7 string: a count as above, then bytes in the workbook's code page.
void ReadByteString(ContinuedCursor *pCursor, bool fShortCount, CodePageDecoder &decoder, std::string *ps);

// The records read whole keep within their body: a string whose count runs past it keeps the
// characters that are there, and sets the cursor's short flag.

// A BIFF8 string as the records read whole store it: an empty one may end at its count, and
// of the flags only the width counts, as nothing follows its characters.
void ReadUnicodeString(ByteCursor *pCursor, bool fShortCount, std::string *ps);
void ReadByteString(ByteCursor *pCursor, bool fShortCount, CodePageDecoder &decoder, std::string *ps);
// cch UTF-16 units without a count; a NUL unit ends the text (the rest is consumed).
void ReadUtf16(ByteCursor *pCursor, size_t cch, std::string *ps);
// The next cb bytes as a cursor of their own; fewer when the body ends first.
ByteCursor TakeCursor(ByteCursor *pCursor, size_t cb);
// Steps over cb bytes, or over the rest of the body when it is shorter (the short flag set):
// a field cut off leaves nothing after it to be read in its place.
void SkipUpTo(ByteCursor *pCursor, size_t cb);

#endif
