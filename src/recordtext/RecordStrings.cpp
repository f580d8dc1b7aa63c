// Strings of the records. Every BIFF8 string's header goes through one reader and its
// characters through another, both for a record read whole and for one read across CONTINUEs.
#include "recordtext/RecordStrings.h"

#include "unicode/TextDecode.h"

namespace {

// Where a string is stored decides how much of its header there is.
enum class StringForm {
    Rich,  // the flags byte always there, the sizes of runs and phonetic block after it
    Plain, // an empty string may end at its count; nothing follows the characters
};

template <class Cursor>
StringHeader ReadHeader(Cursor *pCursor, bool fShortCount, StringForm form)
{
    StringHeader header = {};
    header.cch = fShortCount ? pCursor->U8() : pCursor->Le16();
    if (header.cch == 0 && form == StringForm::Plain) {
        return header;
    }
    uint8_t grbit = pCursor->U8();
    header.fHighByte = (grbit & 0x01) != 0;
    if (form == StringForm::Rich) {
        header.cRun = (grbit & 0x08) ? pCursor->Le16() : 0;
        header.cbExtRst = (grbit & 0x04) ? pCursor->Le32() : 0;
    }
    return header;
}

// The rest of a record's body as a cursor of one part, with no CONTINUE after it.
ContinuedCursor RestAsOnePart(ByteCursor *pCursor)
{
    size_t cbLeft = pCursor->CbLeft();
    return ContinuedCursor::At(pCursor->Bytes(0), cbLeft, 0, cbLeft);
}

void MarkShort(ByteCursor *pCursor)
{
    pCursor->Skip(pCursor->CbLeft() + 1); // fails, and so sets the short flag
}

// Steps the body's cursor over what was read of its rest, and passes on its short flag.
void CatchUp(ByteCursor *pCursor, const ContinuedCursor &rest)
{
    pCursor->Skip(rest.IbPos());
    if (rest.FShort()) {
        MarkShort(pCursor);
    }
}

// At most cbWant of the bytes left, all of them consumed; the short flag set when fewer.
const uint8_t *TakeUpTo(ByteCursor *pCursor, size_t cbWant, size_t *pcbGot)
{
    size_t cbLeft = pCursor->CbLeft();
    if (cbWant > cbLeft) {
        MarkShort(pCursor);
    }
    *pcbGot = cbWant < cbLeft ? cbWant : cbLeft;
    return pCursor->Bytes(*pcbGot);
}

} // namespace

StringHeader ReadStringHeader(ContinuedCursor *pCursor, bool fShortCount)
{
    return ReadHeader(pCursor, fShortCount, StringForm::Rich);
}

void SkipStringTail(ContinuedCursor *pCursor, const StringHeader &header)
{
    pCursor->Skip(header.cRun * 4);
    pCursor->Skip(header.cbExtRst);
}

void ReadCharacters(ContinuedCursor *pCursor, size_t cch, bool fHighByte, std::string *ps)
{
    std::string sNone;
    Utf8Writer writer(ps != nullptr ? ps : &sNone);
    while (cch > 0) {
        if (pCursor->CbLeftInPart() == 0) {
            if (!pCursor->NextPart()) {
                break;
            }
            fHighByte = (pCursor->U8() & 0x01) != 0;
            continue;
        }
        size_t cbUnit = fHighByte ? 2 : 1;
        size_t cAvail = pCursor->CbLeftInPart() / cbUnit;
        if (cAvail == 0) {
            pCursor->Skip(pCursor->CbLeftInPart()); // half a character before the cut: damage
            continue;
        }
        size_t cHere = cch < cAvail ? cch : cAvail;
        const uint8_t *pb = pCursor->BytesInPart(cHere * cbUnit);
        if (ps == nullptr)
            ; // stepped over
        else if (fHighByte) {
            writer.AppendUtf16Le(pb, cHere);
        } else {
            writer.AppendLatin1(pb, cHere);
        }
        cch -= cHere;
    }
    writer.Finish();
}

void ReadCodePageBytes(ContinuedCursor *pCursor, size_t cb, CodePageDecoder &decoder, std::string *ps)
{
    if (cb <= pCursor->CbLeftInPart()) {
        decoder.Append(pCursor->BytesInPart(cb), cb, ps);
        return;
    }
    std::string sBytes;
    while (cb > 0 && (pCursor->CbLeftInPart() > 0 || pCursor->NextPart())) {
        size_t cbHere = cb < pCursor->CbLeftInPart() ? cb : pCursor->CbLeftInPart();
        sBytes.append(reinterpret_cast<const char *>(pCursor->BytesInPart(cbHere)), cbHere);
        cb -= cbHere;
    }
    decoder.Append(reinterpret_cast<const uint8_t *>(sBytes.data()), sBytes.size(), ps);
}

void ReadUnicodeString(ContinuedCursor *pCursor, bool fShortCount, std::string *ps)
{
    StringHeader header = ReadStringHeader(pCursor, fShortCount);
    ReadCharacters(pCursor, header.cch, header.fHighByte, ps);
    SkipStringTail(pCursor, header);
}

void ReadByteString(ContinuedCursor *pCursor, bool fShortCount, CodePageDecoder &decoder, std::string *ps)
{
    size_t cb = fShortCount ? pCursor->U8() : pCursor->Le16();
    ReadCodePageBytes(pCursor, cb, decoder, ps);
}

void ReadUnicodeString(ByteCursor *pCursor, bool fShortCount, std::string *ps)
{
    StringHeader header = ReadHeader(pCursor, fShortCount, StringForm::Plain);
    if (header.cch == 0) {
        return;
    }
    ContinuedCursor rest = RestAsOnePart(pCursor);
    ReadCharacters(&rest, header.cch, header.fHighByte, ps);
    CatchUp(pCursor, rest);
}

void ReadByteString(ByteCursor *pCursor, bool fShortCount, CodePageDecoder &decoder, std::string *ps)
{
    size_t cb = fShortCount ? pCursor->U8() : pCursor->Le16();
    ContinuedCursor rest = RestAsOnePart(pCursor);
    ReadCodePageBytes(&rest, cb, decoder, ps);
    CatchUp(pCursor, rest);
}

void ReadUtf16(ByteCursor *pCursor, size_t cch, std::string *ps)
{
    size_t cbGot;
    const uint8_t *pb = TakeUpTo(pCursor, cch <= SIZE_MAX / 2 ? 2 * cch : SIZE_MAX, &cbGot);
    ByteCursor units(pb, cbGot);
    size_t cchText = 0;
    while (units.CbLeft() >= 2 && units.Le16() != 0) {
        cchText++;
    }
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
