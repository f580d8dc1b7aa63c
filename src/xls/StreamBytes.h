// The plug-in walker's reads of its stream copy, and no one else's: a read past the end of the
// stream yields 0 for each missing byte, so a cut field keeps the bytes before the cut.
#ifndef CELLSIFT_XLS_STREAMBYTES_H
#define CELLSIFT_XLS_STREAMBYTES_H

#include <stddef.h>
#include <stdint.h>

#include "biff/ByteCursor.h"

// Bounded by the end of the stream, not by the record: the walker's text depends on what lies
// past a short record's end.
inline uint8_t ReadU8(const uint8_t *pbData, size_t cbData, size_t ib)
{
    return FitsIn(ib, 1, cbData) ? pbData[ib] : 0;
}

inline uint16_t ReadLe16(const uint8_t *pbData, size_t cbData, size_t ib)
{
    return static_cast<uint16_t>(ReadU8(pbData, cbData, ib) | (ReadU8(pbData, cbData, ib + 1) << 8));
}

inline uint32_t ReadLe32(const uint8_t *pbData, size_t cbData, size_t ib)
{
    return static_cast<uint32_t>(ReadLe16(pbData, cbData, ib)) |
           (static_cast<uint32_t>(ReadLe16(pbData, cbData, ib + 2)) << 16);
}

#endif
