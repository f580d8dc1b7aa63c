// Format codes split into sections and tokens in one pass. Codes come from the file, so every
// scan moves forward and nothing is read twice: parsing is linear in the code's length.
#include "numformat/NumberFormat.h"

#include <charconv>

namespace {

size_t Utf8Length(const std::string &s, size_t ich)
{
    uint8_t b = static_cast<uint8_t>(s[ich]);
    size_t cb = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return cb < s.size() - ich ? cb : s.size() - ich;
}

bool StartsWithNoCase(const std::string &s, size_t ich, std::string_view prefix)
{
    if (s.size() - ich < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); i++) {
        char ch = s[ich + i];
        if ((ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch) != prefix[i]) {
            return false;
        }
    }
    return true;
}

char Lower(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
}

} // namespace

NumberFormat::NumberFormat()
        : m_code("General"), m_pLocale(&FormatLocale::EnUs()), m_pNumberLocale(&FormatLocale::EnUs()),
          m_pTags(nullptr)
{
    Parse();
}

NumberFormat::NumberFormat(std::string_view code, const FormatLocale &locale, CodeTagLocales *pTags)
        : m_code(SystemFormatCode(code, locale)), m_pLocale(&locale), m_pNumberLocale(&locale), m_pTags(pTags)
{
    Parse();
}

void NumberFormat::AddLiteral(std::string_view text)
{
    if (!m_rgToken.empty() && m_rgToken.back().kind == FormatTokenKind::Literal &&
        m_rgToken.size() > m_rgSection.back().iFirst &&
        m_rgToken.back().ib + m_rgToken.back().cb == m_literals.size()) {
        m_rgToken.back().cb += static_cast<uint32_t>(text.size());
    } else {
        m_rgToken.push_back({FormatTokenKind::Literal, 0, static_cast<uint32_t>(m_literals.size()),
                             static_cast<uint32_t>(text.size())});
    }
    m_literals.append(text);
}

void NumberFormat::Parse()
{
    size_t ich = 0;
    size_t ichNoBracket = SIZE_MAX; // once known: no ']' follows, so a '[' from there on is text
    for (;;) {
        m_rgSection.emplace_back();
        m_rgSection.back().iFirst = static_cast<uint32_t>(m_rgToken.size());
        ParseSection(&ich, &ichNoBracket);
        FinishSection(&m_rgSection.back());
        // A fifth section and what follows it are not shown.
        if (ich >= m_code.size() || m_rgSection.size() == 4) {
            break;
        }
        ich++;
    }
    // A code that only says General, with nothing that shows nothing either: [$-409]General
    // stays a code of its own.
    const FormatSection &first = m_rgSection[0];
    m_fGeneral = m_rgSection.size() == 1 && first.kind == SectionKind::General &&
                 first.iEnd - first.iFirst == 1 && first.chOp == 0;
    DropEmptyTokens();
    for (size_t i = 0; i < m_rgSection.size(); i++) {
        if (m_rgSection[i].kind == SectionKind::Text || i == 3) {
            m_iTextSection = static_cast<int>(i);
        }
    }
    m_cbNumberShownMax = GeneralShownMax(m_pNumberLocale->decimal.size()); // a number no section takes
    for (size_t i = 0; i < m_rgSection.size(); i++) {
        FormatSection &section = m_rgSection[i];
        section.cbShownMax = SectionShownMax(section);
        m_cbNumberShownMax =
            section.cbShownMax > m_cbNumberShownMax ? section.cbShownMax : m_cbNumberShownMax;
        if (static_cast<int>(i) == m_iTextSection) {
            for (uint32_t iToken = section.iFirst; iToken < section.iEnd; iToken++) {
                m_cTextAt += m_rgToken[iToken].kind == FormatTokenKind::Text;
                m_cbTextLiterals += Literal(m_rgToken[iToken]).size();
            }
        }
    }
}

void NumberFormat::ParseSection(size_t *pich, size_t *pichNoBracket)
{
    FormatSection &section = m_rgSection.back();
    const std::string &code = m_code;
    size_t ich = *pich;
    auto push = [&](FormatTokenKind kind, uint32_t n, size_t ib, size_t cb) {
        m_rgToken.push_back({kind, n, static_cast<uint32_t>(ib), static_cast<uint32_t>(cb)});
    };
    while (ich < code.size() && code[ich] != ';') {
        char ch = code[ich];
        size_t ichStart = ich;
        switch (ch) {
        case '"': {
            size_t ichEnd = code.find('"', ich + 1);
            if (ichEnd == std::string::npos) {
                ichEnd = code.size();
            }
            AddLiteral(std::string_view(code).substr(ich + 1, ichEnd - ich - 1));
            ich = ichEnd + 1 < code.size() ? ichEnd + 1 : code.size();
            continue;
        }
        case '\\':
        case '_':
        case '*': {
            size_t cb = ich + 1 < code.size() ? Utf8Length(code, ich + 1) : 0;
            if (ch == '\\') {
                AddLiteral(std::string_view(code).substr(ich + 1, cb));
            } else if (ch == '_') {
                AddLiteral(" "); // as wide as the character: one space in text
            }
            ich += 1 + cb;
            continue;
        }
        case '[': {
            size_t ichEnd = ich < *pichNoBracket ? code.find(']', ich + 1) : std::string::npos;
            if (ichEnd == std::string::npos) {
                *pichNoBracket = ich;
                AddLiteral("[");
                ich++;
                continue;
            }
            ParseBracket(ich + 1, ichEnd, &section);
            ich = ichEnd + 1;
            continue;
        }
        case '0':
        case '#':
        case '?':
            push(FormatTokenKind::Digit, static_cast<uint32_t>(ch), ich, 1);
            ich++;
            continue;
        case '.':
            push(FormatTokenKind::Point, 0, ich, 1);
            ich++;
            continue;
        case ',':
            push(FormatTokenKind::Comma, 0, ich, 1);
            ich++;
            continue;
        case '%':
            section.cPercent++;
            AddLiteral("%");
            ich++;
            continue;
        case '@':
            push(FormatTokenKind::Text, 0, ich, 1);
            ich++;
            continue;
        case '/': {
            // A fixed denominator's digits are the token's own text, read when it becomes a bar.
            ich++;
            bool fFixed = ich < code.size() && code[ich] >= '1' && code[ich] <= '9';
            while (fFixed && ich < code.size() && code[ich] >= '0' && code[ich] <= '9') {
                ich++;
            }
            push(FormatTokenKind::Slash, fFixed, ichStart, ich - ichStart);
            continue;
        }
        case 'E':
        case 'e':
            if (ich + 1 < code.size() && (code[ich + 1] == '+' || code[ich + 1] == '-')) {
                push(FormatTokenKind::Exponent, code[ich + 1] == '+', ich, 2);
                ich += 2;
                continue;
            }
            break;
        default: break;
        }
        char chLower = Lower(ch);
        if (chLower == 'y' || chLower == 'm' || chLower == 'd' || chLower == 'h' || chLower == 's') {
            while (ich < code.size() && Lower(code[ich]) == chLower) {
                ich++;
            }
            static const FormatTokenKind rgKind[] = {FormatTokenKind::Year, FormatTokenKind::Month,
                                                     FormatTokenKind::Day, FormatTokenKind::Hour,
                                                     FormatTokenKind::Second};
            size_t iKind = std::string_view("ymdhs").find(chLower);
            push(rgKind[iKind], static_cast<uint32_t>(ich - ichStart), ichStart, ich - ichStart);
        } else if (StartsWithNoCase(code, ich, "am/pm")) {
            push(FormatTokenKind::AmPm, 0, ich, 5);
            ich += 5;
        } else if (StartsWithNoCase(code, ich, "a/p")) {
            push(FormatTokenKind::AmPm, ch == 'A' ? 1 : 2, ich, 3);
            ich += 3;
        } else if (StartsWithNoCase(code, ich, "general")) {
            push(FormatTokenKind::General, 0, ich, 7);
            ich += 7;
        } else {
            size_t cb = Utf8Length(code, ich);
            AddLiteral(std::string_view(code).substr(ich, cb));
            ich += cb;
        }
    }
    section.iEnd = static_cast<uint32_t>(m_rgToken.size());
    *pich = ich;
}

// [Red], [Color 10], [DBNum1], calendars and the like show nothing; [$€-407] shows its symbol,
// [<100] is the section's condition, [h] [mm] [ss] are elapsed time.
void NumberFormat::ParseBracket(size_t ichFirst, size_t ichEnd, FormatSection *pSection)
{
    std::string_view content = std::string_view(m_code).substr(ichFirst, ichEnd - ichFirst);
    if (content.empty()) {
        return;
    }
    char ch = content[0];
    if (ch == '$') {
        // [$-407] shows the cell as German does; [$€-407] writes € and German names, with the
        // reader's own separators, as the spreadsheet and LibreOffice do.
        size_t ichDash = content.find('-');
        std::string_view symbol =
            content.substr(1, ichDash == std::string_view::npos ? std::string_view::npos : ichDash - 1);
        AddLiteral(symbol);
        const FormatLocale *pLocale = nullptr;
        if (ichDash != std::string_view::npos && !m_fTagSeen) {
            m_fTagSeen = true;
            std::string_view tag = content.substr(ichDash + 1);
            pLocale = m_pTags != nullptr ? m_pTags->Find(tag) : FormatLocaleOfCodeTag(tag);
        }
        if (pLocale != nullptr) {
            m_pLocale = pLocale;
            m_pNumberLocale = symbol.empty() ? pLocale : m_pNumberLocale;
        }
        return;
    }
    if (ch == '<' || ch == '>' || ch == '=') {
        size_t cchOp = content.size() > 1 && (content[1] == '=' || content[1] == '>') ? 2 : 1;
        pSection->chOp = cchOp == 1 ? ch : content[1] == '>' ? 'n' : ch == '<' ? 'l' : 'g';
        std::string_view limit = content.substr(cchOp);
        while (!limit.empty() && limit[0] == ' ') {
            limit.remove_prefix(1);
        }
        if (!limit.empty() && limit[0] == '+') {
            limit.remove_prefix(1);
        }
        pSection->dLimit = 0;
        std::from_chars(limit.data(), limit.data() + limit.size(), pSection->dLimit);
        return;
    }
    char chLower = Lower(ch);
    if (chLower != 'h' && chLower != 'm' && chLower != 's') {
        return;
    }
    for (char chOther : content) {
        if (Lower(chOther) != chLower) {
            return;
        }
    }
    FormatTokenKind kind = chLower == 'h'   ? FormatTokenKind::ElapsedHour
                           : chLower == 'm' ? FormatTokenKind::ElapsedMinute
                                            : FormatTokenKind::ElapsedSecond;
    m_rgToken.push_back({kind, static_cast<uint32_t>(content.size()), static_cast<uint32_t>(ichFirst),
                         static_cast<uint32_t>(content.size())});
}

void NumberFormat::MakeLiteral(uint32_t iToken)
{
    FormatToken &token = m_rgToken[iToken];
    uint32_t ib = static_cast<uint32_t>(m_literals.size());
    m_literals.append(m_code, token.ib, token.cb);
    token = {FormatTokenKind::Literal, 0, ib, token.cb};
}
