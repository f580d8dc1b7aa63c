// A record read across its CONTINUE records: single bytes and wider fields crossing parts,
// places noted and resumed, and strings whose characters change width at a CONTINUE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "biff/ContinuedCursor.h"
#include "recordtext/RecordStrings.h"
#include "support/Biff.h"
#include "unicode/TextDecode.h"

namespace {

const uint16_t rtSstRec = 0x00FC;
const uint16_t rtContinueRec = 0x003C;

Bytes Rec(uint16_t wType, const Bytes &body)
{
    return BiffStream().Record(wType, body).bytes;
}

TEST(ContinuedCursor, JoinsPartsAndStopsAtOtherRecords)
{
    struct {
        const char *szWhat;
        Bytes stream;  // the record at 0 and what follows it
        size_t cbRead; // bytes read with U8
        std::string expected;
        bool fShort;
    } cases[] = {
        {"within the record", Rec(0x00FC, Ascii("abc")), 3, "abc", false},
        {"across a CONTINUE", Cat({Rec(0x00FC, Ascii("ab")), Rec(0x003C, Ascii("cd"))}), 4, "abcd", false},
        {"across empty parts",
         Cat({Rec(0x00FC, Ascii("a")), Rec(0x003C, {}), Rec(0x003C, {}), Rec(0x003C, Ascii("b"))}), 2, "ab",
         false},
        {"not into another record", Cat({Rec(0x00FC, Ascii("a")), Rec(0x0203, Ascii("zz"))}), 3,
         std::string("a\0\0", 3), true},
        {"a CONTINUE cut by the stream's end",
         Cat({Rec(0x00FC, Ascii("a")), Le16(0x003C), Le16(5), Ascii("bc")}), 3, "abc", false},
        {"a CONTINUE header cut short", Cat({Rec(0x00FC, Ascii("a")), Le16(0x003C)}), 2,
         std::string("a\0", 2), true},
    };
    for (const auto &c : cases) {
        ContinuedCursor record(c.stream.data(), c.stream.size(), 0);
        std::string got;
        for (size_t i = 0; i < c.cbRead; i++) {
            got.push_back(static_cast<char>(record.U8()));
        }
        EXPECT_EQ(got, c.expected) << c.szWhat;
        EXPECT_EQ(record.FShort(), c.fShort) << c.szWhat;
    }
}

TEST(ContinuedCursor, FieldsStraddlePartsAndPlacesResume)
{
    // 01 02 03 | 04 05 | (empty) | 06 07 08, then a record of another type.
    Bytes stream = Cat({Rec(rtSstRec, {1, 2, 3}), Rec(rtContinueRec, {4, 5}), Rec(rtContinueRec, {}),
                        Rec(rtContinueRec, {6, 7, 8}), Rec(0x0203, {9, 9})});
    for (size_t ib = 0; ib + 4 <= 8; ib++) {
        ContinuedCursor cursor(stream.data(), stream.size(), 0);
        cursor.Skip(ib);
        uint32_t dwExpected = 0;
        for (size_t i = 4; i-- > 0;) {
            dwExpected = dwExpected << 8 | static_cast<uint32_t>(ib + 1 + i);
        }
        EXPECT_EQ(cursor.Le32(), dwExpected) << "at " << ib;
        EXPECT_FALSE(cursor.FShort()) << "at " << ib;
    }
    // A field cut off by the last part keeps the bytes that exist.
    ContinuedCursor last(stream.data(), stream.size(), 0);
    last.Skip(7);
    EXPECT_EQ(last.Le16(), 0x0008);
    EXPECT_TRUE(last.FShort());
    EXPECT_EQ(last.U8(), 0);

    // A place noted in the second part is read on from there, across the empty part.
    ContinuedCursor cursor(stream.data(), stream.size(), 0);
    cursor.Skip(4);
    EXPECT_EQ(cursor.CbLeftInPart(), 1u);
    ContinuedCursor again =
        ContinuedCursor::At(stream.data(), stream.size(), cursor.IbPos(), cursor.IbPartEnd());
    EXPECT_EQ(again.Le16(), 0x0605);
    // NextPart leaves the rest of a part unread.
    ContinuedCursor skipping(stream.data(), stream.size(), 0);
    EXPECT_TRUE(skipping.NextPart());
    EXPECT_EQ(skipping.U8(), 4);
    EXPECT_FALSE(skipping.FShort());
}

TEST(ContinuedCursor, StringsAcrossParts)
{
    const Bytes zhe = {0x16, 0x04}, ve = {0x32, 0x04}; // UTF-16 units of Cyrillic letters
    struct {
        const char *szWhat;
        Bytes stream;
        std::string expected; // each string read, followed by '|'
        bool fShort;
    } cases[] = {
        {"8-bit, then 16-bit after the CONTINUE's flags byte",
         Cat({Rec(rtSstRec, Cat({Le16(3), {0}, Ascii("ab")})), Rec(rtContinueRec, Cat({{1}, ve}))}), "abв|",
         false},
        {"16-bit, then 8-bit",
         Cat({Rec(rtSstRec, Cat({Le16(3), {1}, zhe})), Rec(rtContinueRec, Cat({{0}, Ascii("xy")}))}), "Жxy|",
         false},
        {"half a character before the cut is stepped over",
         Cat({Rec(rtSstRec, Cat({Le16(3), {1}, Ascii("A"), {0, 0x42}})),
              Rec(rtContinueRec, Cat({{0}, Ascii("cd")}))}),
         "Acd|", false},
        {"the header goes on with no flags byte of the CONTINUE's",
         Cat({Rec(rtSstRec, {2}), Rec(rtContinueRec, Cat({{0, 0}, Ascii("hi")}))}), "hi|", false},
        {"runs and phonetic block stepped over across parts, then the next string",
         Cat({Rec(rtSstRec, Cat({Le16(2), {0x0C}, Le16(1), Le32(2), Ascii("ab"), {1, 2}})),
              Rec(rtContinueRec, Cat({{3, 4, 5, 6}, Le16(1), {0}, Ascii("z")}))}),
         "ab|z|", false},
        {"a part whose header claims more than the stream holds",
         Cat({Rec(rtSstRec, Cat({Le16(5), {0}, Ascii("ab")})),
              Le16(rtContinueRec),
              Le16(10),
              {0},
              Ascii("cd")}),
         "abcd|", true},
        {"no CONTINUE after: the next record is not read",
         Cat({Rec(rtSstRec, Cat({Le16(4), {0}, Ascii("ab")})), Rec(0x0203, Ascii("cd"))}), "ab|", true},
    };
    for (const auto &c : cases) {
        ContinuedCursor cursor(c.stream.data(), c.stream.size(), 0);
        std::string got;
        while (got.size() < c.expected.size()) {
            ReadUnicodeString(&cursor, false, &got);
            got.push_back('|');
        }
        EXPECT_EQ(got, c.expected) << c.szWhat;
        EXPECT_EQ(cursor.FShort(), c.fShort) << c.szWhat;
    }
}

// Through the cursor over one record's body, a string keeps within the body and the cursor
// stands after what was read; the continued form reads the flags byte even of an empty string.
TEST(RecordStrings, BodyFormsKeepWithinTheBody)
{
    CodePageDecoder decoder;
    struct {
        const char *szWhat;
        Bytes body;
        bool fUnicode;
        std::string expected;
        bool fShort;
        size_t cbLeft; // after the string
    } cases[] = {
        {"an empty string ends at its count", Cat({Le16(0), Ascii("z")}), true, "", false, 1},
        {"flags other than the width ignored", Cat({Le16(2), {0x0C}, Ascii("abz")}), true, "ab", false, 1},
        {"a count past the body, half a character at its end", Cat({Le16(5), {1}, Ascii("A"), {0, 0x42}}),
         true, "A", true, 0},
        {"a byte string cut by the body", Cat({Le16(3), Ascii("ab")}), false, "ab", true, 0},
        {"a byte string and what follows", Cat({Le16(2), Ascii("abz")}), false, "ab", false, 1},
    };
    for (const auto &c : cases) {
        ByteCursor body(c.body.data(), c.body.size());
        std::string got;
        if (c.fUnicode) {
            ReadUnicodeString(&body, false, &got);
        } else {
            ReadByteString(&body, false, decoder, &got);
        }
        EXPECT_EQ(got, c.expected) << c.szWhat;
        EXPECT_EQ(body.FShort(), c.fShort) << c.szWhat;
        EXPECT_EQ(body.CbLeft(), c.cbLeft) << c.szWhat;
    }
    Bytes stream = Rec(rtSstRec, Le16(0));
    ContinuedCursor continued(stream.data(), stream.size(), 0);
    std::string got;
    ReadUnicodeString(&continued, false, &got);
    EXPECT_EQ(got, "");
    EXPECT_TRUE(continued.FShort());
}

} // namespace
