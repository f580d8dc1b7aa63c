// The reader's UTF-8 text as code units of one width (1, 2 or 4 bytes), the form in which
// scripting languages keep their strings: measured first, then converted in place.
#ifndef CELLSIFT_UNICODE_UTF8UNITS_H
#define CELLSIFT_UNICODE_UTF8UNITS_H

#include <stddef.h>
#include <stdint.h>

// The characters of cb bytes at pch (the bytes that do not continue a sequence) and the
// largest value a unit must hold for them: 0x7F, 0xFF, 0xFFFF or 0x10FFFF, read off the
// largest lead byte. False for a lead byte that no valid text has (C0, C1, F5 and above).
bool MeasureUtf8(const char *pch, size_t cb, size_t *pcch, uint32_t *pwMax);

// Writes the units of the text: exactly cUnits, as many as MeasureUtf8 counted, and nowhere
// else, whatever the bytes are. For valid UTF-8 whose largest value the width holds they are its
// code points; otherwise a unit holds what bits its bytes give, never past U+10FFFF.
void Utf8ToUnits(const char *pch, size_t cb, size_t cUnits, uint8_t *pUnit);
void Utf8ToUnits(const char *pch, size_t cb, size_t cUnits, uint16_t *pUnit);
void Utf8ToUnits(const char *pch, size_t cb, size_t cUnits, uint32_t *pUnit);

#endif
