// The one row layout under the text, CSV and HTML forms, driven with cell positions alone:
// where a cell lands, what fills the columns skipped, the bound on a damaged column number.
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "output/RowLayout.h"

namespace {

const RowForm separated = {"", "|\n", ",", true, false};
const RowForm keptRows = {"", "|\n", ",", true, true};
const RowForm whole = {"<tr>", "</tr>\n", "<td></td>", false, false};

void CountFlush(void *pContext)
{
    ++*static_cast<int *>(pContext);
}

// Each cell written as its column's number; a row of -1 starts a new sheet.
std::string Lay(const RowForm &form, const std::vector<std::pair<int64_t, uint32_t>> &cells,
                int *pcFlush = nullptr)
{
    std::string s;
    int cFlush = 0;
    RowLayout rows(form, &s, CountFlush, &cFlush);
    for (const auto &cell : cells) {
        if (cell.first < 0) {
            rows.StartSheet();
            s += "#";
            continue;
        }
        rows.PlaceCell(static_cast<uint32_t>(cell.first), cell.second);
        s += std::to_string(cell.second);
    }
    rows.EndRow();
    if (pcFlush != nullptr) {
        *pcFlush = cFlush;
    }
    return s;
}

// A separator stands between adjacent cells and for every column skipped, none opens a row;
// an empty cell stands only for the columns skipped. A cell left of the last still gets a
// field of its own in either.
TEST(RowLayout, GapsByColumn)
{
    std::vector<std::pair<int64_t, uint32_t>> cells = {{0, 2}, {0, 3}, {0, 6}, {0, 1}, {4, 0}};
    EXPECT_EQ(Lay(separated, cells), ",,2,3,,,6,1|\n0|\n");
    EXPECT_EQ(Lay(whole, cells), "<tr><td></td><td></td>23<td></td><td></td>61</tr>\n<tr>0</tr>\n");
}

// CSV keeps line N as row N: empty rows up to the cell's, none for a row out of order (it
// starts a line of its own), counted again from the top in the next sheet. Every row ended
// lets the owner pass a piece on.
TEST(RowLayout, KeptRowsAndFlushes)
{
    int cFlush = 0;
    EXPECT_EQ(Lay(keptRows, {{2, 0}, {1, 1}, {3, 0}, {-1, 0}, {1, 0}}, &cFlush),
              "|\n|\n0|\n,1|\n0|\n#|\n0|\n");
    EXPECT_EQ(cFlush, 7);
    EXPECT_EQ(Lay(separated, {{2, 0}, {5, 0}}), "0|\n0|\n");
}

// A damaged column number writes at most 256 gaps before a cell: 256 separators (so 255
// empty fields after a cell of the row) or 256 empty cells.
TEST(RowLayout, GapBoundedOnDamagedColumn)
{
    const std::string c256(256, ','), td = "<td></td>";
    EXPECT_EQ(Lay(separated, {{0, 60000}}), c256 + "60000|\n");
    EXPECT_EQ(Lay(separated, {{0, 0}, {0, 60000}}), "0" + c256 + "60000|\n");
    std::string td256;
    for (int i = 0; i < 256; i++) {
        td256 += td;
    }
    EXPECT_EQ(Lay(whole, {{0, 0}, {0, 60000}}), "<tr>0" + td256 + "60000</tr>\n");
    EXPECT_EQ(Lay(whole, {{0, 300}}), "<tr>" + td256 + "300</tr>\n");
}

} // namespace
