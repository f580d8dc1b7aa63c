// Reading across CONTINUE records. A string that does not fit its record goes on in the next
// CONTINUE; its characters there start with a fresh flags byte, the rest of it does not.
#include "workbook/ContinuedRecord.h"

#include "biff/ByteCursor.h"
#include "biff/RecordTypes.h"
#include "workbook/TextDecode.h"

namespace {

// The body size in the record header at ib, which fits the stream.
size_t CbBodyAt(const uint8_t *pb, size_t ib)
{
    return static_cast<size_t>(pb[ib + 2] | (pb[ib + 3] << 8));
}

} // namespace

ContinuedRecord::ContinuedRecord(const uint8_t *pbStream, size_t cbStream, size_t ibRecord)
        : m_pb(pbStream), m_cb(cbStream), m_fShort(false)
{
    if (!FitsIn(ibRecord, 4, cbStream)) {
        m_ib = m_ibEnd = cbStream;
        return;
    }
    size_t cbBody = CbBodyAt(pbStream, ibRecord);
    m_ib = ibRecord + 4;
    m_ibEnd = cbBody <= cbStream - m_ib ? m_ib + cbBody : cbStream;
}

ContinuedRecord ContinuedRecord::At(const uint8_t *pbStream, size_t cbStream, size_t ibPos, size_t ibPartEnd)
{
    ContinuedRecord record(pbStream, cbStream, cbStream);
    record.m_ibEnd = ibPartEnd <= cbStream ? ibPartEnd : cbStream;
    record.m_ib = ibPos <= record.m_ibEnd ? ibPos : record.m_ibEnd;
    return record;
}

bool ContinuedRecord::NextPart()
{
    size_t ibNext = m_ibEnd;
    if (!FitsIn(ibNext, 4, m_cb) || (m_pb[ibNext] | (m_pb[ibNext + 1] << 8)) != rtContinue) {
        m_ib = m_ibEnd;
        m_fShort = true;
        return false;
    }
    size_t cbBody = CbBodyAt(m_pb, ibNext);
    m_ib = ibNext + 4;
    m_ibEnd = cbBody <= m_cb - m_ib ? m_ib + cbBody : m_cb;
    return true;
}

// A field may straddle two parts; an empty CONTINUE is passed over like any other.
bool ContinuedRecord::EnsureByte()
{
    while (m_ib == m_ibEnd) {
        if (!NextPart())
            return false;
    }
    return true;
}

uint8_t ContinuedRecord::ReadU8AcrossParts()
{
    if (!EnsureByte())
        return 0;
    return m_pb[m_ib++];
}

uint16_t ContinuedRecord::ReadLe16AcrossParts()
{
    uint16_t wLow = ReadU8();
    return (uint16_t)(wLow | (ReadU8() << 8));
}

uint32_t ContinuedRecord::ReadLe32()
{
    uint32_t dwLow = ReadLe16();
    return dwLow | ((uint32_t)ReadLe16() << 16);
}

void ContinuedRecord::Skip(size_t cb)
{
    while (cb > 0 && EnsureByte()) {
        size_t cbHere = cb < m_ibEnd - m_ib ? cb : m_ibEnd - m_ib;
        m_ib += cbHere;
        cb -= cbHere;
    }
}

ContinuedRecord::StringHeader ContinuedRecord::ReadStringHeader(bool fShortCount)
{
    StringHeader header;
    header.cch = fShortCount ? ReadU8() : ReadLe16();
    uint8_t grbit = ReadU8();
    header.fHighByte = (grbit & 0x01) != 0;
    header.cRun = (grbit & 0x08) ? ReadLe16() : 0;
    header.cbExtRst = (grbit & 0x04) ? ReadLe32() : 0;
    return header;
}

void ContinuedRecord::SkipStringTail(const StringHeader &header)
{
    Skip(header.cRun * 4);
    Skip(header.cbExtRst);
}

void ContinuedRecord::ReadUnicodeString(bool fShortCount, std::string *ps)
{
    StringHeader header = ReadStringHeader(fShortCount);
    ReadCharacters(header.cch, header.fHighByte, ps);
    SkipStringTail(header);
}

void ContinuedRecord::ReadCharacters(size_t cch, bool fHighByte, std::string *ps)
{
    std::string sNone;
    Utf8Writer writer(ps != nullptr ? ps : &sNone);
    while (cch > 0) {
        if (m_ib == m_ibEnd) {
            if (!NextPart())
                break;
            fHighByte = (ReadU8() & 0x01) != 0;
            continue;
        }
        size_t cbUnit = fHighByte ? 2 : 1;
        size_t cAvail = (m_ibEnd - m_ib) / cbUnit;
        if (cAvail == 0) {
            m_ib = m_ibEnd; // half a character before the cut: damage, stepped over
            continue;
        }
        size_t cHere = cch < cAvail ? cch : cAvail;
        if (ps == nullptr)
            ; // stepped over
        else if (fHighByte)
            writer.AppendUtf16Le(m_pb + m_ib, cHere);
        else
            writer.AppendLatin1(m_pb + m_ib, cHere);
        m_ib += cHere * cbUnit;
        cch -= cHere;
    }
    writer.Finish();
}

void ContinuedRecord::ReadByteString(size_t cb, CodePageDecoder &decoder, std::string *ps)
{
    if (cb <= m_ibEnd - m_ib) {
        decoder.Append(m_pb + m_ib, cb, ps);
        m_ib += cb;
        return;
    }
    m_sBytes.clear();
    while (cb > 0 && EnsureByte()) {
        size_t cbHere = cb < m_ibEnd - m_ib ? cb : m_ibEnd - m_ib;
        m_sBytes.append((const char *)m_pb + m_ib, cbHere);
        m_ib += cbHere;
        cb -= cbHere;
    }
    decoder.Append((const uint8_t *)m_sBytes.data(), m_sBytes.size(), ps);
}
