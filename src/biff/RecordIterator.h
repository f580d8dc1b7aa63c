// Steps over the records of a workbook stream between two offsets: each record's type and its
// body, bounded by the record. The one loop over record headers that the workbook reader uses.
#ifndef CELLSIFT_BIFF_RECORDITERATOR_H
#define CELLSIFT_BIFF_RECORDITERATOR_H

#include <stddef.h>
#include <stdint.h>

#include "biff/ByteCursor.h"
#include "biff/RecordTypes.h"

struct BiffRecord {
    uint16_t wType;
    size_t ib;     // where its header starts in the stream
    size_t cbBody; // its body follows the 4-byte header
    ByteCursor Body(const uint8_t *pbStream) const { return ByteCursor(pbStream + ib + 4, cbBody); }
    size_t IbNext() const { return ib + 4 + cbBody; }
};

// Records from ibStart up to ibLimit. Next is false at the limit, before a header cut off by
// it, or at a record whose body runs past it (FOverlong then: the stream is cut short, or
// the offsets are damaged).
class RecordIterator {
public:
    RecordIterator(const uint8_t *pbStream, size_t ibStart, size_t ibLimit)
            : m_pb(pbStream), m_ib(ibStart), m_ibLimit(ibLimit)
    {}

    bool Next(BiffRecord *pRecord)
    {
        if (!FitsIn(m_ib, 4, m_ibLimit))
            return false;
        const uint8_t *pb = m_pb + m_ib;
        pRecord->wType = static_cast<uint16_t>(pb[0] | (pb[1] << 8));
        pRecord->cbBody = static_cast<size_t>(pb[2] | (pb[3] << 8));
        pRecord->ib = m_ib;
        if (pRecord->cbBody > m_ibLimit - m_ib - 4) {
            m_fOverlong = true;
            return false;
        }
        m_ib = pRecord->IbNext();
        return true;
    }
    // Where the next record would start: after the last one returned.
    size_t IbNext() const { return m_ib; }
    bool FOverlong() const { return m_fOverlong; }

private:
    const uint8_t *m_pb;
    size_t m_ib;
    size_t m_ibLimit;
    bool m_fOverlong = false;
};

// A password or an obfuscation leaves a FILEPASS record in the stream, and
// every record body after it ciphertext.
inline bool ContainsFilePass(const uint8_t *pbStream, size_t cbStream)
{
    RecordIterator it(pbStream, 0, cbStream);
    BiffRecord record;
    while (it.Next(&record)) {
        if (record.wType == rtFilePass)
            return true;
    }
    return false;
}

#endif
