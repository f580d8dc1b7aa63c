// Cell names as spreadsheet programs show them, for every written form that names a cell:
// comments, hyperlinks.
#ifndef CELLSIFT_OUTPUT_TEXTFORMS_H
#define CELLSIFT_OUTPUT_TEXTFORMS_H

#include <stdint.h>

#include <string>

// Column letters and row number: A1 ... Z9, AA10 ...
std::string CellName(uint32_t row, uint32_t col);

#endif
