// Header and footer text. The codes are those a page layout dialog writes; anything else after
// an ampersand is dropped with it, since it only changes how the text looks.
#include "recordtext/HeaderFooter.h"

#include <algorithm>

#include "recordtext/RecordStrings.h"
#include "unicode/TextDecode.h"

namespace {

const char *FieldWord(char ch)
{
    switch (ch) {
    case 'P': return "[page]";
    case 'N': return "[pages]";
    case 'D': return "[date]";
    case 'T': return "[time]";
    case 'F': return "[file]";
    case 'Z': return "[path]";
    case 'A': return "[sheet]";
    case 'G': return "[picture]";
    default: return nullptr;
    }
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

bool IsHexDigit(char ch)
{
    return IsDigit(ch) || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
}

// Steps over the operand of a code at raw[i] (just after the letter or the ampersand):
// a font in quotes, a colour after &K, a font size. Returns where the text goes on.
size_t SkipOperand(std::string_view raw, size_t i, char chCode)
{
    if (chCode == '"') {
        // A font whose closing quote is missing (its string cut short, or misread) names no
        // font: what follows it is kept as text rather than lost with it.
        size_t iQuote = raw.find('"', i);
        return iQuote == std::string_view::npos ? i : iQuote + 1;
    }
    if (chCode == 'K') {
        size_t iEnd = i;
        while (iEnd < raw.size() && iEnd - i < 6 &&
               (IsHexDigit(raw[iEnd]) || raw[iEnd] == '+' || raw[iEnd] == '-')) {
            iEnd++;
        }
        return iEnd;
    }
    if (IsDigit(chCode)) {
        while (i < raw.size() && IsDigit(raw[i])) {
            i++;
        }
    }
    return i;
}

void AppendSection(const std::string &section, std::string *ps)
{
    size_t iFirst = section.find_first_not_of(" \t\r\n");
    if (iFirst == std::string::npos) {
        return;
    }
    size_t iLast = section.find_last_not_of(" \t\r\n");
    if (!ps->empty()) {
        ps->push_back(' ');
    }
    ps->append(section, iFirst, iLast - iFirst + 1);
}

} // namespace

std::string DecodeHeaderFooter(std::string_view raw)
{
    std::string rgsSection[3]; // left, centre, right
    std::string *psSection = &rgsSection[1];
    size_t i = 0;
    while (i < raw.size()) {
        size_t iAmp = raw.find('&', i);
        size_t iTextEnd = iAmp == std::string_view::npos ? raw.size() : iAmp;
        psSection->append(raw.substr(i, iTextEnd - i));
        if (iAmp == std::string_view::npos || iAmp + 1 == raw.size()) {
            break;
        }
        char chCode = raw[iAmp + 1];
        i = iAmp + 2;
        if (chCode == '&') {
            psSection->push_back('&');
        } else if (chCode == 'L' || chCode == 'C' || chCode == 'R') {
            psSection = &rgsSection[chCode == 'L' ? 0 : chCode == 'C' ? 1 : 2];
        } else if (const char *pszWord = FieldWord(chCode)) {
            psSection->append(pszWord);
        } else if ((chCode & 0x80) != 0) {
            // An unknown code that is no ASCII letter goes whole, not its first byte alone.
            while (i < raw.size() && (raw[i] & 0xC0) == 0x80) {
                i++;
            }
        } else {
            i = SkipOperand(raw, i, chCode);
        }
    }
    std::string text;
    for (const std::string &section : rgsSection) {
        AppendSection(section, &text);
    }
    return text;
}

bool ReadHeaderFooterRecord(const uint8_t *pb, size_t cb, bool fBiff8, CodePageDecoder &decoder,
                            std::string *psRaw)
{
    psRaw->clear();
    if (cb == 0) {
        return true;
    }
    ByteCursor body(pb, cb);
    if (fBiff8) {
        ReadUnicodeString(&body, false, psRaw);
        return !body.FShort();
    }
    // The body holds the string alone. Writers of double-byte code pages count characters,
    // not bytes, so the count may fall short of the bytes stored: they are all the text.
    size_t cbCount = body.U8();
    size_t cbLeft = body.CbLeft();
    const uint8_t *pbText = body.Bytes(cbLeft);
    size_t cbStored = cbLeft;
    while (cbStored > 0 && pbText[cbStored - 1] == 0) {
        cbStored--;
    }
    decoder.Append(pbText, std::min(cbLeft, std::max(cbCount, cbStored)), psRaw);
    return cbCount <= cbLeft;
}

bool ReadHeaderFooterVariants(const uint8_t *pb, size_t cb, HeaderFooterVariants *pVariants)
{
    *pVariants = HeaderFooterVariants();
    ByteCursor body(pb, cb);
    SkipUpTo(&body, 12); // the future-record header
    ByteCursor view = TakeCursor(&body, 16);
    while (view.CbLeft() > 0) {
        pVariants->fCustomView = view.U8() != 0 || pVariants->fCustomView;
    }
    uint16_t grbit = body.Le16();
    pVariants->fDiffOddEven = (grbit & 0x0001) != 0;
    pVariants->fDiffFirst = (grbit & 0x0002) != 0;
    size_t rgcch[4];
    for (size_t &cch : rgcch) {
        cch = body.Le16();
    }
    std::string *rgps[4] = {&pVariants->headerEven, &pVariants->footerEven, &pVariants->headerFirst,
                            &pVariants->footerFirst};
    // Each string is there only when its count is not zero, and repeats that count.
    for (size_t i = 0; i < 4; i++) {
        if (rgcch[i] != 0) {
            ReadUnicodeString(&body, false, rgps[i]);
        }
    }
    return !body.FShort();
}
