// The digits plain sections show, rounded by one multiplication where no half-way point is near:
// they must be the digits rounding the first 15 significant digits gives; General and codes
// without a digit before the point lose none of them. And shown texts longer than the buffer.
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <initializer_list>
#include <string>

#include "numformat/FormatDigits.h"

namespace {

std::string Text(const Decimal &dec)
{
    return std::string(dec.rg, (size_t)dec.cDigit) + "e" + std::to_string(dec.nInt);
}

// What ToRoundedDecimal gives and what rounding the 15 digits gives, as text.
void ExpectSameDigits(double v, int cFrac)
{
    Decimal dec;
    ToRoundedDecimal(v, cFrac, &dec);
    Decimal ref;
    ToDecimal(v, &ref);
    RoundTo(&ref, ref.nInt + cFrac);
    ASSERT_EQ(Text(dec), Text(ref)) << v << " to " << cFrac << " decimals";
}

TEST(FormatDigits, RoundingTheProductAgreesWithFifteenDigits)
{
    // 2.675 is stored below 2.675 and 1.005 below 1.005: both round up on their 15 digits.
    const double rgd[] = {0,
                          2.675,
                          1.005,
                          0.125,
                          0.5,
                          1.5,
                          2.5,
                          9.995,
                          0.045,
                          999.9999,
                          4.35,
                          1234.5678,
                          1e-7,
                          5e-324,
                          2.2250738585072014e-308,
                          0.1 + 0.2,
                          1.0000000000000002,
                          1e14 + 0.5,
                          99999999999999.5,
                          999999999999999.0,
                          1e15,
                          1e15 + 2,
                          1e300,
                          123456789012.345};
    for (double d : rgd) {
        for (int cFrac = 0; cFrac <= 18; cFrac++) {
            ExpectSameDigits(d, cFrac);
        }
    }
}

TEST(FormatDigits, RoundingTheProductAgreesNextToHalfWayPoints)
{
    const double rgdPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    uint64_t x = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 100000; i++) {
        x = x * 6364136223846793005u + 1442695040888963407u;
        int cFrac = (int)((x >> 59) % 16);
        int cDigit = 1 + (int)((x >> 52) % 15);
        double k = (double)((x >> 8) % (uint64_t)rgdPow10[cDigit]);
        // k + 1/2 units of the last decimal shown, the doubles beside it, and points a few of
        // the 15th digit's units away, which the 15 digits round onto it or not.
        double v = (k + 0.5) / rgdPow10[cFrac];
        double rgv[] = {v,
                        nextafter(v, 0),
                        nextafter(v, INFINITY),
                        v * (1 + 3e-15),
                        v * (1 - 3e-15),
                        v * (1 + 3e-16),
                        v * (1 - 3e-16)};
        for (double w : rgv) {
            ExpectSameDigits(w, cFrac);
        }
    }
}

std::string Shown(const std::string &code, double d)
{
    std::string out = "before:";
    NumberFormat(code).Render(d, false, &out);
    return out;
}

struct ShownCase {
    const char *pszCode;
    double d;
    const char *pszShown;
};

void ExpectShown(std::initializer_list<ShownCase> cases)
{
    for (const ShownCase &c : cases) {
        EXPECT_EQ(Shown(c.pszCode, c.d), std::string("before:") + c.pszShown) << c.pszCode << " " << c.d;
    }
}

// Sections of plain digits take a path of their own unless the product is near a half-way
// point or past 15 digits; both paths must show the same.
TEST(FormatDigits, PlainDigitSections)
{
    ExpectShown({
        {"0.", 5, "5."},
        {"#,##0", 0.4, "0"},
        {"#,##0", -0.4, "0"}, // rounds to zero: no sign
        {"0,000", 12, "0,012"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0.00", -999.995, "-1,000.00"},
        {"0.00", 2.675, "2.68"},               // stored below the half: the 15 digits round it up
        {"0.00", 1e15, "1000000000000000.00"}, // past 15 digits
        {"0.00", 123456789012.345, "123456789012.35"},
        {"\\$#,##0.00_)", -1234.5, "-$1,234.50 "},
        {"0.000,\\K", 1234567, "1234.567K"},
        {"0%", 0.125, "13%"},
        {"00.0", 0.05, "00.1"},
        {"#0", 0, "0"},
    });
}

// The renderers gather text in 64 bytes: literals and digits that fill it, cross it or pass it
// whole must come out in order, after what the string held.
TEST(FormatDigits, TextsLongerThanTheBuffer)
{
    const std::string a63(63, 'a'), b64(64, 'b'), c100(100, 'c');
    struct {
        std::string code;
        double d;
        std::string shown;
    } rgCase[] = {
        {"0\"" + a63 + "\"0", 12, "1" + a63 + "2"},
        {"\"" + b64 + "\"0.00", 1.5, b64 + "1.50"},
        {"0.00\"" + c100 + "\"", -1.5, "-1.50" + c100},
        {"#,##0\"" + a63 + "\"", 1e20, "100,000,000,000,000,000,000" + a63},
        {"# ?/8\"" + b64 + "\"", 2.25, "2 2/8" + b64},
        {"yyyy-mm-dd \"" + c100 + "\" hh:mm:ss", 45000.75, "2023-03-15 " + c100 + " 18:00:00"},
        {"dddd, mmmm d, yyyy \"" + a63 + "\" [h]:mm:ss.00", 45000.75,
         "Wednesday, March 15, 2023 " + a63 + " 1080018:00:00.00"},
    };
    for (const auto &c : rgCase) {
        EXPECT_EQ(Shown(c.code, c.d), "before:" + c.shown) << c.code;
    }
}

// Whatever the magnitude, General's text reads back as the value's 15 significant digits (no
// digit lost to the 20-decimal limit or a misplaced point), fixed exactly where its rule says.
TEST(FormatDigits, GeneralKeepsFifteenDigitsAtEveryMagnitude)
{
    uint64_t x = 0x2545F4914F6CDD1Du;
    for (int i = 0; i < 200000; i++) {
        x = x * 6364136223846793005u + 1442695040888963407u;
        double d = ldexp(1.0 + (double)(x >> 12) / 4503599627370496.0, (int)((x >> 4) % 160) - 100);
        if (x & 1) {
            d = -d;
        }
        std::string out;
        AppendGeneral(d, &out);
        char rgch[32];
        snprintf(rgch, sizeof(rgch), "%.14e", d);
        double dExpected = strtod(rgch, nullptr);
        size_t ichE = out.find('E');
        bool fFixed = ichE == std::string::npos;
        if (fFixed) {
            size_t ichPoint = out.find('.');
            ASSERT_LE(ichPoint == std::string::npos ? 0 : out.size() - ichPoint - 1, 20u) << out;
            // Past 17 decimals the 20-decimal limit may round the 15 digits further.
            if (fabs(d) >= 1e-5) {
                ASSERT_EQ(strtod(out.c_str(), nullptr), dExpected) << out;
            } else {
                ASSERT_LE(fabs(strtod(out.c_str(), nullptr) - dExpected), 5e-21) << out;
            }
        } else {
            ASSERT_EQ(strtod(out.c_str(), nullptr), dExpected) << out;
            ASSERT_GE(out.size() - ichE, 4u) << out; // E, its sign, two digits at least
        }
        double v = fabs(d);
        bool fWhole = v == floor(v) && v < 9007199254740992.0;
        if (v >= 1e-4 && (v < 1e15 || fWhole)) {
            ASSERT_TRUE(fFixed) << out;
        } else if (v < 9e-10 || v >= 1e15) {
            ASSERT_FALSE(fFixed) << out;
        }
    }
}

// Beyond the frozen cases (formats/format-cases.tsv): codes with no placeholder before the
// point keep their integer digits after the section's literals, and only the exact tags
// [$-F800] and [$-F400] (of either case) stand for the system's long date and time.
TEST(FormatDigits, NoDigitBeforeThePointAndSystemTags)
{
    ExpectShown({
        {"\\x.0\\y", 1234.5, "x1234.5y"},
        {".#", 7, "7"},
        {".0", 123456789.96, "123456790.0"},
        {".00E+0", 0.000123, "1.23E-4"},
        {"[$-f800]m/d/yy", 44990.5, "Sunday, March 5, 2023"},
        {"[$-409]dddd, mmmm dd, yyyy", 44990, "Sunday, March 05, 2023"},
        {"[$-F8000]d", 44990, "5"},
        {"[$-F800", 44990, "[$-F844990"}, // unclosed: no tag, 8 and 00 are digits
    });
}

} // namespace
