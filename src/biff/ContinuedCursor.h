// A record's body and the CONTINUE records after it, read as one sequence of bytes: a record
// longer than the stream's record limit goes on in CONTINUE records, whatever it holds.
#ifndef CELLSIFT_BIFF_CONTINUEDCURSOR_H
#define CELLSIFT_BIFF_CONTINUEDCURSOR_H

#include <stddef.h>
#include <stdint.h>

#include "biff/ByteCursor.h"

// Reads forward from the start of a record's body, each part through a byte cursor of its
// own. A field may straddle two parts; an empty CONTINUE is passed over. A part whose header
// claims more than the stream holds ends at the stream's end. A read past the last CONTINUE
// (the stream's end, or a record of another type) yields 0 and sets the short flag.
class ContinuedCursor {
public:
    // The record whose 4-byte header starts at ibRecord of the stream.
    ContinuedCursor(const uint8_t *pbStream, size_t cbStream, size_t ibRecord);
    // Back at a place noted with IbPos and IbPartEnd, to read on from there.
    static ContinuedCursor At(const uint8_t *pbStream, size_t cbStream, size_t ibPos, size_t ibPartEnd);

    uint8_t U8() { return m_part.CbLeft() >= 1 ? m_part.U8() : U8AcrossParts(); }
    uint16_t Le16() { return m_part.CbLeft() >= 2 ? m_part.Le16() : Le16AcrossParts(); }
    uint32_t Le32() { return m_part.CbLeft() >= 4 ? m_part.Le32() : Le32AcrossParts(); }
    void Skip(size_t cb);
    // Moves to the start of the next CONTINUE record's body, leaving the rest of this part
    // unread. False, with the short flag set and this part consumed, when none follows.
    bool NextPart();
    // Bytes left in the current part (the record, or the CONTINUE being read).
    size_t CbLeftInPart() const { return m_part.CbLeft(); }
    // The next cb bytes, all of them in the current part; null, and nothing read, when the
    // part holds fewer.
    const uint8_t *BytesInPart(size_t cb) { return cb <= m_part.CbLeft() ? m_part.Bytes(cb) : nullptr; }
    size_t IbPos() const { return m_ibPart + m_part.Tell(); }
    size_t IbPartEnd() const { return IbPos() + m_part.CbLeft(); }
    bool FShort() const { return m_fShort; }

private:
    ContinuedCursor(const uint8_t *pbStream, size_t cbStream, size_t ibPart, size_t cbPart);
    // Moves to the body of the record whose header starts at ib (cut at the stream's end), when
    // a whole header is there and, when fContinueOnly, the record is a CONTINUE.
    bool EnterPartAt(size_t ib, bool fContinueOnly);
    bool EnsureByte();
    uint8_t U8AcrossParts();
    uint16_t Le16AcrossParts();
    uint32_t Le32AcrossParts();

    const uint8_t *m_pb;
    size_t m_cb;
    size_t m_ibPart; // where the current part's body starts in the stream
    ByteCursor m_part;
    bool m_fShort = false;
};

#endif
