// A number format code parsed once into sections and tokens, and the values it shows: numbers,
// dates, times and texts rendered as a spreadsheet set to a locale shows them in a cell wide enough.
#ifndef CELLSIFT_NUMFORMAT_NUMBERFORMAT_H
#define CELLSIFT_NUMFORMAT_NUMBERFORMAT_H

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

#include "numformat/FormatLocale.h"

enum class FormatTokenKind : uint8_t {
    Literal,  // m_literals[ib, ib + cb)
    Digit,    // a placeholder: n is '0', '#' or '?'
    Point,    // the decimal point
    Comma,    // a thousands separator or a scaling comma, resolved per section
    Exponent, // E+ or E-: n is 1 when the sign always shows; m_literals[ib] is the letter
    Slash,    // a fraction bar; n is 1 for a fixed denominator (the section's), 0 when placeholders follow
    Text,     // @
    General,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,         // n: how many letters
    SecondFraction, // n: how many decimals of a second
    AmPm,           // n: 0 AM/PM, 1 A/P, 2 a/p
    ElapsedHour,
    ElapsedMinute,
    ElapsedSecond, // n: the width of the number
};

struct FormatToken {
    FormatTokenKind kind;
    uint32_t n;
    uint32_t ib; // the token's text: its literal, or where its letters start in the code
    uint32_t cb;
};

enum class SectionKind : uint8_t {
    Number,
    Fraction,
    Scientific,
    Date,
    Text,
    General
};

struct FormatSection {
    uint32_t iFirst = 0, iEnd = 0; // its tokens
    SectionKind kind = SectionKind::Number;
    char chOp = 0; // the condition: 0 none, '<', '>', '=', 'l' (<=), 'g' (>=), 'n' (<>)
    double dLimit = 0;
    bool fThousands = false;
    bool fAmPm = false;
    bool fDateParts = false, fTimeParts = false, fElapsed = false; // what a date section shows
    bool fDayOfMonth = false; // a date section with d or dd: mmmm writes the month as a date does
    uint32_t cInt = 0;        // digit placeholders before the point, exponent or fraction
    uint32_t cFrac = 0;       // after the point
    uint32_t cScale = 0;      // scaling commas: each divides by 1000
    uint32_t cPercent = 0;
    uint32_t cSecondDecimals = 0;
    uint32_t iNumerator = 0, iSlash = 0; // Fraction: the numerator's first placeholder, the bar
    double dDenominator = 0;             // Fraction: the fixed denominator, as the code writes it
    uint32_t iExponent = 0;              // Scientific: the E+ or E- token
    // Number: literals, then #s before 0s with nothing between but thousands separators, the
    // point and 0s, then literals; [iDigitsFirst, iDigitsEnd) the digits, cIntZeros their 0s.
    bool fPlainDigits = false, fPoint = false;
    uint32_t iDigitsFirst = 0, iDigitsEnd = 0, cIntZeros = 0;
    size_t cbShownMax = 0; // the most a number shows through the section
};

class NumberFormat {
public:
    // General, en-US.
    NumberFormat();
    // Parses code in time linear in its length, whatever it holds. The code shows numbers and
    // dates as locale has them, unless its first locale tag names one of its own ([$-407]),
    // found through pTags (a workbook's) when given.
    explicit NumberFormat(std::string_view code, const FormatLocale &locale = FormatLocale::EnUs(),
                          CodeTagLocales *pTags = nullptr);

    const std::string &Code() const { return m_code; }
    // The names, date separator and day periods the code shows, and its number separators:
    // the reader's locale, or the one the code's tag names ([$€-407] names only the former).
    const FormatLocale &Locale() const { return *m_pLocale; }
    const FormatLocale &NumberLocale() const { return *m_pNumberLocale; }
    bool IsGeneral() const { return m_fGeneral; }
    // A text cell shows through the format only when it has a text section.
    bool HasTextSection() const { return m_iTextSection >= 0; }
    // The format shows a number as a date or a time.
    bool IsDate() const;

    // Appends d as the format shows it; fDate1904 picks the date system.
    void Render(double d, bool fDate1904, std::string *pOut) const;
    // Appends a text cell's text as the format's text section shows it.
    void RenderText(std::string_view text, std::string *pOut) const;
    // What Render appends at most, whatever the number: known before rendering, so that a
    // reader can charge it to a budget first. Linear in the code's length.
    size_t NumberShownMax() const { return m_cbNumberShownMax; }
    // What RenderText appends for a text of cbText bytes, exactly; SIZE_MAX past what a size
    // counts. A text section of many @ repeats the text as often.
    size_t TextShownSize(size_t cbText) const;

    // The parts the renderers of numbers and of dates read.
    const FormatToken &Token(uint32_t i) const { return m_rgToken[i]; }
    // How many tokens the parsed code keeps: none of them shows nothing.
    size_t TokenCount() const { return m_rgToken.size(); }
    std::string_view Literal(const FormatToken &token) const
    {
        return token.kind == FormatTokenKind::Literal
                   ? std::string_view(m_literals).substr(token.ib, token.cb)
                   : std::string_view();
    }

private:
    void Parse();
    void ParseSection(size_t *pich, size_t *pichNoBracket);
    void ParseBracket(size_t ichFirst, size_t ichEnd, FormatSection *pSection);
    void AddLiteral(std::string_view text);
    void MakeLiteral(uint32_t iToken);
    void FinishSection(FormatSection *pSection);
    void FinishDateSection(FormatSection *pSection);
    void FinishNumberSection(FormatSection *pSection);
    void FindPlainDigits(FormatSection *pSection) const;
    void FinishOtherSection(FormatSection *pSection, SectionKind kind, FormatTokenKind keep);
    double FixedDenominator(const FormatToken &slash) const;
    void DropEmptyTokens();
    size_t SectionShownMax(const FormatSection &section) const;
    const FormatSection *PickSection(double d, bool *pfSign) const;
    void AppendGeneralHere(double d, std::string *pOut) const;

    std::string m_code;
    const FormatLocale *m_pLocale, *m_pNumberLocale;
    CodeTagLocales *m_pTags;
    bool m_fTagSeen = false; // only a code's first locale tag is looked up
    std::string m_literals;
    std::vector<FormatToken> m_rgToken;
    std::vector<FormatSection> m_rgSection;
    int m_iTextSection = -1;
    bool m_fGeneral = true;
    size_t m_cbNumberShownMax = 0;
    size_t m_cTextAt = 0, m_cbTextLiterals = 0; // the text section's @ and its literals' bytes
};

// Appends d as General shows it: at most 15 significant digits, scientific notation from
// 10^15 up (but for whole numbers below 2^53), below 10^-9, and between 10^-9 and 10^-4 for
// numbers whose fixed form needs more than 16 decimals; decimal is the separator it writes.
void AppendGeneral(double d, std::string *ps, std::string_view decimal = ".");
// The longest General text: "-2.2250738585072E-308", and room for what is not finite.
const size_t cbGeneralShownMax = 24;
// The same with a decimal separator of cbDecimal bytes.
inline size_t GeneralShownMax(size_t cbDecimal)
{
    return cbGeneralShownMax - 1 + cbDecimal;
}

// Renders the number sections (plain, fraction, scientific) and the date sections.
void RenderNumberSection(const NumberFormat &format, const FormatSection &section, double d, bool fSign,
                         std::string *ps);
// False, appending nothing, when d is no date of the system the section can show.
bool RenderDateSection(const NumberFormat &format, const FormatSection &section, double d, bool fDate1904,
                       std::string *ps);

// The code of built-in format ifmt (0-81) as locale defines it; empty for the numbers with none.
std::string BuiltinFormatCode(uint16_t ifmt, const FormatLocale &locale = FormatLocale::EnUs());
// A code that names the system's long date ([$-F800]) or time ([$-F400]) shows the locale's,
// whatever follows the tag: the tag and the locale's code; any other code is itself.
std::string SystemFormatCode(std::string_view code, const FormatLocale &locale);

#endif
