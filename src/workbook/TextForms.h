// The pieces every written form of a workbook is made of: cell names as spreadsheet programs
// show them, text on one line, and JSON strings.
#ifndef CELLSIFT_WORKBOOK_TEXTFORMS_H
#define CELLSIFT_WORKBOOK_TEXTFORMS_H

#include <stdint.h>

#include <string>
#include <string_view>

// Column letters and row number: A1 ... Z9, AA10 ...
std::string CellName(uint32_t row, uint32_t col);

// Text on one line: tabs, line breaks and other control characters become spaces.
void AppendOneLine(std::string_view text, std::string *ps);

// text as a JSON string, quotes included.
void AppendJsonString(std::string_view text, std::string *ps);

#endif
