// Character data into the output's form: UTF-16 to the ANSI code page, 8-bit bytes taken as
// they are, control characters cleaned, and the width test for text no header declares.
#ifndef CELLSIFT_XLS_RAWTEXT_H
#define CELLSIFT_XLS_RAWTEXT_H

#include <stdint.h>

#include "text/Vstr.h"

// True on a system of the NT family; asked once, then remembered.
bool IsWindowsNT();

// True when the cb bytes at pb are taken as UTF-16LE; then *pbShifted (when not null) tells
// whether the text starts at the second byte. The bytes must exist.
bool IsUtf16Text(const uint8_t *pb, int32_t cb, bool *pbShifted);

// Replaces text by cUnits UTF-16LE units at pbUnits (any alignment) in the ANSI code page,
// cleaned and cut at the first U+0000. False, text untouched, when nothing or only "?" came out.
bool ConvertUtf16ToAnsi(const uint8_t *pbUnits, int32_t cUnits, Vstr &text);

// Replaces text by the cb bytes at pb, cleaned, zero bytes included: always cb characters.
void CopyAnsiText(const uint8_t *pb, int32_t cb, Vstr &text);

// Decodes cb bytes of undeclared width at pbData + ib into text; a negative cb reads nothing.
void DecodeRawText(const uint8_t *pbData, int32_t ib, int32_t cb, Vstr &text);

#endif
