// Tests of UTF-16LE and Latin-1 turned into UTF-8, with and without the AVX2 blocks: every
// length around the block edges with each kind of character at each place, checked against iconv.
#include <gtest/gtest.h>

#include <iconv.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/Avx2Param.h"
#include "unicode/TextDecode.h"
#include "unicode/Utf8Blocks.h"

namespace {

// What the system's converter makes of bytes in the encoding pszFrom.
std::string Iconv(const char *pszFrom, const std::vector<uint8_t> &rgb)
{
    iconv_t cd = iconv_open("UTF-8", pszFrom);
    EXPECT_NE(cd, (iconv_t)-1);
    std::string out(rgb.size() * 2 + 16, '\0');
    char *pIn = reinterpret_cast<char *>(const_cast<uint8_t *>(rgb.data()));
    size_t cbIn = rgb.size(), cbOut = out.size();
    char *pOut = &out[0];
    EXPECT_NE(iconv(cd, &pIn, &cbIn, &pOut, &cbOut), (size_t)-1) << pszFrom;
    iconv_close(cd);
    out.resize(out.size() - cbOut);
    return out;
}

// The units in bytes; a lone surrogate is also given as U+FFFD, which is what the writer makes
// of it and what iconv is asked to convert in its place.
void PushUnit(uint16_t w, std::vector<uint8_t> *prgb, std::vector<uint8_t> *prgbExpected)
{
    prgb->push_back(static_cast<uint8_t>(w));
    prgb->push_back(static_cast<uint8_t>(w >> 8));
    uint16_t wExpected = w;
    if (w >= 0xD800 && w <= 0xDFFF) {
        wExpected = 0xFFFD;
    }
    prgbExpected->push_back(static_cast<uint8_t>(wExpected));
    prgbExpected->push_back(static_cast<uint8_t>(wExpected >> 8));
}

// Decodes from a copy of exactly the bytes, so that a read past them is a sanitizer's fault,
// split into two calls at cSplit units.
std::string DecodeUtf16(const std::vector<uint8_t> &rgb, size_t cSplit)
{
    std::unique_ptr<uint8_t[]> pb(new uint8_t[rgb.size() + 1]);
    std::copy(rgb.begin(), rgb.end(), pb.get());
    std::string out = "<";
    Utf8Writer writer(&out);
    writer.AppendUtf16Le(pb.get(), cSplit);
    writer.AppendUtf16Le(pb.get() + 2 * cSplit, rgb.size() / 2 - cSplit);
    writer.Finish();
    return out;
}

std::string DecodeLatin1(const std::vector<uint8_t> &rgb)
{
    std::unique_ptr<uint8_t[]> pb(new uint8_t[rgb.size() + 1]);
    std::copy(rgb.begin(), rgb.end(), pb.get());
    std::string out = "<";
    Utf8Writer writer(&out);
    writer.AppendLatin1(pb.get(), rgb.size());
    writer.Finish();
    return out;
}

class Utf8WriterTest : public Avx2OrSse2 {};

// A text of one kind of character with one other at each place, at every length from empty to
// past two AVX2 blocks: each block edge meets each kind of unit, and each kind of block.
TEST_P(Utf8WriterTest, Utf16AtEveryBlockEdge)
{
    const uint16_t rgwFill[] = {'a', 0x416, 0xE9, 0x4E2D};
    const uint16_t rgwOdd[] = {' ',   0x7F,   0x80,   0xFF,   0x7FF,  0x800,
                               0x416, 0xFFFF, 0xFFFD, 0xD83D, 0xDE00, 0xDBFF};
    for (uint16_t wFill : rgwFill) {
        for (uint16_t wOdd : rgwOdd) {
            for (size_t cUnits = 0; cUnits <= 40; cUnits++) {
                for (size_t iOdd = 0; iOdd < cUnits; iOdd++) {
                    std::vector<uint8_t> rgb, rgbExpected;
                    for (size_t i = 0; i < cUnits; i++) {
                        PushUnit(i == iOdd ? wOdd : wFill, &rgb, &rgbExpected);
                    }
                    std::string expected = "<" + Iconv("UTF-16LE", rgbExpected);
                    EXPECT_EQ(DecodeUtf16(rgb, 0), expected)
                        << std::hex << "fill " << wFill << ", " << wOdd << " at " << std::dec << iOdd
                        << " of " << cUnits;
                }
            }
        }
    }
}

// Pairs and lone halves where blocks end, where the calls split, and at the text's end.
TEST_P(Utf8WriterTest, SurrogatesAcrossBlocksAndCalls)
{
    for (size_t cUnits = 2; cUnits <= 36; cUnits++) {
        for (size_t iPair = 0; iPair + 1 < cUnits; iPair++) {
            std::vector<uint8_t> rgb, rgbExpected;
            for (size_t i = 0; i < cUnits; i++) {
                uint16_t w = i == iPair ? 0xD83D : i == iPair + 1 ? 0xDE00 : 'x';
                rgb.push_back(static_cast<uint8_t>(w));
                rgb.push_back(static_cast<uint8_t>(w >> 8));
            }
            std::string expected = "<" + Iconv("UTF-16LE", rgb);
            for (size_t cSplit = 0; cSplit <= cUnits; cSplit++) {
                EXPECT_EQ(DecodeUtf16(rgb, cSplit), expected)
                    << "pair at " << iPair << " of " << cUnits << ", split " << cSplit;
            }
        }
    }
    // A high half left at the end, and one followed by a high half, then ASCII.
    EXPECT_EQ(DecodeUtf16({'a', 0, 0x3D, 0xD8}, 1), "<a\xEF\xBF\xBD");
    std::vector<uint8_t> rgbTwoHigh = {0x3D, 0xD8, 0x3D, 0xD8};
    for (int i = 0; i < 20; i++) {
        rgbTwoHigh.insert(rgbTwoHigh.end(), {'b', 0});
    }
    EXPECT_EQ(DecodeUtf16(rgbTwoHigh, 1), "<\xEF\xBF\xBD\xEF\xBF\xBD" + std::string(20, 'b'));
}

TEST_P(Utf8WriterTest, Latin1AtEveryBlockEdge)
{
    for (uint8_t bFill : {(uint8_t)'a', (uint8_t)0xE9}) {
        for (uint8_t bOdd : {(uint8_t)' ', (uint8_t)0x7F, (uint8_t)0x80, (uint8_t)0xA0, (uint8_t)0xFF}) {
            for (size_t cb = 0; cb <= 70; cb++) {
                for (size_t iOdd = 0; iOdd < cb; iOdd++) {
                    std::vector<uint8_t> rgb(cb, bFill);
                    rgb[iOdd] = bOdd;
                    EXPECT_EQ(DecodeLatin1(rgb), "<" + Iconv("ISO-8859-1", rgb))
                        << std::hex << "fill " << +bFill << ", " << +bOdd << " at " << std::dec << iOdd
                        << " of " << cb;
                }
            }
        }
    }
}

// Texts longer than the writer's buffer, of every mix: the buffer is emptied amid blocks.
TEST_P(Utf8WriterTest, LongMixedTexts)
{
    const uint16_t rgwKinds[] = {'q', ' ', 0xE4, 0x44F, 0x5D0, 0x20AC, 0x4E2D};
    std::mt19937 rng(5);
    for (int iText = 0; iText < 60; iText++) {
        size_t cUnits = 2000 + rng() % 6000;
        std::vector<uint8_t> rgb, rgbExpected, rgbLatin1;
        // Runs of one kind, so that whole blocks of each occur between mixed ones.
        while (rgb.size() / 2 < cUnits) {
            uint16_t w = rgwKinds[rng() % (iText % 3 == 0 ? 3 : 7)];
            for (size_t cRun = rng() % 40; cRun > 0; cRun--) {
                PushUnit(w, &rgb, &rgbExpected);
                rgbLatin1.push_back(static_cast<uint8_t>(w));
            }
        }
        EXPECT_EQ(DecodeUtf16(rgb, rng() % (rgb.size() / 2)), "<" + Iconv("UTF-16LE", rgbExpected)) << iText;
        EXPECT_EQ(DecodeLatin1(rgbLatin1), "<" + Iconv("ISO-8859-1", rgbLatin1)) << iText;
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, Utf8WriterTest, testing::Bool(), Avx2OrSse2Name);

} // namespace
