// What a format shows at most for a number and exactly for a text, known once it is parsed, and
// the tokens that show nothing dropped then, so that no cell walks them again.
#include "numformat/NumberFormat.h"

#include <stdint.h>

namespace {

// The integer digits of the largest double, 309, and their 102 thousands separators.
const size_t cIntDigitsMax = 309, cGroupsMax = 102;
// The digits of a whole number below the largest double: an improper fraction's numerator.
const size_t cbWholeDigitsMax = 309;

size_t TokenShownMax(const FormatToken &token, const FormatLocale &names, const FormatLocale &numbers)
{
    size_t cbGroup = numbers.group.size() > 1 ? numbers.group.size() : 1;
    switch (token.kind) {
    case FormatTokenKind::Literal: return token.cb;
    case FormatTokenKind::Digit: return 1 + cbGroup; // its digit or blank, and a thousands separator
    case FormatTokenKind::Point: return numbers.decimal.size();
    case FormatTokenKind::Comma: return cbGroup;
    case FormatTokenKind::Exponent: return 2 + 3; // the letter, the sign, digits up to 324
    case FormatTokenKind::Slash: return token.cb; // the bar and the fixed denominator's digits
    case FormatTokenKind::Text:
    case FormatTokenKind::General: return GeneralShownMax(numbers.decimal.size());
    case FormatTokenKind::Year: return token.n <= 2 ? 2 : 4;
    case FormatTokenKind::Month:
        return token.n < 2 ? 2 : token.n == 2 ? 2 : token.n == 3 ? names.cbMonthAbbrMax : names.cbMonthMax;
    case FormatTokenKind::Day: return token.n <= 2 ? 2 : token.n == 3 ? names.cbDayAbbrMax : names.cbDayMax;
    case FormatTokenKind::Hour:
    case FormatTokenKind::Minute:
    case FormatTokenKind::Second: return 2;
    case FormatTokenKind::AmPm: return names.cbAmPmMax > 2 ? names.cbAmPmMax : 2;
    case FormatTokenKind::SecondFraction: return numbers.decimal.size() + token.n;
    case FormatTokenKind::ElapsedHour:
    case FormatTokenKind::ElapsedMinute:
    case FormatTokenKind::ElapsedSecond: return token.n > 14 ? token.n : 14; // 10^9 days of seconds
    }
    return 0;
}

} // namespace

// Thousands separators, scaling commas, the zeros of a second's fraction and symbols without
// characters all leave empty literals while sections are finished, where they keep the other
// tokens' places; once every section is known they go, and the sections' indexes follow.
void NumberFormat::DropEmptyTokens()
{
    std::vector<uint32_t> rgiNew(m_rgToken.size() + 1);
    uint32_t cKept = 0;
    for (size_t i = 0; i < m_rgToken.size(); i++) {
        rgiNew[i] = cKept;
        const FormatToken &token = m_rgToken[i];
        if (token.kind != FormatTokenKind::Literal || token.cb != 0) {
            m_rgToken[cKept++] = token;
        }
    }
    rgiNew[m_rgToken.size()] = cKept;
    m_rgToken.resize(cKept);
    for (FormatSection &section : m_rgSection) {
        for (uint32_t *pi : {&section.iFirst, &section.iEnd, &section.iNumerator, &section.iSlash,
                             &section.iExponent, &section.iDigitsFirst, &section.iDigitsEnd}) {
            *pi = rgiNew[*pi];
        }
    }
}

// A sign, each token's widest, and the digits a value may add beyond the placeholders; at
// least General, which shows the numbers a section cannot.
size_t NumberFormat::SectionShownMax(const FormatSection &section) const
{
    const size_t cbGeneral = GeneralShownMax(m_pNumberLocale->decimal.size());
    const size_t cbIntDigitsMax = cIntDigitsMax + cGroupsMax * m_pNumberLocale->group.size();
    size_t cb = 1;
    switch (section.kind) {
    case SectionKind::Text: return cbGeneral; // a number shows as General there
    case SectionKind::Number: cb += cbIntDigitsMax; break;
    case SectionKind::Fraction: cb += cbIntDigitsMax + cbWholeDigitsMax; break;
    default: break;
    }
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        cb += TokenShownMax(m_rgToken[i], *m_pLocale, *m_pNumberLocale);
    }
    return cb > cbGeneral ? cb : cbGeneral;
}

size_t NumberFormat::TextShownSize(size_t cbText) const
{
    if (m_iTextSection < 0) {
        return cbText;
    }
    if (m_cTextAt != 0 && cbText > (SIZE_MAX - m_cbTextLiterals) / m_cTextAt) {
        return SIZE_MAX;
    }
    return m_cbTextLiterals + m_cTextAt * cbText;
}
