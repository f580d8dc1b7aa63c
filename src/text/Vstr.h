// Vstr: the growable single-byte, NUL-terminated text buffer in which the plug-in gathers
// and decodes text. It grows by 256 bytes beyond each request and reports misuse on stderr.
#ifndef CELLSIFT_TEXT_VSTR_H
#define CELLSIFT_TEXT_VSTR_H

#include <stdint.h>

class Vstr {
public:
    // A new Vstr owns a 258-byte block holding the empty text.
    Vstr();
    ~Vstr();
    Vstr(const Vstr &) = delete;
    Vstr &operator=(const Vstr &) = delete;

    // Replaces the text by psz; null empties it. The block never shrinks.
    Vstr &Assign(const char *psz);
    // Appends psz, or the other buffer's text. Neither may point into this buffer.
    Vstr &Append(const char *psz);
    Vstr &Append(const Vstr &other);

    uint32_t GetLength() const { return m_nLength; }
    uint32_t GetCapacity() const { return m_nCapacity; }
    // Valid until the next call that may grow the block.
    const char *GetText() const { return m_pData; }

    // Makes the block larger than cb bytes: cb + 256 when it has to grow. When the memory
    // cannot be had, or cb + 256 would not fit 32 bits, "REALLOC_RETURN_NULL" goes to stderr
    // and the block stays as it was.
    void Reserve(uint32_t cb);
    // From now on the text never grows past cchMax characters; appends drop what lies beyond,
    // silently. Text that no reader will see then costs neither memory nor time.
    void LimitLength(uint32_t cchMax) { m_nLengthMax = cchMax; }
    // Cuts the text at ib when ib lies inside it; otherwise "OUT_OF_RANGE" goes to stderr.
    void Truncate(uint32_t ib);

private:
    // Appends cb bytes of pb; what lies past the limit, or does not fit a block that could
    // not grow, is dropped.
    void AppendBytes(const char *pb, uint32_t cb);

    uint32_t m_nLength;
    uint32_t m_nCapacity;
    char *m_pData;
    uint32_t m_nLengthMax;
};

#endif
