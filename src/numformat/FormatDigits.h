// The decimal digits of a number as the formats round them, the writer that puts them in a
// section's digit placeholders, and the fractions; shared by the number sections' renderers.
#ifndef CELLSIFT_NUMFORMAT_FORMATDIGITS_H
#define CELLSIFT_NUMFORMAT_FORMATDIGITS_H

#include <stdint.h>

#include <string>

#include "numformat/NumberFormat.h"
#include "numformat/ShownBuffer.h"

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
        while (cDigit > 0 && rg[cDigit - 1] == '0') {
            cDigit--;
        }
        if (cDigit == 0) {
            nInt = 0;
        }
    }
};

// Keeps the first cKeep digits, rounding half away from zero.
void RoundTo(Decimal *pDec, int cKeep);
// v (finite, not negative) to its first 15 significant digits.
void ToDecimal(double v, Decimal *pDec);
// v (not negative) times 10^cFrac, rounded to a whole number as its 15 digits round; false
// where that takes the digits themselves.
bool RoundProduct(double v, int cFrac, uint64_t *pn);
// ToDecimal, then rounded to cFrac decimals.
void ToRoundedDecimal(double v, int cFrac, Decimal *pDec);
// ToDecimal, then rounded to a whole number.
void ToWhole(double v, Decimal *pDec);
void AppendDecimalDigits(const Decimal &dec, std::string *ps);

// Writes the integer part's placeholders and literals up to iEnd, the digits from the right,
// the leftmost placeholder taking every digit that is left; then the point and the decimals.
class PlaceholderWriter {
public:
    PlaceholderWriter(const NumberFormat &format, const FormatSection &section, const Decimal &dec,
                      std::string *ps)
            : m_format(format), m_section(section), m_dec(dec), m_ps(ps)
    {}

    // fZeroDigit: the last integer placeholder shows a zero whatever its kind.
    void Write(uint32_t iFirst, uint32_t iEnd, bool fZeroDigit);

private:
    bool PointHidden(uint32_t iPoint, uint32_t iEnd, int jLast) const;
    // The digit at 10^q, and the thousands separator after it.
    void WriteDigit(char ch, int q, ShownBuffer *pOut) const
    {
        pOut->Put(ch);
        if (m_section.fThousands && q > 0 && q % 3 == 0) {
            pOut->Put(m_format.NumberLocale().group);
        }
    }

    const NumberFormat &m_format;
    const FormatSection &m_section;
    const Decimal &m_dec;
    std::string *m_ps;
};

// v is the scaled magnitude; fMinus says the value is negative and the section shows its sign.
// False, writing nothing, when the numerator passes what a double holds.
bool RenderFraction(const NumberFormat &format, const FormatSection &section, double v, bool fMinus,
                    std::string *ps);

#endif
