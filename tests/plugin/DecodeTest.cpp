// String headers, piece decoding, the conversion to the ANSI code page, the cleaning rule
// and the UTF-16 test for text of undeclared width.
#include <gtest/gtest.h>

#include <string>

#include "log/ErrorFlag.h"
#include "support/Biff.h"
#include "xls/RawText.h"
#include "xls/XlsString.h"

namespace {

std::string Text(const Vstr &text)
{
    return std::string(text.GetText(), text.GetLength());
}

XlsStringState Parse(const Bytes &header, bool *pfAccepted = nullptr)
{
    XlsStringState state = {};
    bool fAccepted = ParseXlsStringHeader(header.data(), 0, header.size(), state);
    if (pfAccepted != nullptr) {
        *pfAccepted = fAccepted;
    }
    return state;
}

TEST(StringHeader, SizesFollowTheOptionFlags)
{
    struct Case {
        Bytes header;
        uint16_t cbChars;
        uint16_t cbHeader;
        uint32_t cbBody;
    } rgCases[] = {
        {Cat({Le16(5), {0x01}}), 10, 3, 10},           {Cat({Le16(3), {0x08}, Le16(2)}), 3, 5, 11},
        {Cat({Le16(3), {0x04}, Le32(20)}), 3, 7, 23},  {Cat({Le16(3), {0x0D}, Le16(1), Le32(10)}), 6, 9, 20},
        {Cat({Le16(32767), {0x01}}), 65534, 3, 65534}, {Cat({Le16(32768), {0x01}}), 0, 3, 0},
    };
    for (const Case &c : rgCases) {
        g_bError = 0;
        bool fAccepted = false;
        XlsStringState state = Parse(c.header, &fAccepted);
        EXPECT_TRUE(fAccepted);
        EXPECT_EQ(c.cbChars, state.cbChars);
        EXPECT_EQ(c.cbHeader, state.cbHeader);
        EXPECT_EQ(c.cbBody, state.cbBody);
        EXPECT_EQ(c.header[2] & 1, state.fHighByte);
        EXPECT_EQ(0, g_bError);
    }
}

TEST(StringHeader, UndefinedFlagBitsAreRejectedAfterParsing)
{
    for (uint8_t grbit : {0x02, 0x03, 0x06, 0x0E, 0x10, 0x80}) {
        g_bError = 0;
        bool fAccepted = true;
        XlsStringState state = Parse(Cat({Le16(4), {grbit}, Le16(1), Le32(2), Le32(0)}), &fAccepted);
        EXPECT_FALSE(fAccepted) << int(grbit);
        EXPECT_EQ(1, g_bError);
        EXPECT_EQ(grbit, state.grbit);
        EXPECT_EQ((grbit & 1) ? 8 : 4, state.cbChars);
        EXPECT_EQ(3 + ((grbit & 8) ? 2 : 0) + ((grbit & 4) ? 4 : 0), state.cbHeader);
    }
    g_bError = 0;
}

TEST(StringHeader, AHeaderCutOffByTheEndReadsOnlyWhatExists)
{
    // Run count and extension size lie beyond the three bytes that exist.
    Bytes header = Cat({Le16(5), {0x0C}, Le16(7)});
    XlsStringState state = {};
    EXPECT_TRUE(ParseXlsStringHeader(header.data(), 0, 3, state));
    EXPECT_EQ(5, state.cbChars);
    EXPECT_EQ(0u, state.cRun);
    EXPECT_EQ(0u, state.cbExtRst);
    EXPECT_EQ(9, state.cbHeader);
    EXPECT_EQ(5u, state.cbBody);
}

TEST(StringPiece, EightBitBytesAreTakenAsTheyAreAndCleaned)
{
    XlsStringState state = {};
    Vstr text;
    Bytes ab = Cat({Ascii("AB"), {0x00}, Ascii("CD")});
    state.cbChars = 5;
    DecodeXlsStringPiece(ab.data(), 0, state, text);
    EXPECT_EQ("AB   ", Text(text));

    Bytes controls = {'\t', '\r', '\n', 0xE9, 0x7F, 0x1F, 0x98};
    state.cbChars = static_cast<uint16_t>(controls.size());
    DecodeXlsStringPiece(controls.data(), 0, state, text);
    EXPECT_EQ(std::string(" \r\n\xE9\x7F \x98"), Text(text));

    state.cbChars = 0;
    DecodeXlsStringPiece(controls.data(), 0, state, text);
    EXPECT_EQ("", Text(text));
}

TEST(StringPiece, SixteenBitPiecesDropAnOddByteAndKeepTextWhenEmpty)
{
    XlsStringState state = {};
    state.fHighByte = 1;
    Bytes units = Utf16("Hey!");
    Vstr text;
    text.Assign("kept");
    state.cbChars = 1;
    DecodeXlsStringPiece(units.data(), 0, state, text);
    EXPECT_EQ("kept", Text(text));
    state.cbChars = 7;
    DecodeXlsStringPiece(units.data(), 0, state, text);
    EXPECT_EQ("Hey", Text(text));
}

TEST(Conversion, CyrillicAndControlsAndTheEndOfText)
{
    Vstr text;
    Bytes units = Utf16("Привет\tмир\r\n");
    EXPECT_TRUE(ConvertUtf16ToAnsi(units.data(), static_cast<int32_t>(units.size() / 2), text));
    EXPECT_EQ(Cp1251("Привет мир\r\n"), Text(text));

    Bytes cut = Cat({Utf16("A"), Le16(0), Utf16("B")});
    EXPECT_TRUE(ConvertUtf16ToAnsi(cut.data(), 3, text));
    EXPECT_EQ("A", Text(text));

    // Units at an odd address, as they lie inside records.
    Bytes odd = Cat({{0xAA}, Utf16("Ok")});
    EXPECT_TRUE(ConvertUtf16ToAnsi(odd.data() + 1, 2, text));
    EXPECT_EQ("Ok", Text(text));
}

TEST(Conversion, NothingOrOnlyQuestionMarksLeavesTheTextAlone)
{
    Vstr text;
    text.Assign("before");
    Bytes zero = Cat({Le16(0), Utf16("A")});
    EXPECT_FALSE(ConvertUtf16ToAnsi(zero.data(), 2, text));
    EXPECT_FALSE(ConvertUtf16ToAnsi(zero.data(), 0, text));
    Bytes marks = Utf16("???");
    EXPECT_FALSE(ConvertUtf16ToAnsi(marks.data(), 3, text));
    EXPECT_EQ("before", Text(text));

    Bytes markThenLetter = Utf16("?A");
    EXPECT_TRUE(ConvertUtf16ToAnsi(markThenLetter.data(), 2, text));
    EXPECT_EQ("?A", Text(text));
}

#ifndef _WIN32
// The portable code page is Windows-1251: CJK and emoji are missing from it, and every
// character it lacks, a surrogate pair or a lone surrogate included, becomes one "?".
TEST(Conversion, PortableCodePageMarksWhatItLacks)
{
    Vstr text;
    text.Assign("before");
    Bytes cjk = Utf16("漢字");
    EXPECT_FALSE(ConvertUtf16ToAnsi(cjk.data(), 2, text));
    EXPECT_EQ("before", Text(text));

    Bytes mixed = Cat({Utf16("a😀b€"), Le16(0xD800), Utf16("c"), Le16(0x0098)});
    EXPECT_TRUE(ConvertUtf16ToAnsi(mixed.data(), static_cast<int32_t>(mixed.size() / 2), text));
    EXPECT_EQ("a?b\x88?c?", Text(text));
}

TEST(RawText, ByteStatisticDecidesTheWidth)
{
    bool fShifted = true;
    Bytes hi = {0x48, 0x00, 0x69, 0x00};
    EXPECT_TRUE(IsUtf16Text(hi.data(), 4, &fShifted));
    EXPECT_FALSE(fShifted);
    Bytes shifted = {0x00, 0x48, 0x00, 0x69, 0x00};
    EXPECT_TRUE(IsUtf16Text(shifted.data(), 5, &fShifted));
    EXPECT_TRUE(fShifted);
    EXPECT_FALSE(IsUtf16Text(hi.data(), 0, nullptr));
    Bytes cyrillic = {0x14, 0x04, 0x30, 0x04};
    EXPECT_TRUE(IsUtf16Text(cyrillic.data(), 4, nullptr));

    // The limit is a tenth of all the bytes: 2 of 20, 1 of 19, none below 10.
    Bytes run20(20, 0x00);
    run20[1] = run20[3] = 0x41;
    run20[0] = run20[2] = 0x41;
    EXPECT_TRUE(IsUtf16Text(run20.data(), 20, nullptr));
    Bytes run19(run20.begin(), run20.end() - 1);
    EXPECT_FALSE(IsUtf16Text(run19.data(), 19, nullptr));
    run19[3] = 0x00;
    EXPECT_TRUE(IsUtf16Text(run19.data(), 19, nullptr));
    Bytes run9(9, 0x00);
    run9[1] = 0x41;
    run9[0] = 0x41;
    EXPECT_FALSE(IsUtf16Text(run9.data(), 9, nullptr));
}

TEST(RawText, DecodesTheRunInTheWidthItWasFound)
{
    Vstr text;
    Bytes shifted = {0x00, 0x48, 0x00, 0x69, 0x00};
    DecodeRawText(shifted.data(), 0, 5, text);
    EXPECT_EQ("Hi", Text(text));
    Bytes eight = Cat({Ascii("xx"), {0x48, 0x69}});
    DecodeRawText(eight.data(), 2, 2, text);
    EXPECT_EQ("Hi", Text(text));

    // One byte is UTF-16 with no unit in it; nothing changes.
    text.Assign("kept");
    DecodeRawText(eight.data(), 2, 1, text);
    EXPECT_EQ("kept", Text(text));
    DecodeRawText(eight.data(), 2, 0, text);
    EXPECT_EQ("", Text(text));
    text.Assign("kept");
    DecodeRawText(eight.data(), 2, -1, text);
    EXPECT_EQ("", Text(text));
}
#endif

TEST(RawText, EightBitCopyTurnsEverythingFromTheFirstZeroIntoSpaces)
{
    Vstr text;
    Bytes bytes = {'A', 0x00, 'B', 0x1F};
    CopyAnsiText(bytes.data(), 4, text);
    EXPECT_EQ("A   ", Text(text));
}

} // namespace
