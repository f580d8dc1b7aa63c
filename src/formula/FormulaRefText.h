// Cell references and sheet names as a formula shows them: A1 style with its dollar signs,
// whole rows and columns, and sheet and book names quoted where a spreadsheet quotes them.
#ifndef CELLSIFT_FORMULA_FORMULAREFTEXT_H
#define CELLSIFT_FORMULA_FORMULAREFTEXT_H

#include <stdint.h>

#include <string>
#include <string_view>

#include "formula/FormulaText.h"

struct CellLoc {
    uint32_t row;
    uint32_t col;
    bool fRowRel;
    bool fColRel;
};

void AppendCell(const CellLoc &loc, std::string *psOut);
// An area over every row shows as columns ("A:B"), one over every column as rows ("1:2").
void AppendArea(const CellLoc &first, const CellLoc &last, uint32_t rowLast, uint32_t colLast,
                std::string *psOut);
// "Sheet1!", "'Sheet 1:Sheet 3'!", "[book.xls]Sheet1!", quotes doubled inside quotes.
void AppendSheetPrefix(const SheetSpan &span, std::string *psOut);
// An external name's book: "book.xls" or "'my book.xls'".
void AppendBookName(std::string_view book, std::string *psOut);

#endif
