// Which section of a format shows a value, and the text sections. The sections' own renderers
// are in FormatNumber.cpp, FormatFraction.cpp and FormatDate.cpp.
#include "numformat/NumberFormat.h"

#include <math.h>

#include "numformat/CellValue.h"

namespace {

bool Matches(char chOp, double dLimit, double d)
{
    switch (chOp) {
    case '<': return d < dLimit;
    case '>': return d > dLimit;
    case '=': return d == dLimit;
    case 'l': return d <= dLimit;
    case 'g': return d >= dLimit;
    case 'n': return d != dLimit;
    default: return true;
    }
}

// A section picked by "[<0]" or "[<=0]" is for negative numbers, which it shows without a sign.
bool ShowsSign(const FormatSection &section)
{
    return !((section.chOp == '<' || section.chOp == 'l') && section.dLimit == 0);
}

} // namespace

bool NumberFormat::IsDate() const
{
    return IsDateFormatString(m_code);
}

// Without conditions: one section for all numbers; two for not negative and negative; three
// for positive, negative and zero. With conditions, the first section whose condition holds,
// then the one without a condition after them. Sections after the first show no sign of their
// own, and a number no section takes shows as General, without its sign.
const FormatSection *NumberFormat::PickSection(double d, bool *pfSign) const
{
    const FormatSection *rgpSection[3];
    size_t cNumber = 0;
    for (size_t i = 0; i < m_rgSection.size() && cNumber < 3; i++) {
        if (static_cast<int>(i) != m_iTextSection) {
            rgpSection[cNumber++] = &m_rgSection[i];
        }
    }
    *pfSign = true;
    if (cNumber == 0) {
        return nullptr;
    }
    const FormatSection &first = *rgpSection[0];
    bool fConditions = first.chOp != 0 || (cNumber > 1 && rgpSection[1]->chOp != 0);
    if (!fConditions) {
        if (cNumber == 1 || (d > 0 || (d == 0 && cNumber == 2))) {
            return &first;
        }
        *pfSign = false;
        return d < 0 ? rgpSection[1] : rgpSection[2];
    }
    if (first.chOp != 0 ? Matches(first.chOp, first.dLimit, d) : d >= 0) {
        *pfSign = first.chOp != 0 && ShowsSign(first);
        return &first;
    }
    *pfSign = false;
    if (cNumber == 1) {
        return nullptr;
    }
    const FormatSection &second = *rgpSection[1];
    if (second.chOp == 0) {
        return &second;
    }
    if (Matches(second.chOp, second.dLimit, d)) {
        *pfSign = ShowsSign(second);
        return &second;
    }
    return cNumber == 3 ? rgpSection[2] : nullptr;
}

void NumberFormat::Render(double d, bool fDate1904, std::string *pOut) const
{
    bool fSign;
    const FormatSection *pSection = isfinite(d) ? PickSection(d, &fSign) : nullptr;
    if (pSection == nullptr) {
        AppendGeneralHere(isfinite(d) && !fSign ? fabs(d) : d, pOut);
        return;
    }
    switch (pSection->kind) {
    case SectionKind::General:
        if (fSign && d < 0) {
            pOut->push_back('-');
        }
        for (uint32_t i = pSection->iFirst; i < pSection->iEnd; i++) {
            const FormatToken &token = m_rgToken[i];
            if (token.kind == FormatTokenKind::General) {
                AppendGeneralHere(fabs(d), pOut);
            } else {
                pOut->append(Literal(token));
            }
        }
        break;
    case SectionKind::Date:
        if (!RenderDateSection(*this, *pSection, fSign ? d : fabs(d), fDate1904, pOut)) {
            AppendGeneralHere(d, pOut);
        }
        break;
    case SectionKind::Text: AppendGeneralHere(d, pOut); break;
    default: RenderNumberSection(*this, *pSection, d, fSign, pOut); break;
    }
}

void NumberFormat::AppendGeneralHere(double d, std::string *pOut) const
{
    AppendGeneral(d, pOut, m_pNumberLocale->decimal);
}

void NumberFormat::RenderText(std::string_view text, std::string *pOut) const
{
    if (m_iTextSection < 0) {
        pOut->append(text);
        return;
    }
    const FormatSection &section = m_rgSection[static_cast<size_t>(m_iTextSection)];
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        const FormatToken &token = m_rgToken[i];
        if (token.kind == FormatTokenKind::Text) {
            pOut->append(text);
        } else {
            pOut->append(Literal(token));
        }
    }
}
