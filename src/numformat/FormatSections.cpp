// What each section of a format code is (number, fraction, scientific, date, text, General)
// and what its tokens mean there: commas, points, minutes against months, seconds' fractions.
#include "numformat/NumberFormat.h"

#include <math.h>

#include <charconv>

namespace {

bool IsDateKind(FormatTokenKind kind)
{
    return kind >= FormatTokenKind::Year && kind <= FormatTokenKind::ElapsedSecond;
}

} // namespace

// A fixed denominator is worked with as the code writes it, however many digits that takes:
// the numerator then has 15 significant digits, as every number shown does, and the shown
// fraction is the value. One past what a double holds makes the number show as General.
double NumberFormat::FixedDenominator(const FormatToken &slash) const
{
    if (slash.n == 0) {
        return 0;
    }
    const char *pchFirst = m_code.data() + slash.ib + 1;
    double d = HUGE_VAL;
    std::from_chars_result result = std::from_chars(pchFirst, pchFirst + slash.cb - 1, d);
    return result.ec == std::errc() ? d : HUGE_VAL;
}

void NumberFormat::FinishSection(FormatSection *pSection)
{
    FormatSection &section = *pSection;
    uint32_t cDateLetters = 0, cDigits = 0;
    bool fText = false, fGeneral = false, fSecondFraction = false;
    FormatTokenKind kindPrevious = FormatTokenKind::Literal;
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        const FormatToken &token = m_rgToken[i];
        if (IsDateKind(token.kind)) {
            cDateLetters += token.kind == FormatTokenKind::AmPm ? 1 : token.cb;
        }
        // The zeros of ".00" after seconds are a fraction of a second, not placeholders.
        if (token.kind == FormatTokenKind::Point) {
            fSecondFraction =
                kindPrevious == FormatTokenKind::Second || kindPrevious == FormatTokenKind::ElapsedSecond;
        } else if (token.kind != FormatTokenKind::Digit || token.n != '0') {
            fSecondFraction = false;
        }
        cDigits += token.kind == FormatTokenKind::Digit && !fSecondFraction;
        if (token.kind != FormatTokenKind::Literal) {
            kindPrevious = token.kind;
        }
        fText = fText || token.kind == FormatTokenKind::Text;
        fGeneral = fGeneral || token.kind == FormatTokenKind::General;
    }
    if (cDateLetters > cDigits && m_rgSection.size() < 4) {
        FinishDateSection(pSection);
    } else if (fText || m_rgSection.size() == 4) { // the fourth section is for text
        FinishOtherSection(pSection, SectionKind::Text, FormatTokenKind::Text);
    } else if (fGeneral) {
        FinishOtherSection(pSection, SectionKind::General, FormatTokenKind::General);
    } else {
        FinishNumberSection(pSection);
    }
}

// A text or General section shows its literals and its one kind of token; anything else in it
// is text.
void NumberFormat::FinishOtherSection(FormatSection *pSection, SectionKind kind, FormatTokenKind keep)
{
    pSection->kind = kind;
    for (uint32_t i = pSection->iFirst; i < pSection->iEnd; i++) {
        if (m_rgToken[i].kind != keep && m_rgToken[i].kind != FormatTokenKind::Literal) {
            MakeLiteral(i);
        }
    }
}

void NumberFormat::FinishDateSection(FormatSection *pSection)
{
    FormatSection &section = *pSection;
    section.kind = SectionKind::Date;
    FormatTokenKind kindPrevious = FormatTokenKind::Literal;
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        FormatToken &token = m_rgToken[i];
        switch (token.kind) {
        case FormatTokenKind::Literal: continue;
        case FormatTokenKind::Point: {
            // .0 .00 .000 after the seconds: fractions of a second; the digits become literals
            // of no width so the tokens keep their places.
            uint32_t cZero = 0;
            while (i + 1 + cZero < section.iEnd && m_rgToken[i + 1 + cZero].kind == FormatTokenKind::Digit &&
                   m_rgToken[i + 1 + cZero].n == '0') {
                cZero++;
            }
            if (cZero == 0 ||
                (kindPrevious != FormatTokenKind::Second && kindPrevious != FormatTokenKind::ElapsedSecond)) {
                MakeLiteral(i);
                break;
            }
            token = {FormatTokenKind::SecondFraction, cZero < 9 ? cZero : 9, token.ib, token.cb};
            section.cSecondDecimals = section.cSecondDecimals > token.n ? section.cSecondDecimals : token.n;
            for (uint32_t k = 1; k <= cZero; k++) {
                m_rgToken[i + k] = {FormatTokenKind::Literal, 0, 0, 0};
            }
            i += cZero;
            break;
        }
        case FormatTokenKind::Month:
            // m and mm right after hours or right before seconds are minutes.
            if (token.n <= 2 &&
                (kindPrevious == FormatTokenKind::Hour || kindPrevious == FormatTokenKind::ElapsedHour)) {
                token.kind = FormatTokenKind::Minute;
            }
            break;
        case FormatTokenKind::Second:
        case FormatTokenKind::ElapsedSecond:
            for (uint32_t k = i; k-- > section.iFirst;) {
                if (m_rgToken[k].kind == FormatTokenKind::Literal) {
                    continue;
                }
                if (m_rgToken[k].kind == FormatTokenKind::Month && m_rgToken[k].n <= 2) {
                    m_rgToken[k].kind = FormatTokenKind::Minute;
                }
                break;
            }
            break;
        case FormatTokenKind::AmPm: section.fAmPm = true; break;
        case FormatTokenKind::Day: section.fDayOfMonth = section.fDayOfMonth || token.n <= 2; break;
        case FormatTokenKind::Slash: {
            // An unquoted / is the locale's date separator.
            uint32_t ib = static_cast<uint32_t>(m_literals.size());
            m_literals.append(m_pLocale->dateSeparator);
            m_literals.append(m_code, token.ib + 1, token.cb - 1);
            token = {FormatTokenKind::Literal, 0, ib, static_cast<uint32_t>(m_literals.size() - ib)};
            break;
        }
        default:
            if (!IsDateKind(token.kind)) {
                MakeLiteral(i);
            }
            break;
        }
        if (m_rgToken[i].kind != FormatTokenKind::Literal) {
            kindPrevious = m_rgToken[i].kind;
        }
    }
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        FormatTokenKind kind = m_rgToken[i].kind;
        section.fElapsed = section.fElapsed ||
                           (kind >= FormatTokenKind::ElapsedHour && kind <= FormatTokenKind::ElapsedSecond);
        section.fDateParts =
            section.fDateParts || (kind >= FormatTokenKind::Year && kind <= FormatTokenKind::Day);
        section.fTimeParts =
            section.fTimeParts || (kind >= FormatTokenKind::Hour && kind <= FormatTokenKind::AmPm);
    }
}

// Places the point, the exponent or the fraction bar, and gives each comma its meaning: between
// two placeholders it groups thousands, after the last one it divides by 1000.
void NumberFormat::FinishNumberSection(FormatSection *pSection)
{
    FormatSection &section = *pSection;
    const uint32_t iNone = UINT32_MAX;
    uint32_t iPoint = iNone, iExponent = iNone, iSlash = iNone;
    bool fDigit = false, fScaleComma = false;
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        FormatToken &token = m_rgToken[i];
        bool fNextDigit = i + 1 < section.iEnd && m_rgToken[i + 1].kind == FormatTokenKind::Digit;
        bool fAfterDigit = i > section.iFirst && m_rgToken[i - 1].kind == FormatTokenKind::Digit;
        switch (token.kind) {
        case FormatTokenKind::Literal: break;
        case FormatTokenKind::Digit:
            fDigit = true;
            // Placeholders after the denominator or the exponent's digits are text.
            if ((iSlash != iNone || iExponent != iNone) && m_rgToken[i - 1].kind != FormatTokenKind::Digit &&
                i != iSlash + 1 && i != iExponent + 1) {
                MakeLiteral(i);
            }
            break;
        case FormatTokenKind::Point:
            if (iPoint == iNone && iExponent == iNone && iSlash == iNone) {
                iPoint = i;
            } else {
                MakeLiteral(i);
            }
            break;
        case FormatTokenKind::Exponent:
            if (fDigit && fNextDigit && iExponent == iNone && iSlash == iNone) {
                iExponent = i;
            } else {
                MakeLiteral(i);
            }
            break;
        case FormatTokenKind::Slash:
            if (fAfterDigit && (token.n != 0 || fNextDigit) && iSlash == iNone && iExponent == iNone) {
                iSlash = i;
            } else {
                MakeLiteral(i);
            }
            break;
        case FormatTokenKind::Comma:
            if (fAfterDigit && fNextDigit) {
                section.fThousands = section.fThousands || (iPoint == iNone && iExponent == iNone);
                token = {FormatTokenKind::Literal, 0, 0, 0};
            } else if ((fAfterDigit || fScaleComma) && !fNextDigit) {
                section.cScale++;
                token = {FormatTokenKind::Literal, 0, 0, 0};
                fScaleComma = true;
                continue;
            } else {
                MakeLiteral(i);
            }
            break;
        default: MakeLiteral(i); break;
        }
        fScaleComma = false;
    }
    uint32_t iIntEnd = iPoint != iNone ? iPoint : iExponent != iNone ? iExponent : section.iEnd;
    if (iSlash != iNone) {
        if (iPoint != iNone) {
            MakeLiteral(iPoint); // a fraction has no decimals
        }
        iPoint = iNone;
        section.kind = SectionKind::Fraction;
        section.iSlash = iSlash;
        section.dDenominator = FixedDenominator(m_rgToken[iSlash]);
        section.iNumerator = iSlash;
        while (section.iNumerator > section.iFirst &&
               m_rgToken[section.iNumerator - 1].kind == FormatTokenKind::Digit) {
            section.iNumerator--;
        }
        iIntEnd = section.iNumerator;
    } else if (iExponent != iNone) {
        section.kind = SectionKind::Scientific;
        section.iExponent = iExponent;
    }
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        if (m_rgToken[i].kind == FormatTokenKind::Digit) {
            if (i < iIntEnd) {
                section.cInt++;
            } else if (iPoint != iNone && i > iPoint && i < (iExponent != iNone ? iExponent : section.iEnd)) {
                section.cFrac++;
            }
        }
    }
    if (section.kind == SectionKind::Number) {
        FindPlainDigits(pSection);
    }
}

void NumberFormat::FindPlainDigits(FormatSection *pSection) const
{
    FormatSection &section = *pSection;
    uint32_t i = section.iFirst;
    while (i < section.iEnd && m_rgToken[i].kind == FormatTokenKind::Literal) {
        i++;
    }
    uint32_t iDigitsFirst = i, cZeros = 0;
    for (; i < section.iEnd; i++) {
        const FormatToken &token = m_rgToken[i];
        if (token.kind == FormatTokenKind::Digit) {
            if (token.n == '?' || (token.n == '#' && cZeros > 0)) {
                return;
            }
            cZeros += token.n == '0';
        } else if (token.kind != FormatTokenKind::Literal || token.cb != 0) {
            break; // a thousands separator or a scaling comma leaves an empty literal
        }
    }
    bool fPoint = i < section.iEnd && m_rgToken[i].kind == FormatTokenKind::Point;
    if (cZeros == 0 || (!fPoint && section.cFrac != 0)) {
        return;
    }
    if (fPoint) {
        for (i++; i < section.iEnd && m_rgToken[i].kind == FormatTokenKind::Digit; i++) {
            if (m_rgToken[i].n != '0') {
                return;
            }
        }
    }
    uint32_t iDigitsEnd = i;
    for (; i < section.iEnd; i++) {
        if (m_rgToken[i].kind != FormatTokenKind::Literal) {
            return;
        }
    }
    section.fPlainDigits = true;
    section.fPoint = fPoint;
    section.iDigitsFirst = iDigitsFirst;
    section.iDigitsEnd = iDigitsEnd;
    section.cIntZeros = cZeros;
}
