// Numbers through a format's plain and scientific sections: placeholders, thousands, scaling
// and percent; the fraction sections are FormatFraction.cpp's, the digits FormatDigits.cpp's.
#include "numformat/FormatDigits.h"

#include <math.h>

#include <charconv>

void PlaceholderWriter::Write(uint32_t iFirst, uint32_t iEnd, bool fZeroDigit)
{
    ShownBuffer out(m_ps);
    int nInt = m_dec.nInt > 0 ? m_dec.nInt : 0;
    int jLast = m_dec.cDigit - m_dec.nInt - 1; // the last decimal that is not zero
    uint32_t iInt = 0, iFrac = 0;
    bool fAfterPoint = false;
    for (uint32_t i = iFirst; i < iEnd; i++) {
        const FormatToken &token = m_format.Token(i);
        if (token.kind == FormatTokenKind::Point) {
            // Without a placeholder before the point the integer digits stand just before it:
            // only a zero integer part is left out (.0 shows 45.62 as 45.6, 0.5 as .5).
            for (int q = m_section.cInt == 0 && !fAfterPoint ? nInt - 1 : -1; q >= 0; q--) {
                WriteDigit(m_dec.At(nInt - 1 - q), q, &out);
            }
            fAfterPoint = true;
            if (!PointHidden(i, iEnd, jLast)) {
                out.Put(m_format.NumberLocale().decimal);
            }
        } else if (token.kind != FormatTokenKind::Digit) {
            out.Put(m_format.Literal(token));
        } else if (!fAfterPoint) {
            int k = static_cast<int>(m_section.cInt - 1 - iInt); // this placeholder's digit, from the right
            if (iInt++ == 0) {
                for (int q = nInt - 1; q > k; q--) {
                    WriteDigit(m_dec.At(nInt - 1 - q), q, &out);
                }
            }
            if (k < nInt) {
                WriteDigit(m_dec.At(nInt - 1 - k), k, &out);
            } else if (token.n == '0' || (fZeroDigit && k == 0)) {
                WriteDigit('0', k, &out);
            } else if (token.n == '?') {
                out.Put(' ');
            }
        } else {
            int j = static_cast<int>(iFrac++);
            if (j <= jLast) {
                out.Put(m_dec.At(m_dec.nInt + j));
            } else if (token.n != '#') {
                out.Put(token.n == '0' ? '0' : ' ');
            }
        }
    }
    out.Flush();
}

// Decimals of # that show nothing take the point with them ("#.##" shows 7 as "7").
bool PlaceholderWriter::PointHidden(uint32_t iPoint, uint32_t iEnd, int jLast) const
{
    if (m_section.cFrac == 0 || jLast >= 0) {
        return false;
    }
    for (uint32_t i = iPoint + 1; i < iEnd; i++) {
        const FormatToken &token = m_format.Token(i);
        if (token.kind == FormatTokenKind::Digit && token.n != '#') {
            return false;
        }
    }
    return true;
}

namespace {

double Scaled(double v, uint32_t cPercent, uint32_t cScale)
{
    for (uint32_t i = 0; i < cPercent && isfinite(v); i++) {
        v *= 100;
    }
    for (uint32_t i = 0; i < cScale && v != 0; i++) {
        v /= 1000;
    }
    return v;
}

// A section of plain digits without the digit writer: n is the value in units of its last
// decimal. Every digit, and the zeros the 0s ask for, take thousands separators.
void WritePlainDigits(const NumberFormat &format, const FormatSection &section, uint64_t n, bool fMinus,
                      std::string *ps)
{
    ShownBuffer out(ps);
    if (fMinus && n != 0) {
        out.Put('-');
    }
    for (uint32_t i = section.iFirst; i < section.iDigitsFirst; i++) {
        out.Put(format.Literal(format.Token(i)));
    }
    uint64_t nUnit = 1;
    for (uint32_t i = 0; i < section.cFrac; i++) {
        nUnit *= 10;
    }
    char rgch[24];
    uint64_t nWhole = n / nUnit;
    size_t cch =
        nWhole == 0 ? 0 : static_cast<size_t>(std::to_chars(rgch, rgch + sizeof(rgch), nWhole).ptr - rgch);
    size_t cInt = cch > section.cIntZeros ? cch : section.cIntZeros;
    for (size_t q = cInt; q-- > 0;) {
        out.Put(q < cch ? rgch[cch - 1 - q] : '0');
        if (section.fThousands && q > 0 && q % 3 == 0) {
            out.Put(format.NumberLocale().group);
        }
    }
    if (section.fPoint) {
        out.Put(format.NumberLocale().decimal);
    }
    if (section.cFrac > 0) {
        std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), n % nUnit);
        for (size_t cchFrac = static_cast<size_t>(result.ptr - rgch); cchFrac < section.cFrac; cchFrac++) {
            out.Put('0');
        }
        out.Put(std::string_view(rgch, static_cast<size_t>(result.ptr - rgch)));
    }
    for (uint32_t i = section.iDigitsEnd; i < section.iEnd; i++) {
        out.Put(format.Literal(format.Token(i)));
    }
    out.Flush();
}

// v is the scaled magnitude; fMinus says the value is negative and the section shows its sign.
void RenderPlain(const NumberFormat &format, const FormatSection &section, double v, bool fMinus,
                 std::string *ps)
{
    uint64_t n;
    if (section.fPlainDigits && RoundProduct(v, static_cast<int>(section.cFrac), &n)) {
        WritePlainDigits(format, section, n, fMinus, ps);
        return;
    }
    Decimal dec;
    ToRoundedDecimal(v, static_cast<int>(section.cFrac), &dec);
    if (fMinus && !dec.IsZero()) {
        ps->push_back('-');
    }
    PlaceholderWriter(format, section, dec, ps).Write(section.iFirst, section.iEnd, false);
}

int FloorMultiple(int n, int m)
{
    return (n >= 0 ? n / m : -((-n + m - 1) / m)) * m;
}

// The exponent is a multiple of the integer placeholders' count: ##0.0E+0 is engineering.
void RenderScientific(const NumberFormat &format, const FormatSection &section, double v, bool fMinus,
                      std::string *ps)
{
    Decimal dec;
    ToDecimal(v, &dec);
    int cStep = section.cInt > 0 ? static_cast<int>(section.cInt) : 1;
    int nExp = 0;
    if (!dec.IsZero()) {
        nExp = FloorMultiple(dec.nInt - 1, cStep);
        RoundTo(&dec, dec.nInt - nExp + static_cast<int>(section.cFrac));
        nExp = FloorMultiple(dec.nInt - 1, cStep); // 9.995 may have become 10.00
        dec.nInt -= nExp;
    }
    if (fMinus && !dec.IsZero()) {
        ps->push_back('-');
    }
    PlaceholderWriter(format, section, dec, ps).Write(section.iFirst, section.iExponent, true);
    const FormatToken &exponent = format.Token(section.iExponent);
    ps->push_back(format.Code()[exponent.ib]);
    if (nExp < 0 || exponent.n == 1) {
        ps->push_back(nExp < 0 ? '-' : '+');
    }
    uint32_t i = section.iExponent + 1;
    uint32_t cDigit = 0;
    for (; i < section.iEnd && format.Token(i).kind == FormatTokenKind::Digit; i++) {
        cDigit++;
    }
    char rgch[12];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), nExp < 0 ? -nExp : nExp);
    for (size_t cch = static_cast<size_t>(result.ptr - rgch); cch < cDigit; cch++) {
        ps->push_back('0');
    }
    ps->append(rgch, result.ptr);
    for (; i < section.iEnd; i++) {
        ps->append(format.Literal(format.Token(i)));
    }
}

} // namespace

void RenderNumberSection(const NumberFormat &format, const FormatSection &section, double d, bool fSign,
                         std::string *ps)
{
    // Scaling commas do not scale a number in scientific notation.
    bool fScientific = section.kind == SectionKind::Scientific;
    double v = Scaled(fabs(d), section.cPercent, fScientific ? 0 : section.cScale);
    bool fMinus = fSign && d < 0;
    // Past what a double holds (a thousand percent signs) the value shows as General.
    if (!isfinite(v) ||
        (section.kind == SectionKind::Fraction && !RenderFraction(format, section, v, fMinus, ps))) {
        AppendGeneral(d, ps, format.NumberLocale().decimal);
    } else if (fScientific) {
        RenderScientific(format, section, v, fMinus, ps);
    } else if (section.kind != SectionKind::Fraction) {
        RenderPlain(format, section, v, fMinus, ps);
    }
}
