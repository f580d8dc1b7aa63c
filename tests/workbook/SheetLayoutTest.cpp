// Hidden rows and columns, merged ranges and the kinds of sheets, as the reader hands them on
// after each sheet's cells.
#include <gtest/gtest.h>

#include "workbook/ReaderFixture.h"

namespace {

class LayoutCollector : public Collector {
public:
    void OnHidden(const HiddenSpan &span) override
    {
        lines.push_back(std::string(span.fColumns ? "cols " : "rows ") + std::to_string(span.first) + "-" +
                        std::to_string(span.last));
    }
    void OnMerge(const MergedRange &range) override
    {
        lines.push_back("merge " + std::to_string(range.row) + ":" + std::to_string(range.col) + "-" +
                        std::to_string(range.lastRow) + ":" + std::to_string(range.lastCol));
    }
};

std::vector<std::string> ReadLayout(const Bytes &bytes)
{
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    LayoutCollector collector;
    WorkbookError error;
    EXPECT_TRUE(ReadWorkbook(stream, collector, &error)) << error.message;
    return collector.lines;
}

Bytes Row(uint16_t row, uint16_t grbit)
{
    return Rec(0x0208, Cat({Le16(row), Le16(0), Le16(1), Le16(255), Le32(0), Le16(grbit), Le16(15)}));
}

Bytes ColInfo(uint16_t colFirst, uint16_t colLast, uint16_t grbit)
{
    return Rec(0x007D, Cat({Le16(colFirst), Le16(colLast), Le16(2000), Le16(15), Le16(grbit), Le16(0)}));
}

Bytes Ref8(uint16_t row1, uint16_t row2, uint16_t col1, uint16_t col2)
{
    return Cat({Le16(row1), Le16(row2), Le16(col1), Le16(col2)});
}

} // namespace

// Rows and columns join into spans whatever order and pieces they come in; merged ranges come
// as stored, a range cut off by the record's end or upside down left out; all after the cells.
TEST(SheetLayout, HiddenSpansAndMergedRanges)
{
    Bytes sheet = Cat({
        ColInfo(3, 3, 1),
        ColInfo(1, 2, 1),
        ColInfo(4, 9, 0),
        Row(3, 0x20),
        Row(4, 0x20),
        Row(5, 0x20),
        Row(6, 0x00),
        Row(7, 0x20),
        Rec(0x0203, Cat({Cell3(0, 0, 0), Double(1)})),
        Rec(0x00E5, Cat({Le16(4), Ref8(0, 1, 0, 2), Ref8(5, 5, 3, 7), Ref8(9, 8, 0, 0), Le16(1)})),
    });
    std::vector<std::string> expected = {
        "workbook - biff8 cp-1", "sheet 0 S worksheet", "0:0:0 number 1", "rows 3-5", "rows 7-7", "cols 1-3",
        "merge 0:0-1:2",         "merge 5:3-5:7",
    };
    EXPECT_EQ(ReadLayout(Workbook({}, {{"S", sheet}})), expected);
}

// BOUNDSHEET's type; a worksheet whose WSBOOL marks it is a dialog sheet; a BIFF2-4 file is of
// the kind its BOF says.
TEST(SheetLayout, SheetKinds)
{
    Bytes dialog = Cat({Rec(0x0081, Le16(0x04D1)), Rec(0x0200, Bytes(14, 0))});
    Bytes worksheet = Cat({Rec(0x0200, Bytes(14, 0)), Rec(0x0081, Le16(0x04D1))}); // too late to count
    SheetDesc macro = {"M", {}, 0, 1};
    SheetDesc module = {"V", {}, 0, 6};
    std::vector<std::string> lines =
        ReadLayout(Workbook({}, {{"D", dialog}, {"W", worksheet}, macro, module}));
    std::vector<std::string> expected = {
        "workbook - biff8 cp-1", "sheet 0 D dialog", "sheet 1 W worksheet",
        "sheet 2 M macro",       "sheet 3 V module",
    };
    EXPECT_EQ(lines, expected);

    Bytes biff4 = Cat({Rec(0x0409, Cat({Le16(0x0400), Le16(0x0040), Le16(0)})),
                       Rec(0x0406, Cat({Cell3(0, 0, 0), Double(3), Le16(0), Le16(0)})), Eof()});
    std::vector<std::string> single = ReadLayout(biff4);
    ASSERT_GE(single.size(), 3u);
    EXPECT_EQ(single[1], "sheet 0 Sheet1 macro");
    EXPECT_EQ(single[2], "0:0:0 number 3");
}
