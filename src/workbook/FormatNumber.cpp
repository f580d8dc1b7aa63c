// Numbers through a format's number sections: placeholders, thousands, scaling, percent,
// scientific notation and fractions; and General. Values are rounded on their first 15
// significant digits, half away from zero, so 2.675 with 0.00 shows 2.68 as the peers show it.
#include "workbook/NumberFormat.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <charconv>

#include "workbook/CellValue.h"

namespace {

// The decimal digits of a number not below zero: rg[0] stands at 10^(nInt - 1); digits past
// cDigit are zeros, so a zero has none.
struct Decimal {
    char rg[24];
    int cDigit = 0;
    int nInt = 0;

    char At(int i) const { return i >= 0 && i < cDigit ? rg[i] : '0'; }
    bool IsZero() const { return cDigit == 0; }
    void TrimZeros()
    {
        while (cDigit > 0 && rg[cDigit - 1] == '0')
            cDigit--;
        if (cDigit == 0)
            nInt = 0;
    }
};

// Keeps the first cKeep digits, rounding half away from zero.
void RoundTo(Decimal *pDec, int cKeep)
{
    if (cKeep >= pDec->cDigit)
        return;
    bool fUp = cKeep >= 0 && pDec->rg[cKeep] >= '5';
    pDec->cDigit = cKeep > 0 ? cKeep : 0;
    if (fUp) {
        int i = cKeep - 1;
        while (i >= 0 && pDec->rg[i] == '9')
            i--;
        if (i < 0) {
            pDec->rg[0] = '1';
            pDec->cDigit = 1;
            pDec->nInt++;
        } else {
            pDec->rg[i]++;
            pDec->cDigit = i + 1;
        }
    }
    pDec->TrimZeros();
}

// v is finite and not negative.
void ToDecimal(double v, Decimal *pDec)
{
    pDec->cDigit = 0;
    pDec->nInt = 0;
    if (!(v > 0) || !isfinite(v))
        return;
    char rgch[40];
    if (v < 1e15 && v == floor(v)) {
        std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), (uint64_t)v);
        pDec->cDigit = pDec->nInt = (int)(result.ptr - rgch);
        memcpy(pDec->rg, rgch, (size_t)pDec->cDigit);
    } else {
        // The shortest digits S that read back as a normal v round to 15 digits as v itself
        // does: no 16-digit half-way point lies between v and S, or it would be a shorter S.
        // Only when S ends in that half-way 5 must v's own digits decide.
        std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), v, std::chars_format::scientific);
        const char *pchExp = std::find(rgch, result.ptr, 'e');
        int cDigit = pchExp - rgch > 1 ? (int)(pchExp - rgch) - 1 : 1;
        if ((cDigit == 16 && pchExp[-1] == '5') || v < DBL_MIN) {
            result = std::to_chars(rgch, rgch + sizeof(rgch), v, std::chars_format::scientific, 14);
            pchExp = rgch + 16;
            cDigit = 15;
        }
        pDec->rg[0] = rgch[0];
        memcpy(pDec->rg + 1, rgch + 2, (size_t)cDigit - 1);
        pDec->cDigit = cDigit;
        int nExp = 0;
        std::from_chars(pchExp + 1 + (pchExp[1] == '+'), result.ptr, nExp);
        pDec->nInt = nExp + 1;
    }
    RoundTo(pDec, 15);
    pDec->TrimZeros();
}


void ToWhole(double v, Decimal *pDec)
{
    ToDecimal(v, pDec);
    RoundTo(pDec, pDec->nInt);
}

void AppendDecimalDigits(const Decimal &dec, std::string *ps)
{
    for (int i = 0; i < dec.nInt; i++)
        ps->push_back(dec.At(i));
}

double Scaled(double v, uint32_t cPercent, uint32_t cScale)
{
    for (uint32_t i = 0; i < cPercent && isfinite(v); i++)
        v *= 100;
    for (uint32_t i = 0; i < cScale && v != 0; i++)
        v /= 1000;
    return v;
}

// Writes the integer part's placeholders and literals up to iEnd, the digits from the right,
// the leftmost placeholder taking every digit that is left; then the point and the decimals.
class PlaceholderWriter {
public:
    PlaceholderWriter(const NumberFormat &format, const FormatSection &section, const Decimal &dec,
                      std::string *ps)
        : m_format(format), m_section(section), m_dec(dec), m_ps(ps)
    {
    }

    void Write(uint32_t iFirst, uint32_t iEnd, bool fZeroDigit)
    {
        int nInt = m_dec.nInt > 0 ? m_dec.nInt : 0;
        int jLast = m_dec.cDigit - m_dec.nInt - 1; // the last decimal that is not zero
        uint32_t iInt = 0, iFrac = 0;
        bool fAfterPoint = false;
        for (uint32_t i = iFirst; i < iEnd; i++) {
            const FormatToken &token = m_format.Token(i);
            if (token.kind == FormatTokenKind::Point) {
                fAfterPoint = true;
                if (!PointHidden(i, iEnd, jLast))
                    m_ps->push_back('.');
            } else if (token.kind != FormatTokenKind::Digit) {
                m_ps->append(m_format.Literal(token));
            } else if (!fAfterPoint) {
                int k = (int)(m_section.cInt - 1 - iInt); // this placeholder's digit, from the right
                if (iInt++ == 0) {
                    for (int q = nInt - 1; q > k; q--)
                        WriteDigit(q, nInt);
                }
                if (k < nInt)
                    WriteDigit(k, nInt);
                else if (token.n == '0' || (fZeroDigit && k == 0))
                    WriteZero(k);
                else if (token.n == '?')
                    m_ps->push_back(' ');
            } else {
                int j = (int)iFrac++;
                if (j <= jLast)
                    m_ps->push_back(m_dec.At(m_dec.nInt + j));
                else if (token.n != '#')
                    m_ps->push_back(token.n == '0' ? '0' : ' ');
            }
        }
    }

private:
    // Decimals of # that show nothing take the point with them ("#.##" shows 7 as "7").
    bool PointHidden(uint32_t iPoint, uint32_t iEnd, int jLast) const
    {
        if (m_section.cFrac == 0 || jLast >= 0)
            return false;
        for (uint32_t i = iPoint + 1; i < iEnd; i++) {
            const FormatToken &token = m_format.Token(i);
            if (token.kind == FormatTokenKind::Digit && token.n != '#')
                return false;
        }
        return true;
    }
    void WriteDigit(int q, int nInt)
    {
        m_ps->push_back(m_dec.At(nInt - 1 - q));
        if (m_section.fThousands && q > 0 && q % 3 == 0)
            m_ps->push_back(',');
    }
    void WriteZero(int q)
    {
        m_ps->push_back('0');
        if (m_section.fThousands && q > 0 && q % 3 == 0)
            m_ps->push_back(',');
    }

    const NumberFormat &m_format;
    const FormatSection &m_section;
    const Decimal &m_dec;
    std::string *m_ps;
};

// v is the scaled magnitude; fMinus says the value is negative and the section shows its sign.
void RenderPlain(const NumberFormat &format, const FormatSection &section, double v, bool fMinus,
                 std::string *ps)
{
    Decimal dec;
    ToDecimal(v, &dec);
    RoundTo(&dec, dec.nInt + (int)section.cFrac);
    if (fMinus && !dec.IsZero())
        ps->push_back('-');
    PlaceholderWriter(format, section, dec, ps).Write(section.iFirst, section.iEnd, false);
}

int FloorMultiple(int n, int m) { return (n >= 0 ? n / m : -((-n + m - 1) / m)) * m; }

// The exponent is a multiple of the integer placeholders' count: ##0.0E+0 is engineering.
void RenderScientific(const NumberFormat &format, const FormatSection &section, double v, bool fMinus,
                      std::string *ps)
{
    Decimal dec;
    ToDecimal(v, &dec);
    int cStep = section.cInt > 0 ? (int)section.cInt : 1;
    int nExp = 0;
    if (!dec.IsZero()) {
        nExp = FloorMultiple(dec.nInt - 1, cStep);
        RoundTo(&dec, dec.nInt - nExp + (int)section.cFrac);
        nExp = FloorMultiple(dec.nInt - 1, cStep); // 9.995 may have become 10.00
        dec.nInt -= nExp;
    }
    if (fMinus && !dec.IsZero())
        ps->push_back('-');
    PlaceholderWriter(format, section, dec, ps).Write(section.iFirst, section.iExponent, true);
    const FormatToken &exponent = format.Token(section.iExponent);
    ps->push_back(format.Code()[exponent.ib]);
    if (nExp < 0 || exponent.n == 1)
        ps->push_back(nExp < 0 ? '-' : '+');
    uint32_t i = section.iExponent + 1;
    uint32_t cDigit = 0;
    for (; i < section.iEnd && format.Token(i).kind == FormatTokenKind::Digit; i++)
        cDigit++;
    char rgch[12];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), nExp < 0 ? -nExp : nExp);
    for (size_t cch = (size_t)(result.ptr - rgch); cch < cDigit; cch++)
        ps->push_back('0');
    ps->append(rgch, result.ptr);
    for (; i < section.iEnd; i++)
        ps->append(format.Literal(format.Token(i)));
}

// The fraction nearest x (0 <= x < 1) whose denominator is at most nMax, from the continued
// fraction of x and its last semiconvergent.
void NearestFraction(double x, uint32_t nMax, double *pNum, double *pDen)
{
    uint64_t h0 = 0, k0 = 1, h1 = 1, k1 = 0;
    double r = x;
    for (int i = 0; i < 64; i++) {
        double a = floor(r);
        // When the next convergent's denominator would pass nMax the nearest fraction is the
        // last convergent or the semiconvergent with the largest denominator that fits.
        if (k1 != 0 && (a > (double)nMax || (uint64_t)a * k1 + k0 > nMax)) {
            uint64_t t = (nMax - k0) / k1;
            double dSemi = (double)(h0 + t * h1) / (double)(k0 + t * k1);
            if (fabs(dSemi - x) < fabs((double)h1 / (double)k1 - x))
                h1 = h0 + t * h1, k1 = k0 + t * k1;
            break;
        }
        uint64_t ai = (uint64_t)a;
        uint64_t h2 = ai * h1 + h0, k2 = ai * k1 + k0;
        h0 = h1, k0 = k1, h1 = h2, k1 = k2;
        double dFrac = r - a;
        if (dFrac < 1e-12 || (double)h1 / (double)k1 == x)
            break;
        r = 1 / dFrac;
    }
    *pNum = (double)h1;
    *pDen = (double)k1;
}

// Appends n's digits in width placeholders of kind chPad: '?' pads with spaces, '0' with
// zeros, '#' not at all; on the left for a numerator, on the right for a denominator.
void AppendPadded(double n, uint32_t cWidth, char chPad, bool fLeft, std::string *ps)
{
    Decimal dec;
    ToWhole(n, &dec);
    std::string digits;
    AppendDecimalDigits(dec, &digits);
    if (digits.empty())
        digits = "0";
    size_t cPad = digits.size() < cWidth && chPad != '#' ? cWidth - digits.size() : 0;
    char ch = chPad == '0' ? '0' : ' ';
    if (fLeft || chPad == '0')
        ps->append(cPad, ch);
    ps->append(digits);
    if (!fLeft && chPad != '0')
        ps->append(cPad, ch);
}

// False, writing nothing, when the numerator passes what a double holds.
bool RenderFraction(const NumberFormat &format, const FormatSection &section, double v, bool fMinus,
                    std::string *ps)
{
    const FormatToken &slash = format.Token(section.iSlash);
    uint32_t cNumerator = section.iSlash - section.iNumerator;
    uint32_t iDenEnd = section.iSlash + 1;
    while (iDenEnd < section.iEnd && format.Token(iDenEnd).kind == FormatTokenKind::Digit)
        iDenEnd++;
    uint32_t cDenominator = iDenEnd - section.iSlash - 1;
    bool fWhole = section.cInt > 0;
    double dWhole = fWhole ? floor(v) : 0;
    double dNum, dDen;
    if (slash.n != 0) {
        dDen = slash.n;
        dNum = floor((v - dWhole) * dDen + 0.5);
    } else {
        uint32_t nMax = 1;
        for (uint32_t i = 0; i < cDenominator && i < 9; i++)
            nMax *= 10;
        NearestFraction(v - floor(v), nMax - 1, &dNum, &dDen);
        if (!fWhole)
            dNum += floor(v) * dDen; // an improper fraction
    }
    if (!isfinite(dNum))
        return false;
    if (fWhole && dNum == dDen) // the fraction rounded up to a whole
        dWhole += 1, dNum = 0;
    if (fMinus && (dWhole != 0 || dNum != 0))
        ps->push_back('-');
    char chNumerator = (char)format.Token(section.iNumerator).n;
    // A whole number with # in the numerator shows no fraction; with ? it shows blanks.
    bool fNoFraction = fWhole && dNum == 0;
    bool fBlankWhole = fWhole && dWhole == 0 && dNum != 0;
    if (fWhole) {
        // The literals between the whole number and the numerator go with the fraction when
        // the numerator's # shows nothing or the whole number is blank.
        uint32_t iWholeEnd = section.iNumerator;
        while (format.Token(iWholeEnd - 1).kind != FormatTokenKind::Digit)
            iWholeEnd--;
        Decimal dec;
        ToWhole(dWhole, &dec);
        PlaceholderWriter writer(format, section, dec, ps);
        writer.Write(section.iFirst, iWholeEnd, !fBlankWhole);
        if (!(chNumerator == '#' && (fNoFraction || fBlankWhole)))
            writer.Write(iWholeEnd, section.iNumerator, false);
    } else {
        for (uint32_t i = section.iFirst; i < section.iNumerator; i++)
            ps->append(format.Literal(format.Token(i)));
    }
    if (fNoFraction && chNumerator == '?') {
        ps->append(cNumerator + 1 + (slash.n != 0 ? 0 : cDenominator), ' ');
    } else if (!(fNoFraction && chNumerator == '#')) {
        AppendPadded(dNum, cNumerator, chNumerator, true, ps);
        ps->push_back('/');
        if (slash.n != 0)
            ps->append(format.Code(), slash.ib + 1, slash.cb - 1);
        else
            AppendPadded(dDen, cDenominator, (char)format.Token(section.iSlash + 1).n, false, ps);
    }
    for (uint32_t i = iDenEnd; i < section.iEnd; i++)
        ps->append(format.Literal(format.Token(i)));
    return true;
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
    if (!isfinite(v) || (section.kind == SectionKind::Fraction && !RenderFraction(format, section, v, fMinus, ps)))
        AppendGeneral(d, ps);
    else if (fScientific)
        RenderScientific(format, section, v, fMinus, ps);
    else if (section.kind != SectionKind::Fraction)
        RenderPlain(format, section, v, fMinus, ps);
}

// 15 significant digits; scientific from 10^16 up and below 10^-9, or where the fixed form
// would need more than 15 decimals.
void AppendGeneral(double d, std::string *ps)
{
    if (!isfinite(d)) {
        AppendNumber(d, ps);
        return;
    }
    Decimal dec;
    ToDecimal(fabs(d), &dec);
    if (dec.IsZero()) {
        ps->push_back('0');
        return;
    }
    if (d < 0)
        ps->push_back('-');
    int nExp = dec.nInt - 1;
    int cLeadingZeros = nExp < 0 ? -nExp - 1 : 0;
    if (nExp < 16 && nExp >= -9 && cLeadingZeros + dec.cDigit <= 15) {
        if (dec.nInt <= 0)
            ps->push_back('0');
        AppendDecimalDigits(dec, ps);
        if (dec.cDigit > dec.nInt) {
            ps->push_back('.');
            for (int i = dec.nInt < 0 ? dec.nInt : 0; i < 0; i++)
                ps->push_back('0');
            for (int i = dec.nInt > 0 ? dec.nInt : 0; i < dec.cDigit; i++)
                ps->push_back(dec.rg[i]);
        }
        return;
    }
    ps->push_back(dec.rg[0]);
    if (dec.cDigit > 1) {
        ps->push_back('.');
        ps->append(dec.rg + 1, (size_t)dec.cDigit - 1);
    }
    ps->append(nExp < 0 ? "E-" : "E+");
    int nAbs = nExp < 0 ? -nExp : nExp;
    if (nAbs < 10)
        ps->push_back('0');
    char rgch[8];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), nAbs);
    ps->append(rgch, result.ptr);
}
