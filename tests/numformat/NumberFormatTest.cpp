// The number-format engine against what LibreOffice shows for several thousand (format code,
// value) pairs (tests/numformat/cases), and the parser's limits on hostile codes.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "numformat/CellValue.h"
#include "numformat/FormatCases.h"
#include "numformat/NumberFormat.h"

namespace {

std::string Shown(const FormatCase &c, const FormatLocale &locale)
{
    std::string code = c.code;
    if (code.compare(0, 8, "builtin:") == 0) {
        code = BuiltinFormatCode((uint16_t)atoi(code.c_str() + 8), locale);
        code = code.empty() ? "General" : code;
    }
    NumberFormat format(code, locale);
    std::string out;
    if (c.value.compare(0, 5, "text:") == 0) {
        format.RenderText(c.value.substr(5), &out);
    } else if (c.value.compare(0, 5, "1904:") == 0) {
        format.Render(strtod(c.value.c_str() + 5, nullptr), true, &out);
    } else {
        format.Render(strtod(c.value.c_str(), nullptr), false, &out);
    }
    // What is shown fits in what the format said it may show.
    EXPECT_LE(out.size(), c.value.compare(0, 5, "text:") == 0 ? format.TextShownSize(c.value.size() - 5)
                                                              : format.NumberShownMax())
        << c.code << " " << c.value;
    return out;
}

int CountFailures(const std::vector<FormatCase> &rgCase, const FormatLocale &locale)
{
    int cFailed = 0;
    for (const FormatCase &c : rgCase) {
        // Booleans and formula results are the reader's (ShownTest.cpp): no format shows them.
        if (c.value.compare(0, 5, "bool:") == 0 || c.value.compare(0, 8, "formula:") == 0) {
            continue;
        }
        std::string shown = Shown(c, locale);
        if (shown != c.shown && ++cFailed <= 60) {
            ADD_FAILURE() << locale.tag << " line " << c.nLine << ": [" << c.code << "] " << c.value
                          << " shows \"" << shown << "\", expected \"" << c.shown << "\""
                          << (c.note.empty() ? "" : " (") << c.note << (c.note.empty() ? "" : ")");
        }
    }
    return cFailed;
}

TEST(NumberFormat, ShowsWhatLibreOfficeShows)
{
    std::vector<FormatCase> rgCase = ReadFormatCases();
    ASSERT_GT(rgCase.size(), 2000u);
    EXPECT_EQ(CountFailures(rgCase, FormatLocale::EnUs()), 0) << "of " << rgCase.size() << " cases";
}

TEST(NumberFormat, ShowsWhatLibreOfficeShowsInOtherLocales)
{
    for (const char *pszLocale : rgszCaseLocale) {
        const FormatLocale *pLocale = FindFormatLocale(pszLocale);
        ASSERT_NE(pLocale, nullptr) << pszLocale;
        std::vector<FormatCase> rgCase = ReadFormatCases(pszLocale);
        ASSERT_GT(rgCase.size(), 900u) << pszLocale;
        EXPECT_EQ(CountFailures(rgCase, *pLocale), 0) << "of " << rgCase.size() << " cases in " << pszLocale;
    }
}

} // namespace

namespace {

// Codes a file may hold: each pattern repeated until the code is long. Parsing and showing
// stay linear (a quadratic step would not finish here) and the text stays in proportion.
TEST(NumberFormat, HostileCodesStayLinear)
{
    const char *const rgszPattern[] = {"[",     "\"",      "[h",   "]",    "0,",    ",",   "%",
                                       "0.",    ".0",      "s.0",  "mm",   "[<1]",  "?/",  "0/",
                                       "E+0",   "_",       "*",    "\\",   ";",     "@",   "[$",
                                       "h:m:s", "#,##0.0", "yyyy", "[ss]", "# ?/?", "a/p", "General"};
    for (const char *pszPattern : rgszPattern) {
        std::string code;
        while (code.size() < 200000) {
            code += pszPattern;
        }
        NumberFormat format(code);
        for (double d : {0.0, -1234.5678, 45000.75, 1e300, 1e-300}) {
            std::string out;
            format.Render(d, false, &out);
            EXPECT_LE(out.size(), 6 * code.size() + 1024) << pszPattern;
        }
        std::string out;
        format.RenderText("abc", &out);
        EXPECT_LE(out.size(), 3 * code.size() + 3) << pszPattern;
    }
}

TEST(NumberFormat, BuiltinCodesAreDatesWhereTheReaderTakesThemForDates)
{
    for (const char *pszLocale : {"en-US", "ru-RU", "ja-JP", "ar-SA", "zh-TW"}) {
        const FormatLocale *pLocale = FindFormatLocale(pszLocale);
        ASSERT_NE(pLocale, nullptr) << pszLocale;
        for (uint16_t ifmt = 0; ifmt < 200; ifmt++) {
            std::string code = BuiltinFormatCode(ifmt, *pLocale);
            bool fEastAsian = (ifmt >= 27 && ifmt <= 36) || (ifmt >= 50 && ifmt <= 58);
            bool fThai = ifmt >= 59 && ifmt <= 81;
            bool fDefined = ifmt <= 22 || (ifmt >= 37 && ifmt <= 49) || fEastAsian || fThai;
            ASSERT_EQ(!code.empty(), fDefined) << ifmt;
            if (fDefined) {
                bool fDate =
                    (ifmt >= 14 && ifmt <= 22) || (ifmt >= 45 && ifmt <= 47) || fEastAsian || ifmt >= 71;
                EXPECT_EQ(NumberFormat(code, *pLocale).IsDate(), fDate)
                    << pszLocale << " " << ifmt << " " << code;
                // What the code shows agrees with what the cell is taken for: a date or a number.
                EXPECT_EQ(IsBuiltInDateFormat(ifmt), fDate) << ifmt;
            }
        }
    }
    EXPECT_EQ(BuiltinFormatCode(14), "m/d/yyyy");
    EXPECT_EQ(BuiltinFormatCode(22), "m/d/yyyy h:mm");
    EXPECT_TRUE(NumberFormat("General").IsGeneral());
    EXPECT_TRUE(NumberFormat().IsGeneral());
    EXPECT_FALSE(NumberFormat("General;-General").IsGeneral());
}

// Values no format case holds: not finite, and the day 9999-12-31 ends.
TEST(NumberFormat, ValuesAtTheEdges)
{
    struct {
        const char *pszCode;
        double d;
        bool fDate1904;
        const char *pszShown;
    } rgCase[] = {
        {"0.00", NAN, false, "nan"},
        {"m/d/yyyy", INFINITY, false, "inf"},
        {"m/d/yyyy h:mm:ss", 2958465.99998, false, "12/31/9999 23:59:58"},
        {"m/d/yyyy h:mm:ss", 2958465.999999, false, "2958465.999999"}, // the next second is past the last day
        {"m/d/yyyy h:mm:ss", 2958465.9999999, false, "2958465.9999999"},
        {"m/d/yyyy", 2957003.5, true, "12/31/9999"},
        {"m/d/yyyy", 2957004.0, true, "2957004"},
        {"dddd", 1.0, false, "Sunday"}, // the 1900 system's weekdays count from its day 0
        {"dddd", 61.0, false, "Thursday"},
        {"[h]:mm:ss.000", 1.0 / 86400 / 2000, false, "0:00:00.001"},
        {"# ?????????"
         "/?????????",
         3.14159265358979, false, "3  35580937/251290841"},
        {"0.0E+0", 1e308, false, "1.0E+308"},
        {"#,##0", 1e308, false, ""},
    };
    for (const auto &c : rgCase) {
        std::string out;
        NumberFormat(c.pszCode).Render(c.d, c.fDate1904, &out);
        if (c.pszShown[0] != '\0') {
            EXPECT_EQ(out, c.pszShown) << c.pszCode << " " << c.d;
        } else {
            EXPECT_EQ(out.size(), 309u + 102u) << c.pszCode; // every digit, a comma per three
        }
    }
}

} // namespace
