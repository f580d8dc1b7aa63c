// What a format shows at most, known before it renders: a text section's exact size, a number's
// bound; tokens that show nothing gone at parse time; fixed denominators of any length.
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>

#include <string>

#include "numformat/NumberFormat.h"

namespace {

std::string Shown(const NumberFormat &format, double d)
{
    std::string out;
    format.Render(d, false, &out);
    return out;
}

TEST(FormatShownSize, TextSectionSizeIsKnownBeforeRendering)
{
    const char *const rgszCode[] = {"@",          "@@@",           "\"<\"@\">\" @",       "0;-0;0;[Red]@_)x",
                                    "0.00",       "General",       "\\[@\\]\"@\"General", "yyyy;@*-@",
                                    "[$€-407]@@", "0;0;0;\"only\""};
    const std::string rgText[] = {"", "a", "\xE4\xB8\xAD\xE6\x96\x87", std::string(5000, 'x')};
    for (const char *pszCode : rgszCode) {
        NumberFormat format(pszCode);
        for (const std::string &text : rgText) {
            std::string out;
            format.RenderText(text, &out);
            EXPECT_EQ(format.TextShownSize(text.size()), out.size()) << pszCode << " " << text.size();
        }
    }
    // A text section that repeats its text tells so without a size that wraps.
    EXPECT_EQ(NumberFormat("@@@").TextShownSize(SIZE_MAX / 2), SIZE_MAX);
    EXPECT_EQ(NumberFormat("0.0").TextShownSize(SIZE_MAX / 2), SIZE_MAX / 2);
    std::string code(4000, '@');
    EXPECT_EQ(NumberFormat(code).TextShownSize(4000), 16000000u);
}

// Values that take each section kind to its widest: every digit of the largest double,
// an improper fraction of it, exponents past 300, the longest names and elapsed times.
TEST(FormatShownSize, NumbersNeverShowMoreThanTheBound)
{
    const char *const rgszCode[] = {"#,##0",
                                    "0.00%",
                                    "#,##0.00_);(#,##0.00)",
                                    "?/?",
                                    "# ?"
                                    "?/??",
                                    "#,##0 0/1234567",
                                    "0.0E+0",
                                    "##0.00E-00",
                                    "dddd, mmmm d yyyy h:mm:ss.000 AM/PM",
                                    "[h]:mm:ss",
                                    "[ss].00",
                                    "[mm]",
                                    "General",
                                    "General General;-General",
                                    "0;@;General;@",
                                    "[>1]0.0;[<-1]#,##0;General",
                                    "\"x\"%%%%",
                                    "yy m d h"};
    const double rgd[] = {1.7976931348623157e308,
                          -1.7976931348623157e308,
                          4.9e-324,
                          -2.5e-310,
                          0.0,
                          0.5,
                          -999999999.75,
                          2958465.999,
                          123456789.123456789,
                          NAN,
                          -INFINITY};
    for (const char *pszCode : rgszCode) {
        NumberFormat format(pszCode);
        for (double d : rgd) {
            EXPECT_LE(Shown(format, d).size(), format.NumberShownMax()) << pszCode << " " << d;
        }
    }
    // The bound is for the code, not for the largest number: a short one is short.
    EXPECT_LT(NumberFormat("0.00").NumberShownMax(), 512u);
    EXPECT_EQ(NumberFormat("yyyy-mm-dd").NumberShownMax(), cbGeneralShownMax);
}

// A code of tens of thousands of tokens that show nothing (scaling commas, a second's zeros
// past the ninth, commas after an exponent) renders as fast as its short form, and the same.
TEST(FormatShownSize, TokensThatShowNothingCostNothing)
{
    struct {
        std::string code;
        const char *pszShort;
        double d;
    } rgCase[] = {
        {"#" + std::string(60000, ','), "#,,,", 1234567.0},
        {"0" + std::string(60000, ',') + "\" kB\"", "0,,,\" kB\"", 0.0},
        {"h:mm:ss." + std::string(60000, '0'), "h:mm:ss.000000000", 0.1234567891234},
        {"0E+0" + std::string(60000, ','), "0E+0", 12345.0},
        {"[$-409]0" + std::string(20000, '[') + "$-409]0", "00", 7.0},
    };
    for (const auto &c : rgCase) {
        NumberFormat format(c.code);
        ASSERT_EQ(Shown(format, c.d), Shown(NumberFormat(c.pszShort), c.d)) << c.pszShort;
        // The tokens that show nothing are gone once the code is parsed: no cell walks them.
        EXPECT_EQ(format.TokenCount(), NumberFormat(c.pszShort).TokenCount()) << c.pszShort;
    }
    // What a cell says its code is does not change: this one is still not General's.
    EXPECT_FALSE(NumberFormat("[$-409]General").IsGeneral());
}

// The denominator shown is the one the numerator was worked out with, whatever its length;
// one past a double shows the number as General.
TEST(FormatShownSize, FixedDenominatorIsTheOneShown)
{
    struct {
        const char *pszCode;
        double d;
        const char *pszShown;
    } rgCase[] = {
        {"# ?/1234567890", 0.3, " 370370367/1234567890"},
        {"# ?/1234567890", 1.37, "1 456790119/1234567890"},
        {"# ?/12345678901", 0.3, " 3703703670/12345678901"},
        {"?/1000000000000", 0.125, "125000000000/1000000000000"},
        {"# ?/9999999999999999999999999999999999999999", 0.5,
         " 5000000000000000000000000000000000000000/9999999999999999999999999999999999999999"},
        {"# ?/16", 2.3, "2 5/16"},
    };
    for (const auto &c : rgCase) {
        EXPECT_EQ(Shown(NumberFormat(c.pszCode), c.d), c.pszShown) << c.pszCode;
    }
    std::string code = "?/1" + std::string(400, '0');
    EXPECT_EQ(Shown(NumberFormat(code), 0.25), "0.25");
}

} // namespace
