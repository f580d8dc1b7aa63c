// Growth, truncation and the stderr diagnostics of the text buffer.
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>

#include "text/Vstr.h"

namespace {

const char szOutOfRange[] = "OUT_OF_RANGE \xE2 \xF4\xE0\xE9\xEB\xE5 src/text/Vstr.cpp \xE2 "
                            "\xF1\xF2\xF0\xEE\xEA\xE5 324";
const char szReallocFailed[] = "REALLOC_RETURN_NULL \xE2 \xF4\xE0\xE9\xEB\xE5 src/text/Vstr.cpp \xE2 "
                               "\xF1\xF2\xF0\xEE\xEA\xE5 314";

TEST(Vstr, StartsEmptyWithA258ByteBlock)
{
    Vstr text;
    EXPECT_EQ(0u, text.GetLength());
    ASSERT_NE(nullptr, text.GetText());
    EXPECT_STREQ("", text.GetText());
    EXPECT_EQ(258u, text.GetCapacity());
}

TEST(Vstr, ReserveGrowsOnlyWhenTheRequestReachesTheCapacity)
{
    Vstr text;
    text.Reserve(257);
    EXPECT_EQ(258u, text.GetCapacity());
    text.Reserve(258);
    EXPECT_EQ(514u, text.GetCapacity());
    text.Reserve(100);
    EXPECT_EQ(514u, text.GetCapacity());
}

TEST(Vstr, AssignReplacesAndNullEmptiesWithoutShrinking)
{
    Vstr text;
    text.Append("previous");
    text.Assign("abc");
    EXPECT_STREQ("abc", text.GetText());
    EXPECT_EQ(3u, text.GetLength());
    EXPECT_EQ(258u, text.GetCapacity());
    text.Assign(nullptr);
    EXPECT_STREQ("", text.GetText());
    EXPECT_EQ(0u, text.GetLength());
    EXPECT_EQ(258u, text.GetCapacity());
}

TEST(Vstr, AppendGrowsToRequestPlusSlack)
{
    Vstr text;
    std::string s300(300, 'x');
    text.Append(s300.c_str());
    EXPECT_EQ(300u, text.GetLength());
    EXPECT_EQ(557u, text.GetCapacity());
    EXPECT_EQ(s300, text.GetText());

    Vstr other;
    other.Assign("yz");
    text.Append(other).Append("!");
    EXPECT_EQ(s300 + "yz!", text.GetText());
    EXPECT_EQ(303u, text.GetLength());
}

TEST(Vstr, TruncateRemovesTheFinalSeparator)
{
    Vstr text;
    text.Append("ab").Append(" ").Append("cd").Append(" ");
    EXPECT_EQ(6u, text.GetLength());
    testing::internal::CaptureStderr();
    text.Truncate(text.GetLength() - 1);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_STREQ("ab cd", text.GetText());
    EXPECT_EQ(5u, text.GetLength());
}

TEST(Vstr, TruncateOutsideTheTextReportsAndChangesNothing)
{
    Vstr text;
    text.Assign("abc");
    testing::internal::CaptureStderr();
    text.Truncate(3);
    EXPECT_EQ(szOutOfRange, testing::internal::GetCapturedStderr());
    EXPECT_STREQ("abc", text.GetText());

    Vstr empty;
    testing::internal::CaptureStderr();
    empty.Truncate(empty.GetLength() - 1);
    EXPECT_EQ(szOutOfRange, testing::internal::GetCapturedStderr());
    EXPECT_STREQ("", empty.GetText());
    EXPECT_EQ(0u, empty.GetLength());
}

// A block whose size would wrap its 32-bit count is a failed growth: the block and the text
// stay, and nothing of that size is asked of the heap.
TEST(Vstr, GrowthPastThirtyTwoBitsFailsAndNeverShrinks)
{
    for (uint32_t cb : {UINT32_MAX - 255, UINT32_MAX - 1, UINT32_MAX}) {
        Vstr text;
        text.Assign("kept");
        testing::internal::CaptureStderr();
        text.Reserve(cb);
        EXPECT_EQ(szReallocFailed, testing::internal::GetCapturedStderr()) << cb;
        EXPECT_EQ(258u, text.GetCapacity()) << cb;
        EXPECT_STREQ("kept", text.GetText());
        text.Append("!");
        EXPECT_STREQ("kept!", text.GetText());
    }
}

TEST(Vstr, TextPastTheLimitIsDroppedWithoutGrowthOrDiagnostic)
{
    Vstr text;
    text.LimitLength(5);
    std::string s1000(1000, 'x');
    testing::internal::CaptureStderr();
    text.Append("abc").Append(s1000.c_str()).Append("more");
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_STREQ("abcxx", text.GetText());
    EXPECT_EQ(5u, text.GetLength());
    EXPECT_EQ(258u, text.GetCapacity());
    // Cut below the limit, the text takes appends again up to it.
    text.Truncate(1);
    text.Append("yz!?");
    EXPECT_STREQ("ayz!?", text.GetText());
}

} // namespace
