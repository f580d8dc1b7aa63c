// The constants of a formula as its text shows them: quoted strings from either string form,
// numbers, errors, booleans, and array constants read from the data after the tokens.
#include "formula/FormulaConstants.h"

#include <math.h>

#include <charconv>

namespace {

void AppendUtf8(uint32_t cp, std::string *psOut)
{
    if (cp < 0x80) {
        psOut->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        psOut->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        psOut->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        psOut->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        psOut->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        psOut->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        psOut->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        psOut->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        psOut->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        psOut->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendCodePoint(uint32_t cp, std::string *psOut)
{
    if (cp == '"') {
        psOut->push_back('"');
    }
    AppendUtf8(cp, psOut);
}

// UTF-16LE with surrogate pairs joined; a lone surrogate shows as U+FFFD.
void AppendUtf16(const uint8_t *pb, size_t cch, std::string *psOut)
{
    for (size_t i = 0; i < cch; i++) {
        uint32_t w = pb[2 * i] | (pb[2 * i + 1] << 8);
        if (w >= 0xD800 && w < 0xDC00 && i + 1 < cch) {
            uint32_t wLow = pb[2 * i + 2] | (pb[2 * i + 3] << 8);
            if (wLow >= 0xDC00 && wLow < 0xE000) {
                AppendCodePoint(0x10000 + ((w - 0xD800) << 10) + (wLow - 0xDC00), psOut);
                i++;
                continue;
            }
        }
        AppendCodePoint(w >= 0xD800 && w < 0xE000 ? 0xFFFD : w, psOut);
    }
}

// One value of an array constant: a type byte and eight bytes, or a string.
bool AppendArrayValue(ByteCursor *pcur, bool fBiff8, const FormulaRefs &refs, std::string *psOut,
                      size_t *pcbResolved)
{
    uint8_t type = pcur->U8();
    switch (type) {
    case 0x00: // empty
        return pcur->Skip(8);
    case 0x01: {
        double d = pcur->Double();
        if (pcur->FShort()) {
            return false;
        }
        AppendNumberConstant(d, psOut);
        return true;
    }
    case 0x02: return AppendStringConstant(pcur, FormulaStringForm{fBiff8, fBiff8}, refs, psOut, pcbResolved);
    case 0x04: {
        uint8_t b = pcur->U8();
        psOut->append(b ? "TRUE" : "FALSE");
        return pcur->Skip(7);
    }
    case 0x10: {
        const char *szErr = BiffErrorText(pcur->U8());
        if (szErr == nullptr) {
            return false;
        }
        psOut->append(szErr);
        return pcur->Skip(7);
    }
    default: return false;
    }
}

} // namespace

bool AppendStringConstant(ByteCursor *pcur, FormulaStringForm form, const FormulaRefs &refs,
                          std::string *psOut, size_t *pcbResolved)
{
    size_t cch = form.fWideCount ? pcur->Le16() : pcur->U8();
    bool fHigh = form.fUnicode && (pcur->U8() & 0x01);
    const uint8_t *pb = pcur->Bytes(fHigh ? 2 * cch : cch);
    if (pb == nullptr) {
        return false;
    }
    psOut->push_back('"');
    if (fHigh) {
        AppendUtf16(pb, cch, psOut);
    } else if (form.fUnicode) {
        for (size_t i = 0; i < cch; i++) {
            AppendCodePoint(pb[i], psOut);
        }
    } else {
        std::string sDecoded;
        refs.Text8(pb, cch, &sDecoded);
        *pcbResolved += sDecoded.size();
        for (char ch : sDecoded) {
            if (ch == '"') {
                psOut->push_back('"');
            }
            psOut->push_back(ch);
        }
    }
    psOut->push_back('"');
    return true;
}

// The shortest digits that read back as the value, laid out as the formula bar lays out a
// number: fixed while "0.000ddd" takes at most 20 characters and the value is below 1E+20,
// else scientific with a signed exponent of at least two digits ("2.5E-25", "1.5E+20").
void AppendNumberConstant(double d, std::string *psOut)
{
    if (!isfinite(d)) {
        psOut->append("#NUM!");
        return;
    }
    if (d == 0) {
        psOut->push_back('0');
        return;
    }
    char rgch[40];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), d, std::chars_format::scientific);
    std::string_view sci(rgch, static_cast<size_t>(result.ptr - rgch));
    if (sci.front() == '-') {
        psOut->push_back('-');
        sci.remove_prefix(1);
    }
    size_t ibExp = sci.find('e');
    std::string digits(sci.substr(0, ibExp));
    if (digits.size() > 1) {
        digits.erase(1, 1); // the point after the first digit
    }
    int nExp = 0;
    std::from_chars(sci.data() + ibExp + 1 + (sci[ibExp + 1] == '+'), sci.data() + sci.size(), nExp);
    int cDigits = static_cast<int>(digits.size());
    if (nExp < 0 && 2 + (-nExp - 1) + cDigits <= 20) {
        psOut->append("0.").append(static_cast<size_t>(-nExp - 1), '0').append(digits);
    } else if (nExp >= 0 && nExp <= 19) {
        if (cDigits <= nExp + 1) {
            psOut->append(digits).append(static_cast<size_t>(nExp + 1 - cDigits), '0');
        } else {
            psOut->append(digits, 0, static_cast<size_t>(nExp + 1)).push_back('.');
            psOut->append(digits, static_cast<size_t>(nExp + 1), std::string::npos);
        }
    } else {
        psOut->push_back(digits[0]);
        if (cDigits > 1) {
            psOut->push_back('.');
            psOut->append(digits, 1, std::string::npos);
        }
        int nAbs = nExp < 0 ? -nExp : nExp;
        psOut->append(nExp < 0 ? "E-" : "E+").append(nAbs < 10 ? "0" : "").append(std::to_string(nAbs));
    }
}

bool AppendArrayConstant(ByteCursor *pcurExtra, bool fBiff8, const FormulaRefs &refs, std::string *psOut,
                         size_t *pcbResolved)
{
    // Both counts are stored as one less than they are.
    size_t cCol = pcurExtra->U8() + 1u;
    size_t cRow = pcurExtra->Le16() + 1u;
    if (pcurExtra->FShort()) {
        return false;
    }
    psOut->push_back('{');
    // Each value takes at least two bytes, so a count larger than the data ends the loop early.
    for (size_t iRow = 0; iRow < cRow; iRow++) {
        if (iRow > 0) {
            psOut->push_back(';');
        }
        for (size_t iCol = 0; iCol < cCol; iCol++) {
            if (iCol > 0) {
                psOut->push_back(',');
            }
            if (!AppendArrayValue(pcurExtra, fBiff8, refs, psOut, pcbResolved)) {
                return false;
            }
        }
    }
    psOut->push_back('}');
    return true;
}
