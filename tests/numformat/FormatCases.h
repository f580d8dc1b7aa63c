// The (format code, value, shown text) cases LibreOffice's as-shown CSV gave, as
// tests/numformat/cases/make-format-cases.py froze them, for the engine's and the reader's tests.
#ifndef CELLSIFT_TESTS_WORKBOOK_FORMATCASES_H
#define CELLSIFT_TESTS_WORKBOOK_FORMATCASES_H

#include <string>
#include <vector>

// value is a number as Python writes it, "text:" and a text cell's text, or "1904:" and a
// number of a 1904-system workbook; note says why shown is not what LibreOffice shows.
struct FormatCase {
    int nLine;
    std::string code, value, shown, note;
};

// In the file's order: the cells of cases-1900.xls row by row, then those of cases-1904.xls;
// with a locale (ru-RU), format-cases-ru-RU.tsv: the cells of locale-cases.xls.
std::vector<FormatCase> ReadFormatCases(const std::string &locale = std::string());
// The locales LibreOffice's cases were frozen in.
extern const char *const rgszCaseLocale[4];

#endif
