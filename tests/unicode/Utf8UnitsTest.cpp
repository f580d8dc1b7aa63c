// Tests of the conversion of UTF-8 to code units of one width: counts, widths and values
// checked against iconv over texts of every script mix and length, and bytes of no text.
#include <gtest/gtest.h>

#include <iconv.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/Avx2Param.h"
#include "unicode/Utf8Blocks.h"
#include "unicode/Utf8Units.h"

namespace {

std::vector<uint32_t> CodePoints(const std::string &text)
{
    iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    EXPECT_NE(cd, (iconv_t)-1);
    std::vector<uint32_t> rgw(text.size() + 1);
    char *pIn = const_cast<char *>(text.data());
    size_t cbIn = text.size(), cbOut = rgw.size() * 4;
    char *pOut = reinterpret_cast<char *>(rgw.data());
    EXPECT_NE(iconv(cd, &pIn, &cbIn, &pOut, &cbOut), (size_t)-1) << text;
    iconv_close(cd);
    rgw.resize(rgw.size() - cbOut / 4);
    return rgw;
}

std::string Utf8(uint32_t w)
{
    std::string s;
    if (w < 0x80) {
        s += (char)w;
    } else if (w < 0x800) {
        s += (char)(0xC0 | (w >> 6));
        s += (char)(0x80 | (w & 0x3F));
    } else if (w < 0x10000) {
        s += (char)(0xE0 | (w >> 12));
        s += (char)(0x80 | ((w >> 6) & 0x3F));
        s += (char)(0x80 | (w & 0x3F));
    } else {
        s += (char)(0xF0 | (w >> 18));
        s += (char)(0x80 | ((w >> 12) & 0x3F));
        s += (char)(0x80 | ((w >> 6) & 0x3F));
        s += (char)(0x80 | (w & 0x3F));
    }
    return s;
}

const uint32_t rgwFiller = 0xA5A5A5A5;

// The units of a text in one width, from a copy of exactly its bytes (so that a read past
// them is a sanitizer's fault), with filler after them that must stay untouched.
template <class Unit>
std::vector<uint32_t> Convert(const std::string &text, size_t cUnit)
{
    std::unique_ptr<char[]> pch(new char[text.size()]);
    std::copy(text.begin(), text.end(), pch.get());
    std::vector<Unit> rgUnit(cUnit + 24, static_cast<Unit>(rgwFiller));
    Utf8ToUnits(pch.get(), text.size(), cUnit, rgUnit.data());
    for (size_t i = cUnit; i < rgUnit.size(); i++) {
        EXPECT_EQ(rgUnit[i], static_cast<Unit>(rgwFiller)) << "unit " << i << " of " << cUnit;
    }
    return std::vector<uint32_t>(rgUnit.begin(), rgUnit.begin() + cUnit);
}

// Every width that holds the text's largest value gives its code points.
void ExpectConverted(const std::string &text, const std::string &label)
{
    std::vector<uint32_t> rgwExpected = CodePoints(text);
    uint32_t wLargest = 0;
    for (uint32_t w : rgwExpected) {
        wLargest = w > wLargest ? w : wLargest;
    }
    size_t cch = 0;
    uint32_t wMax = 0;
    ASSERT_TRUE(MeasureUtf8(text.data(), text.size(), &cch, &wMax)) << label;
    EXPECT_EQ(cch, rgwExpected.size()) << label;
    uint32_t wNeeded = wLargest < 0x80      ? 0x7F
                       : wLargest < 0x100   ? 0xFF
                       : wLargest < 0x10000 ? 0xFFFF
                                            : 0x10FFFF;
    EXPECT_EQ(wMax, wNeeded) << label;
    if (wMax <= 0xFF) {
        EXPECT_EQ(Convert<uint8_t>(text, cch), rgwExpected) << label;
    }
    if (wMax <= 0xFFFF) {
        EXPECT_EQ(Convert<uint16_t>(text, cch), rgwExpected) << label;
    }
    EXPECT_EQ(Convert<uint32_t>(text, cch), rgwExpected) << label;
}

class Utf8Units : public Avx2OrSse2 {};

TEST_P(Utf8Units, TextsOfEveryScriptAndLength)
{
    // Characters of each length in bytes, chosen so that a text of each kind needs exactly
    // its width: ASCII, Latin-1, the rest of the first plane, and past it.
    const std::vector<std::vector<uint32_t>> rgrgwKinds = {
        {'a', 'Z', '0', ' ', '\t', 0x7F},
        {0xE9, 0xFC, 0xA0, 0xFF, 0x80},
        {0x416, 0x44F, 0x5D0, 0x20AC, 0x4E2D, 0xFFFD, 0x100, 0x7FF, 0x800, 0xFFFF},
        {0x1F600, 0x10000, 0x10FFFF, 0x20BB7},
    };
    std::mt19937 rng(7);
    for (int iText = 0; iText < 3000; iText++) {
        // The largest kind the text may use, then characters mostly of that kind amid ASCII,
        // in runs, so that windows begin and end inside sequences of every length.
        size_t iKindMax = iText % 4;
        size_t cch = rng() % (iText < 1000 ? 40 : 300);
        std::string text;
        for (size_t i = 0; i < cch; i++) {
            size_t iKind = rng() % 3 == 0 ? 0 : iKindMax - (rng() % 4 == 0 ? rng() % (iKindMax + 1) : 0);
            const std::vector<uint32_t> &rgw = rgrgwKinds[iKind];
            text += Utf8(rgw[rng() % rgw.size()]);
        }
        ExpectConverted(text, "text " + std::to_string(iText));
    }
    ExpectConverted("", "empty");
    ExpectConverted(std::string(1000, 'x') + "\xD0\x96", "one Cyrillic letter after ASCII");
    ExpectConverted("\xE2\x82\xAC" + std::string(17, 'y'), "a three-byte character, then ASCII");
}

// Bytes that MeasureUtf8 accepts but that are no text: continuation bytes anywhere, sequences
// cut short, lead bytes of every length, mostly high so that windows hold several of each.
std::string BytesOfNoText(std::mt19937 &rng)
{
    std::string bytes(rng() % 200, '\0');
    for (char &ch : bytes) {
        unsigned u = rng() % 4;
        ch = (char)(u == 0 ? rng() % 0x80 : u == 1 ? 0x80 + rng() % 0x40 : 0xC2 + rng() % (0xF5 - 0xC2));
    }
    return bytes;
}

TEST_P(Utf8Units, BytesOfNoTextStayInBounds)
{
    std::mt19937 rng(11);
    for (int iCase = 0; iCase < 3000; iCase++) {
        std::string bytes = BytesOfNoText(rng);
        size_t cch = 0;
        uint32_t wMax = 0;
        ASSERT_TRUE(MeasureUtf8(bytes.data(), bytes.size(), &cch, &wMax));
        // The filler check in Convert is the point; a 32-bit unit also keeps below U+110000.
        if (wMax <= 0xFF) {
            Convert<uint8_t>(bytes, cch);
        }
        if (wMax <= 0xFFFF) {
            Convert<uint16_t>(bytes, cch);
        }
        for (uint32_t w : Convert<uint32_t>(bytes, cch)) {
            EXPECT_LE(w, 0x10FFFFu);
        }
    }
    size_t cch;
    uint32_t wMax;
    for (const char *psz : {"\xC0\x80", "a\xC1\xBF", "\xF5\x80\x80\x80", "\xFF"}) {
        EXPECT_FALSE(MeasureUtf8(psz, strlen(psz), &cch, &wMax)) << psz;
    }
}

// What bits bytes of no text give does not depend on the processor: a str made on one
// machine equals the one made on another.
TEST(Utf8UnitsForms, Avx2AndSse2GiveTheSameUnits)
{
    if (!UseAvx2Blocks(true)) {
        GTEST_SKIP() << "no AVX2 here";
    }
    std::mt19937 rng(13);
    for (int iCase = 0; iCase < 3000; iCase++) {
        std::string bytes = BytesOfNoText(rng);
        size_t cch = 0;
        uint32_t wMax = 0;
        ASSERT_TRUE(MeasureUtf8(bytes.data(), bytes.size(), &cch, &wMax));
        std::vector<uint32_t> rgwAvx2Narrow = Convert<uint8_t>(bytes, cch),
                              rgwAvx2 = Convert<uint16_t>(bytes, cch);
        UseAvx2Blocks(false);
        EXPECT_EQ(Convert<uint8_t>(bytes, cch), rgwAvx2Narrow) << "case " << iCase;
        EXPECT_EQ(Convert<uint16_t>(bytes, cch), rgwAvx2) << "case " << iCase;
        UseAvx2Blocks(true);
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, Utf8Units, testing::Bool(), Avx2OrSse2Name);

} // namespace
