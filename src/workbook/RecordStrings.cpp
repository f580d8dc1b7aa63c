// Strings of a record read whole. The cursor itself never reads past its block; what is added
// here is the rule for a count that claims more: the characters that are there are kept.
#include "workbook/RecordStrings.h"

#include "workbook/TextDecode.h"

namespace {

// At most cbWant of the bytes left, all of them consumed; the short flag set when fewer.
const uint8_t *TakeUpTo(ByteCursor *pCursor, size_t cbWant, size_t *pcbGot)
{
    size_t cbLeft = pCursor->CbLeft();
    if (cbWant > cbLeft)
        pCursor->Skip(cbLeft + 1); // fails, and so sets the short flag
    *pcbGot = cbWant < cbLeft ? cbWant : cbLeft;
    return pCursor->Bytes(*pcbGot);
}

} // namespace

void ReadUnicodeString(ByteCursor *pCursor, bool fShortCount, std::string *ps)
{
    size_t cch = fShortCount ? pCursor->U8() : pCursor->Le16();
    if (cch == 0)
        return;
    bool fHighByte = (pCursor->U8() & 0x01) != 0;
    size_t cbGot;
    const uint8_t *pb = TakeUpTo(pCursor, fHighByte ? 2 * cch : cch, &cbGot);
    Utf8Writer writer(ps);
    if (fHighByte)
        writer.AppendUtf16Le(pb, cbGot / 2);
    else
        writer.AppendLatin1(pb, cbGot);
    writer.Finish();
}

void ReadByteString(ByteCursor *pCursor, bool fShortCount, CodePageDecoder &decoder, std::string *ps)
{
    size_t cb = fShortCount ? pCursor->U8() : pCursor->Le16();
    size_t cbGot;
    const uint8_t *pb = TakeUpTo(pCursor, cb, &cbGot);
    decoder.Append(pb, cbGot, ps);
}

void ReadUtf16(ByteCursor *pCursor, size_t cch, std::string *ps)
{
    size_t cbGot;
    const uint8_t *pb = TakeUpTo(pCursor, cch <= SIZE_MAX / 2 ? 2 * cch : SIZE_MAX, &cbGot);
    size_t cchText = 0;
    while (cchText < cbGot / 2 && (pb[2 * cchText] | pb[2 * cchText + 1]) != 0)
        cchText++;
    Utf8Writer writer(ps);
    writer.AppendUtf16Le(pb, cchText);
    writer.Finish();
}

ByteCursor TakeCursor(ByteCursor *pCursor, size_t cb)
{
    size_t cbGot;
    const uint8_t *pb = TakeUpTo(pCursor, cb, &cbGot);
    return ByteCursor(pb, cbGot);
}

void SkipUpTo(ByteCursor *pCursor, size_t cb)
{
    size_t cbGot;
    TakeUpTo(pCursor, cb, &cbGot);
}
