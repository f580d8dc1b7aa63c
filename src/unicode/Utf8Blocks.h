// The vector part of turning UTF-16LE units and Latin-1 bytes into UTF-8: whole blocks of
// characters below U+0800, with AVX2 where the processor has it and SSE2 otherwise.
#ifndef CELLSIFT_UNICODE_UTF8BLOCKS_H
#define CELLSIFT_UNICODE_UTF8BLOCKS_H

#include <stddef.h>
#include <stdint.h>

// Converts the units at pb from the start while each block of them is below U+0800 (so holds
// no surrogate), and stops at the first block that is not or that might not fit in cchRoom
// bytes at pch; the caller converts what is left. Returns the units done; *pcch receives the
// bytes written, each unit's UTF-8 form exactly. Bytes past those but within cchRoom may be
// overwritten. Reads nothing past cUnits. The AVX2 form also does a last part of a block.
size_t Utf16BlocksToUtf8(const uint8_t *pb, size_t cUnits, char *pch, size_t cchRoom, size_t *pcch);

// The same for Latin-1 bytes, every one of which is below U+0800.
size_t Latin1BlocksToUtf8(const uint8_t *pb, size_t cb, char *pch, size_t cchRoom, size_t *pcch);

// The bytes below 0x80 at the start of pb: what may be copied as it is.
size_t CbAsciiPrefix(const uint8_t *pb, size_t cb);

// Whether the AVX2 forms are used, here and by the output's scans: chosen at start from what
// the processor has. Tests turn them off to check the SSE2 forms; UseAvx2Blocks returns
// whether they are on after the call.
bool FAvx2Blocks();
bool UseAvx2Blocks(bool fWant);

#endif
