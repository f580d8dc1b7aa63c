// Finding the next byte an escape of the written forms must look at: most of a workbook's text
// needs none, so its runs are passed over 32 bytes at a time with AVX2, 16 with SSE2.
#ifndef CELLSIFT_OUTPUT_BYTESTOPS_H
#define CELLSIFT_OUTPUT_BYTESTOPS_H

#include <stddef.h>

// Each returns the first byte at or after i, before cb, that the form may change, or cb.
// A line's text: bytes below 0x20, DEL, and the lead bytes of C1 (0xC2) and of the line
// and paragraph separators (0xE2).
size_t SkipToLineStop(const unsigned char *pb, size_t i, size_t cb);
// A JSON string's: bytes below 0x20, the quote and the backslash.
size_t SkipToJsonStop(const unsigned char *pb, size_t i, size_t cb);
// A CSV field's: the comma, the quote, CR, LF and the form feed (quotes), and NUL.
size_t SkipToCsvStop(const unsigned char *pb, size_t i, size_t cb);

#endif
