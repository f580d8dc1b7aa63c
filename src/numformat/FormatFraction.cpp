// Numbers through a format's fraction sections: a whole part or none, and a numerator over a
// fixed denominator or the nearest fraction with as many denominator digits as placeholders.
#include "numformat/FormatDigits.h"

#include <math.h>

namespace {

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
        if (k1 != 0 && (a > static_cast<double>(nMax) || static_cast<uint64_t>(a) * k1 + k0 > nMax)) {
            uint64_t t = (nMax - k0) / k1;
            double dSemi = static_cast<double>(h0 + t * h1) / static_cast<double>(k0 + t * k1);
            if (fabs(dSemi - x) < fabs(static_cast<double>(h1) / static_cast<double>(k1) - x)) {
                h1 = h0 + t * h1, k1 = k0 + t * k1;
            }
            break;
        }
        uint64_t ai = static_cast<uint64_t>(a);
        uint64_t h2 = ai * h1 + h0, k2 = ai * k1 + k0;
        h0 = h1, k0 = k1, h1 = h2, k1 = k2;
        double dFrac = r - a;
        if (dFrac < 1e-12 || static_cast<double>(h1) / static_cast<double>(k1) == x) {
            break;
        }
        r = 1 / dFrac;
    }
    *pNum = static_cast<double>(h1);
    *pDen = static_cast<double>(k1);
}

// Appends n's digits in width placeholders of kind chPad: '?' pads with spaces, '0' with
// zeros, '#' not at all; on the left for a numerator, on the right for a denominator.
void AppendPadded(double n, uint32_t cWidth, char chPad, bool fLeft, std::string *ps)
{
    Decimal dec;
    ToWhole(n, &dec);
    std::string digits;
    AppendDecimalDigits(dec, &digits);
    if (digits.empty()) {
        digits = "0";
    }
    size_t cPad = digits.size() < cWidth && chPad != '#' ? cWidth - digits.size() : 0;
    char ch = chPad == '0' ? '0' : ' ';
    if (fLeft || chPad == '0') {
        ps->append(cPad, ch);
    }
    ps->append(digits);
    if (!fLeft && chPad != '0') {
        ps->append(cPad, ch);
    }
}

} // namespace

bool RenderFraction(const NumberFormat &format, const FormatSection &section, double v, bool fMinus,
                    std::string *ps)
{
    const FormatToken &slash = format.Token(section.iSlash);
    uint32_t cNumerator = section.iSlash - section.iNumerator;
    uint32_t iDenEnd = section.iSlash + 1;
    while (iDenEnd < section.iEnd && format.Token(iDenEnd).kind == FormatTokenKind::Digit) {
        iDenEnd++;
    }
    uint32_t cDenominator = iDenEnd - section.iSlash - 1;
    bool fWhole = section.cInt > 0;
    double dWhole = fWhole ? floor(v) : 0;
    double dNum, dDen;
    if (slash.n != 0) {
        dDen = section.dDenominator;
        dNum = floor((v - dWhole) * dDen + 0.5);
    } else {
        uint32_t nMax = 1;
        for (uint32_t i = 0; i < cDenominator && i < 9; i++) {
            nMax *= 10;
        }
        NearestFraction(v - floor(v), nMax - 1, &dNum, &dDen);
        if (!fWhole) {
            dNum += floor(v) * dDen; // an improper fraction
        }
    }
    if (!isfinite(dNum)) {
        return false;
    }
    if (fWhole && dNum == dDen) { // the fraction rounded up to a whole
        dWhole += 1, dNum = 0;
    }
    if (fMinus && (dWhole != 0 || dNum != 0)) {
        ps->push_back('-');
    }
    char chNumerator = static_cast<char>(format.Token(section.iNumerator).n);
    // A whole number with # in the numerator shows no fraction; with ? it shows blanks.
    bool fNoFraction = fWhole && dNum == 0;
    bool fBlankWhole = fWhole && dWhole == 0 && dNum != 0;
    if (fWhole) {
        // The literals between the whole number and the numerator go with the fraction when
        // the numerator's # shows nothing or the whole number is blank.
        uint32_t iWholeEnd = section.iNumerator;
        while (format.Token(iWholeEnd - 1).kind != FormatTokenKind::Digit) {
            iWholeEnd--;
        }
        Decimal dec;
        ToWhole(dWhole, &dec);
        PlaceholderWriter writer(format, section, dec, ps);
        writer.Write(section.iFirst, iWholeEnd, !fBlankWhole);
        if (!(chNumerator == '#' && (fNoFraction || fBlankWhole))) {
            writer.Write(iWholeEnd, section.iNumerator, false);
        }
    } else {
        for (uint32_t i = section.iFirst; i < section.iNumerator; i++) {
            ps->append(format.Literal(format.Token(i)));
        }
    }
    if (fNoFraction && chNumerator == '?') {
        ps->append(cNumerator + 1 + (slash.n != 0 ? 0 : cDenominator), ' ');
    } else if (!(fNoFraction && chNumerator == '#')) {
        AppendPadded(dNum, cNumerator, chNumerator, true, ps);
        ps->push_back('/');
        if (slash.n != 0) {
            ps->append(format.Code(), slash.ib + 1, slash.cb - 1);
        } else {
            AppendPadded(dDen, cDenominator, static_cast<char>(format.Token(section.iSlash + 1).n), false,
                         ps);
        }
    }
    for (uint32_t i = iDenEnd; i < section.iEnd; i++) {
        ps->append(format.Literal(format.Token(i)));
    }
    return true;
}
