// The reader charges what a cell would show through its format before rendering it: a text
// section of many @ on a long string, and codes of tens of thousands of tokens on many cells,
// cost time and memory in proportion to the stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReaderFixture.h"
#include "numformat/NumberFormat.h"

namespace {

struct ShownCell {
    std::string text, shown, format;
};

class ShownCollector : public WorkbookVisitor {
public:
    std::vector<ShownCell> cells;
    size_t cWarning = 0;

    void OnCell(const Cell &cell) override
    {
        cells.push_back({std::string(cell.text), std::string(cell.shown), std::string(cell.format)});
    }
    void OnWarning(std::string_view) override { cWarning++; }
};

Bytes Format(uint16_t ifmt, const std::string &code)
{
    return Rec(0x041E, Cat({Le16(ifmt), Str16(code)}));
}

Bytes Xf(uint16_t ifmt)
{
    return Rec(0x00E0, Cat({Le16(0), Le16(ifmt), Bytes(16, 0)}));
}

ShownCollector ReadShown(const Bytes &bytes)
{
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    ShownCollector collector;
    WorkbookError error;
    EXPECT_TRUE(ReadWorkbook(stream, collector, &error)) << error.message;
    return collector;
}

// 20,000 @ on a 20,000-character string would show 400 MB for each cell, 10,000 times what
// the stream holds: the cells show their text, and a section that fits is still shown.
TEST(FormatBudget, TextSectionsThatDoNotFitAreNotRendered)
{
    std::string text(20000, 'x');
    Bytes globals = Cat({Format(164, std::string(20000, '@')), Format(165, "\"[\"@\"]\""), Xf(0), Xf(164),
                         Xf(165), Rec(0x00FC, Cat({Le32(3), Le32(1), Str16(text)}))});
    Bytes sheet =
        Cat({Rec(0x00FD, Cat({Cell3(0, 0, 1), Le32(0)})), Rec(0x00FD, Cat({Cell3(1, 0, 1), Le32(0)})),
             Rec(0x00FD, Cat({Cell3(2, 0, 2), Le32(0)}))});
    Bytes stream = Workbook(globals, {{"S", sheet}});
    ShownCollector got = ReadShown(stream);
    ASSERT_EQ(got.cells.size(), 3u);
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(got.cells[i].shown, text);
        EXPECT_EQ(got.cells[i].format, "");
    }
    EXPECT_EQ(got.cells[2].shown, "[" + text + "]");
    EXPECT_EQ(got.cells[2].format, "\"[\"@\"]\"");
    EXPECT_EQ(got.cWarning, 1u);
    // What the cells would show is known from the code alone, 400 MB each, without making it.
    EXPECT_EQ(NumberFormat(std::string(20000, '@')).TextShownSize(text.size()), text.size() * text.size());
}

// Codes of 60,000 tokens on 30,000 cells each: commas that only scale, and # that show
// nothing for small numbers. Cells within the budget show through them; the rest show their
// values without walking the code again.
TEST(FormatBudget, LongCodesOnManyCellsStayLinear)
{
    const std::string scaling = "#" + std::string(60000, ',');
    const std::string hashes(60000, '#');
    Bytes globals = Cat({Format(164, scaling), Format(165, hashes), Xf(0), Xf(164), Xf(165)});
    Bytes sheet;
    const uint16_t cRow = 240, cCol = 250;
    for (uint16_t row = 0; row < cRow; row++) {
        Bytes cells = Cat({Le16(row), Le16(0)});
        for (uint16_t col = 0; col < cCol; col++) {
            Bytes cell = Cat({Le16(uint16_t(1 + col % 2)), Le32((1234567u << 2) | 2u)});
            cells.insert(cells.end(), cell.begin(), cell.end());
        }
        Bytes mulrk = Rec(0x00BD, Cat({cells, Le16(cCol - 1)}));
        sheet.insert(sheet.end(), mulrk.begin(), mulrk.end());
    }
    Bytes stream = Workbook(globals, {{"S", sheet}});
    ShownCollector got = ReadShown(stream);
    ASSERT_EQ(got.cells.size(), size_t(cRow) * cCol);
    EXPECT_EQ(got.cells[0].shown, "");
    EXPECT_EQ(got.cells[0].format, scaling);
    EXPECT_EQ(got.cells[1].shown, "1234567");
    EXPECT_EQ(got.cells[1].format, hashes);
    EXPECT_EQ(got.cells.back().shown, "1234567");
    EXPECT_EQ(got.cells.back().format, "");
    size_t cFormatted = 0;
    for (const ShownCell &cell : got.cells) {
        cFormatted += !cell.format.empty();
    }
    // The budget, 64 bytes a stream byte, pays for that many copies of a code.
    EXPECT_LE(cFormatted, 64 * stream.size() / (60000 - 32 - 7) + 1);
    EXPECT_GE(cFormatted, 64 * stream.size() / (60000 + 1024));
    EXPECT_EQ(got.cWarning, 1u);
}

} // namespace
