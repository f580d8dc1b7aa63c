// The byte cursor at its edges: empty blocks, reads at the last byte and lengths that overflow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReaderFixture.h"
#include "biff/ByteCursor.h"

namespace {

TEST(ByteCursor, ReadsThatDoNotFitChangeNothing)
{
    // Bytes past the block are there and not zero, so a read past it would show.
    const uint8_t rgb[8] = {0x01, 0x02, 0x03, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    struct {
        const char *szWhat;
        size_t cb;          // how many of the three bytes the block holds
        size_t cbSkipFirst; // stepped over before the read
        int cbRead;         // 1, 2, 4 or 8 (a double)
        uint64_t expected;  // the value; 0 when it does not fit
        bool fFits;
    } cases[] = {
        {"empty block, one byte", 0, 0, 1, 0, false}, {"one byte", 1, 0, 1, 0x01, true},
        {"two bytes from one", 1, 0, 2, 0, false},    {"the last byte", 3, 2, 1, 0x03, true},
        {"two bytes at the last", 3, 2, 2, 0, false}, {"four from three", 3, 0, 4, 0, false},
        {"two of three", 3, 1, 2, 0x0302, true},      {"eight from three", 3, 0, 8, 0, false},
    };
    for (const auto &c : cases) {
        ByteCursor cursor(rgb, c.cb);
        ASSERT_TRUE(cursor.Skip(c.cbSkipFirst)) << c.szWhat;
        uint64_t got = 0;
        switch (c.cbRead) {
        case 1: got = cursor.U8(); break;
        case 2: got = cursor.Le16(); break;
        case 4: got = cursor.Le32(); break;
        default: got = cursor.Double() != 0; break;
        }
        EXPECT_EQ(got, c.expected) << c.szWhat;
        EXPECT_EQ(cursor.FShort(), !c.fFits) << c.szWhat;
        EXPECT_EQ(cursor.Tell(), c.cbSkipFirst + (c.fFits ? c.cbRead : 0)) << c.szWhat;
    }
}

TEST(ByteCursor, ShortFlagStaysAndLengthsCannotWrap)
{
    const uint8_t rgb[8] = {0x10, 0x20, 0x30, 0x40, 0xEE, 0xEE, 0xEE, 0xEE};
    ByteCursor cursor(rgb, 4);
    EXPECT_EQ(cursor.Bytes(SIZE_MAX), nullptr);
    EXPECT_FALSE(cursor.Skip(SIZE_MAX - 1));
    EXPECT_TRUE(cursor.FShort());
    EXPECT_EQ(cursor.Tell(), 0u);
    // A later read that fits still reads, but the flag says a field was missing.
    EXPECT_EQ(cursor.Le32(), 0x40302010u);
    EXPECT_TRUE(cursor.FShort());
    EXPECT_EQ(cursor.CbLeft(), 0u);
    EXPECT_FALSE(FitsIn(SIZE_MAX, 2, 10));
    EXPECT_FALSE(FitsIn(9, SIZE_MAX, 10));
    EXPECT_TRUE(FitsIn(10, 0, 10));
}

} // namespace
