// Bounds-checked little-endian reads of file bytes: the only code that touches raw bytes
// of the stream. A read outside the buffer yields 0 and reads nothing.
#ifndef CELLSIFT_XLS_BYTEREADER_H
#define CELLSIFT_XLS_BYTEREADER_H

#include <stddef.h>
#include <stdint.h>

// True when cb bytes at ib lie inside a buffer of cbData bytes; cannot overflow.
inline bool InBounds(size_t ib, size_t cb, size_t cbData)
{
    return cb <= cbData && ib <= cbData - cb;
}

inline uint8_t ReadU8(const uint8_t *pbData, size_t cbData, size_t ib)
{
    return InBounds(ib, 1, cbData) ? pbData[ib] : 0;
}

// Bytes past the end of the buffer read as 0, so a field cut off by the end of the stream
// keeps the bytes that exist.
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
