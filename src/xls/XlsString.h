// The unicode-string header of a workbook stream (count, option flags, run count,
// extension size) and the decoding of one piece of a string's characters.
#ifndef CELLSIFT_XLS_XLSSTRING_H
#define CELLSIFT_XLS_XLSSTRING_H

#include <stddef.h>
#include <stdint.h>

#include "text/Vstr.h"

struct XlsStringState {
    uint16_t cbChars;  // bytes of character data (of the piece in hand, once split)
    uint8_t fHighByte; // 1 when the characters are 16-bit
    uint8_t grbit;     // the option flags as read
    uint16_t cRun;     // formatting runs after the characters
    uint32_t cbExtRst; // extension block after the runs
    // Bytes after the header: characters, runs, extension. 64-bit, because the three can sum
    // past 32 bits, and a wrapped sum would step the walker back into characters it emitted.
    uint64_t cbBody;
    uint16_t cbHeader; // 3, 5, 7 or 9
};

// Parses the header at pbData + ib into state. cbData is the number of bytes from pbData to
// the end of the stream: a header cut off there reads its missing bytes as 0. Returns false,
// with the failure flag raised, when the option flags hold an undefined bit; state then holds
// the parsed values all the same.
bool ParseXlsStringHeader(const uint8_t *pbData, int32_t ib, size_t cbData, XlsStringState &state);

// Replaces text by the state.cbChars bytes at pbData + ib, 16-bit when state.fHighByte is not
// 0 (an odd last byte left out), else 8-bit. The bytes must exist. A 16-bit piece that yields
// nothing leaves text as it was.
void DecodeXlsStringPiece(const uint8_t *pbData, int32_t ib, XlsStringState state, Vstr &text);

#endif
