// Cell, range, row and column names as spreadsheet programs show them, for every written form
// that names a place on a sheet: comments, hyperlinks, merged ranges, hidden rows and columns.
#ifndef CELLSIFT_OUTPUT_TEXTFORMS_H
#define CELLSIFT_OUTPUT_TEXTFORMS_H

#include <stdint.h>

#include <string>

// Column letters: A ... Z, AA ...
std::string ColumnName(uint32_t col);

// Column letters and row number: A1 ... Z9, AA10 ...
std::string CellName(uint32_t row, uint32_t col);

// "A1:B2", or "A1" when the range is that one cell.
std::string RangeName(uint32_t row, uint32_t col, uint32_t lastRow, uint32_t lastCol);

// Whole rows "4:6" (numbered from 1) or whole columns "B:C"; one row is "10:10", as a
// reference to it is written.
std::string SpanName(bool fColumns, uint32_t first, uint32_t last);

#endif
