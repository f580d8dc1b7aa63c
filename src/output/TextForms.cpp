// Cell names: columns are numbered in letters from A, as a bijective base-26 count, so Z is
// followed by AA, not by BA.
#include "output/TextForms.h"

std::string ColumnName(uint32_t col)
{
    std::string name;
    for (uint64_t n = uint64_t(col) + 1; n > 0; n = (n - 1) / 26) {
        name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return name;
}

std::string CellName(uint32_t row, uint32_t col)
{
    return ColumnName(col) + std::to_string(uint64_t(row) + 1);
}

std::string RangeName(uint32_t row, uint32_t col, uint32_t lastRow, uint32_t lastCol)
{
    std::string range = CellName(row, col);
    if (lastRow != row || lastCol != col) {
        range += ":" + CellName(lastRow, lastCol);
    }
    return range;
}

std::string SpanName(bool fColumns, uint32_t first, uint32_t last)
{
    if (fColumns) {
        return ColumnName(first) + ":" + ColumnName(last);
    }
    return std::to_string(uint64_t(first) + 1) + ":" + std::to_string(uint64_t(last) + 1);
}
