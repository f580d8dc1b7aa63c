// Names compared without regard to letter case, as spreadsheet programs compare sheet names
// and as case-insensitive file systems compare file names.
#ifndef CELLSIFT_OUTPUT_CASEFOLD_H
#define CELLSIFT_OUTPUT_CASEFOLD_H

#include <string>
#include <string_view>

// The UTF-8 text with every letter in one case (upper case, then lower, so that 'ſ', 'S' and
// 's' meet), by the C library's Unicode tables; bytes that are no UTF-8 stay as they are.
// Two names that differ only in letter case fold to the same string.
std::string FoldCase(std::string_view text);

#endif
