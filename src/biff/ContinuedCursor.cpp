// Reading a record across its CONTINUE records: finding each part's body from its header and
// carrying a field that straddles two parts.
#include "biff/ContinuedCursor.h"

#include "biff/RecordTypes.h"

ContinuedCursor::ContinuedCursor(const uint8_t *pbStream, size_t cbStream, size_t ibPart, size_t cbPart)
        : m_pb(pbStream), m_cb(cbStream), m_ibPart(ibPart), m_part(pbStream + ibPart, cbPart)
{}

ContinuedCursor::ContinuedCursor(const uint8_t *pbStream, size_t cbStream, size_t ibRecord)
        : ContinuedCursor(pbStream, cbStream, cbStream, 0)
{
    if (FitsIn(ibRecord, 4, cbStream))
        EnterPartAt(ibRecord);
}

ContinuedCursor ContinuedCursor::At(const uint8_t *pbStream, size_t cbStream, size_t ibPos, size_t ibPartEnd)
{
    size_t ibEnd = ibPartEnd <= cbStream ? ibPartEnd : cbStream;
    size_t ib = ibPos <= ibEnd ? ibPos : ibEnd;
    return ContinuedCursor(pbStream, cbStream, ib, ibEnd - ib);
}

void ContinuedCursor::EnterPartAt(size_t ib)
{
    ByteCursor header(m_pb + ib, 4);
    header.Skip(2); // the type, which the caller has checked
    size_t cbBody = header.Le16();
    m_ibPart = ib + 4;
    size_t cbThere = m_cb - m_ibPart;
    m_part = ByteCursor(m_pb + m_ibPart, cbBody <= cbThere ? cbBody : cbThere);
}

bool ContinuedCursor::NextPart()
{
    size_t ibNext = IbPartEnd();
    if (!FitsIn(ibNext, 4, m_cb) || ByteCursor(m_pb + ibNext, 2).Le16() != rtContinue) {
        m_part.Skip(m_part.CbLeft());
        m_fShort = true;
        return false;
    }
    EnterPartAt(ibNext);
    return true;
}

bool ContinuedCursor::EnsureByte()
{
    while (m_part.CbLeft() == 0) {
        if (!NextPart())
            return false;
    }
    return true;
}

uint8_t ContinuedCursor::U8AcrossParts()
{
    if (!EnsureByte())
        return 0;
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
