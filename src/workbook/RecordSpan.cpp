// Bounded reads over a record body. A string whose count runs past the body keeps the
// characters that are there: a damaged record still gives what it holds.
#include "workbook/RecordSpan.h"

#include "workbook/TextDecode.h"
#include "xls/ByteReader.h"

uint8_t RecordSpan::ReadU8()
{
    const uint8_t *pb = Take(1);
    return pb != nullptr ? pb[0] : 0;
}

uint16_t RecordSpan::ReadLe16()
{
    const uint8_t *pb = Take(2);
    return pb != nullptr ? ::ReadLe16(pb, 2, 0) : 0;
}

uint32_t RecordSpan::ReadLe32()
{
    const uint8_t *pb = Take(4);
    return pb != nullptr ? ::ReadLe32(pb, 4, 0) : 0;
}

void RecordSpan::Skip(size_t cb)
{
    if (cb > CbLeft()) {
        m_fShort = true;
        cb = CbLeft();
    }
    m_ib += cb;
}

const uint8_t *RecordSpan::Take(size_t cb)
{
    if (cb > CbLeft()) {
        m_fShort = true;
        return nullptr;
    }
    const uint8_t *pb = m_pb + m_ib;
    m_ib += cb;
    return pb;
}

RecordSpan RecordSpan::TakeSpan(size_t cb)
{
    size_t cbThere = cb <= CbLeft() ? cb : CbLeft();
    RecordSpan part(m_pb + m_ib, cbThere);
    Skip(cb);
    return part;
}

void RecordSpan::ReadUnicodeString(bool fShortCount, std::string *ps)
{
    size_t cch = fShortCount ? ReadU8() : ReadLe16();
    if (cch == 0)
        return;
    bool fHighByte = (ReadU8() & 0x01) != 0;
    size_t cbChar = fHighByte ? 2 : 1;
    size_t cchThere = CbLeft() / cbChar;
    if (cch > cchThere) {
        m_fShort = true;
        cch = cchThere;
    }
    const uint8_t *pb = Take(cch * cbChar);
    Utf8Writer writer(ps);
    if (fHighByte)
        writer.AppendUtf16Le(pb, cch);
    else
        writer.AppendLatin1(pb, cch);
    writer.Finish();
}

void RecordSpan::ReadByteString(bool fShortCount, CodePageDecoder &decoder, std::string *ps)
{
    size_t cb = fShortCount ? ReadU8() : ReadLe16();
    if (cb > CbLeft()) {
        m_fShort = true;
        cb = CbLeft();
    }
    decoder.Append(Take(cb), cb, ps);
}

void RecordSpan::ReadUtf16(size_t cch, std::string *ps)
{
    if (cch > CbLeft() / 2) {
        m_fShort = true;
        cch = CbLeft() / 2;
    }
    const uint8_t *pb = Take(cch * 2);
    size_t cchText = 0;
    while (cchText < cch && (pb[2 * cchText] | pb[2 * cchText + 1]) != 0)
        cchText++;
    Utf8Writer writer(ps);
    writer.AppendUtf16Le(pb, cchText);
    writer.Finish();
}
