// Reading a record across its CONTINUE records: each part framed by the record iterator, as
// every reader frames records, and a field that straddles two parts carried across.
#include "biff/ContinuedCursor.h"

#include "biff/RecordIterator.h"

ContinuedCursor::ContinuedCursor(const uint8_t *pbStream, size_t cbStream, size_t ibPart, size_t cbPart)
        : m_pb(pbStream), m_cb(cbStream), m_ibPart(ibPart), m_part(pbStream + ibPart, cbPart)
{}

ContinuedCursor::ContinuedCursor(const uint8_t *pbStream, size_t cbStream, size_t ibRecord)
        : ContinuedCursor(pbStream, cbStream, cbStream, 0)
{
    EnterPartAt(ibRecord, false);
}

ContinuedCursor ContinuedCursor::At(const uint8_t *pbStream, size_t cbStream, size_t ibPos, size_t ibPartEnd)
{
    size_t ibEnd = ibPartEnd <= cbStream ? ibPartEnd : cbStream;
    size_t ib = ibPos <= ibEnd ? ibPos : ibEnd;
    return ContinuedCursor(pbStream, cbStream, ib, ibEnd - ib);
}

bool ContinuedCursor::EnterPartAt(size_t ib, bool fContinueOnly)
{
    RecordIterator it(m_pb, ib, m_cb);
    BiffRecord record;
    if (!it.Next(&record, Overlong::Clamp) || (fContinueOnly && record.wType != rtContinue)) {
        return false;
    }
    m_ibPart = record.ib + 4;
    m_part = record.Body(m_pb);
    return true;
}

bool ContinuedCursor::NextPart()
{
    if (!EnterPartAt(IbPartEnd(), true)) {
        m_part.Skip(m_part.CbLeft());
        m_fShort = true;
        return false;
    }
    return true;
}

bool ContinuedCursor::EnsureByte()
{
    while (m_part.CbLeft() == 0) {
        if (!NextPart()) {
            return false;
        }
    }
    return true;
}

uint8_t ContinuedCursor::U8AcrossParts()
{
    if (!EnsureByte()) {
        return 0;
    }
    return m_part.U8();
}

// A field that straddles parts is gathered a byte at a time: bytes past the last part read
// as 0, so a field cut off there keeps the bytes that exist.
uint16_t ContinuedCursor::Le16AcrossParts()
{
    uint8_t rgb[2] = {U8(), U8()};
    return ByteCursor(rgb, sizeof(rgb)).Le16();
}

uint32_t ContinuedCursor::Le32AcrossParts()
{
    uint8_t rgb[4] = {U8(), U8(), U8(), U8()};
    return ByteCursor(rgb, sizeof(rgb)).Le32();
}

void ContinuedCursor::Skip(size_t cb)
{
    while (cb > 0 && EnsureByte()) {
        size_t cbHere = cb < m_part.CbLeft() ? cb : m_part.CbLeft();
        m_part.Skip(cbHere);
        cb -= cbHere;
    }
}
