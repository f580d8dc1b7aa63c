// A cursor over one bounded block of file bytes (a record's body, a sector) for the reader, the
// compound document and decryption. A read that does not fit changes nothing and is remembered.
#ifndef CELLSIFT_BIFF_BYTECURSOR_H
#define CELLSIFT_BIFF_BYTECURSOR_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// True when cb bytes at ib lie inside a block of cbData bytes; cannot overflow.
inline bool FitsIn(size_t ib, size_t cb, size_t cbData)
{
    return cb <= cbData && ib <= cbData - cb;
}

// The little-endian unit at pb, for the decoding kernels that walk a span their caller has
// bounded already; every other read of file bytes goes through the cursor below.
inline uint16_t Le16At(const uint8_t *pb)
{
    return static_cast<uint16_t>(pb[0] | (pb[1] << 8));
}

// Little-endian reads. A read that does not fit the block yields 0, leaves the position where
// it was and sets the short flag, which stays set: the caller checks it once, after the reads
// of a record, and then knows that none of the values came from outside the block.
class ByteCursor {
public:
    ByteCursor(const uint8_t *pb, size_t cb) : m_pb(pb), m_cb(cb) {}

    uint8_t U8()
    {
        if (!Take(1)) {
            return 0;
        }
        return m_pb[m_ib - 1];
    }
    uint16_t Le16()
    {
        if (!Take(2)) {
            return 0;
        }
        return Le16At(m_pb + m_ib - 2);
    }
    uint32_t Le32()
    {
        if (!Take(4)) {
            return 0;
        }
        const uint8_t *pb = m_pb + m_ib - 4;
        return static_cast<uint32_t>(pb[0]) | (static_cast<uint32_t>(pb[1]) << 8) |
               (static_cast<uint32_t>(pb[2]) << 16) | (static_cast<uint32_t>(pb[3]) << 24);
    }
    double Double()
    {
        uint64_t qw = Le32();
        qw |= static_cast<uint64_t>(Le32()) << 32;
        double d;
        memcpy(&d, &qw, sizeof(d));
        return d;
    }
    // The next cb bytes, stepped over; null when fewer are left.
    const uint8_t *Bytes(size_t cb)
    {
        if (!Take(cb)) {
            return nullptr;
        }
        return m_pb + m_ib - cb;
    }
    bool Skip(size_t cb) { return Take(cb); }

    size_t Tell() const { return m_ib; }
    size_t CbLeft() const { return m_cb - m_ib; }
    bool FShort() const { return m_fShort; }

private:
    bool Take(size_t cb)
    {
        if (!FitsIn(m_ib, cb, m_cb)) {
            m_fShort = true;
            return false;
        }
        m_ib += cb;
        return true;
    }

    const uint8_t *m_pb;
    size_t m_cb;
    size_t m_ib = 0;
    bool m_fShort = false;
};

#endif
