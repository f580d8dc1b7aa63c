// Cell references and sheet names as a formula shows them: A1 style with its dollar signs,
// whole rows and columns, and sheet and book names quoted where a spreadsheet quotes them.
#include "formula/FormulaRefText.h"

#include <charconv>

namespace {

// The largest grid a current spreadsheet knows: a sheet named like one of its cells is quoted.
const uint32_t kcColGrid = 16384;
const uint32_t kcRowGrid = 1048576;

bool IsAsciiLetter(char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// Letters, digits, "_" and "." stand bare; so does any non-ASCII character.
bool IsNameChar(char ch)
{
    return IsAsciiLetter(ch) || IsDigit(ch) || ch == '_' || ch == '.' ||
           static_cast<unsigned char>(ch) >= 0x80;
}

size_t DigitsFrom(std::string_view s, size_t i)
{
    size_t iEnd = i;
    while (iEnd < s.size() && IsDigit(s[iEnd])) {
        iEnd++;
    }
    return iEnd - i;
}

// "AB12" within the grid: a formula would read it as a cell.
bool LooksLikeA1(std::string_view s)
{
    size_t cLetter = 0;
    uint32_t col = 0;
    while (cLetter < s.size() && cLetter < 4 && IsAsciiLetter(s[cLetter])) {
        col = col * 26 + ((s[cLetter++] | 0x20) - 'a' + 1);
    }
    if (cLetter == 0 || cLetter > 3 || col > kcColGrid || DigitsFrom(s, cLetter) != s.size() - cLetter ||
        cLetter == s.size()) {
        return false;
    }
    uint64_t row = 0;
    for (size_t i = cLetter; i < s.size() && row <= kcRowGrid; i++) {
        row = row * 10 + (s[i] - '0');
    }
    return row >= 1 && row <= kcRowGrid;
}

// "R", "C", "R1", "C2", "R1C2" in either case: R1C1-style references.
bool LooksLikeR1C1(std::string_view s)
{
    size_t i = 0;
    if (i < s.size() && (s[i] | 0x20) == 'r') {
        i += 1 + DigitsFrom(s, i + 1);
    }
    if (i < s.size() && (s[i] | 0x20) == 'c') {
        i += 1 + DigitsFrom(s, i + 1);
    }
    return i > 0 && i == s.size();
}

bool EqualsNoCase(std::string_view s, std::string_view upper)
{
    if (s.size() != upper.size()) {
        return false;
    }
    for (size_t i = 0; i < s.size(); i++) {
        if ((IsAsciiLetter(s[i]) ? (s[i] & ~0x20) : s[i]) != upper[i]) {
            return false;
        }
    }
    return true;
}

bool HasOddChar(std::string_view s)
{
    for (char ch : s) {
        if (!IsNameChar(ch)) {
            return true;
        }
    }
    return false;
}

bool SheetNeedsQuotes(std::string_view s)
{
    return s.empty() || IsDigit(s[0]) || s[0] == '.' || HasOddChar(s) || LooksLikeA1(s) || LooksLikeR1C1(s) ||
           EqualsNoCase(s, "TRUE") || EqualsNoCase(s, "FALSE");
}

void AppendDoublingQuotes(std::string_view s, std::string *psOut)
{
    for (char ch : s) {
        if (ch == '\'') {
            psOut->push_back('\'');
        }
        psOut->push_back(ch);
    }
}

void AppendColumn(const CellLoc &loc, std::string *psOut)
{
    if (!loc.fColRel) {
        psOut->push_back('$');
    }
    char rgch[8];
    size_t cch = 0;
    for (uint32_t n = loc.col + 1; n > 0 && cch < sizeof(rgch); n /= 26) {
        n--;
        rgch[cch++] = static_cast<char>('A' + n % 26);
    }
    while (cch > 0) {
        psOut->push_back(rgch[--cch]);
    }
}

void AppendRow(const CellLoc &loc, std::string *psOut)
{
    if (!loc.fRowRel) {
        psOut->push_back('$');
    }
    char rgch[12];
    std::to_chars_result result =
        std::to_chars(rgch, rgch + sizeof(rgch), static_cast<uint64_t>(loc.row) + 1);
    psOut->append(rgch, result.ptr);
}

} // namespace

void AppendCell(const CellLoc &loc, std::string *psOut)
{
    AppendColumn(loc, psOut);
    AppendRow(loc, psOut);
}

void AppendArea(const CellLoc &first, const CellLoc &last, uint32_t rowLast, uint32_t colLast,
                std::string *psOut)
{
    if (first.col == 0 && last.col == colLast) {
        AppendRow(first, psOut);
        psOut->push_back(':');
        AppendRow(last, psOut);
    } else if (first.row == 0 && last.row == rowLast) {
        AppendColumn(first, psOut);
        psOut->push_back(':');
        AppendColumn(last, psOut);
    } else {
        AppendCell(first, psOut);
        psOut->push_back(':');
        AppendCell(last, psOut);
    }
}

void AppendSheetPrefix(const SheetSpan &span, std::string *psOut)
{
    bool fRange = !span.sLast.empty() && span.sLast != span.sFirst;
    bool fQuote =
        SheetNeedsQuotes(span.sFirst) || (fRange && SheetNeedsQuotes(span.sLast)) || HasOddChar(span.sBook);
    if (fQuote) {
        psOut->push_back('\'');
    }
    if (!span.sBook.empty()) {
        psOut->push_back('[');
        AppendDoublingQuotes(span.sBook, psOut);
        psOut->push_back(']');
    }
    AppendDoublingQuotes(span.sFirst, psOut);
    if (fRange) {
        psOut->push_back(':');
        AppendDoublingQuotes(span.sLast, psOut);
    }
    if (fQuote) {
        psOut->push_back('\'');
    }
    psOut->push_back('!');
}

void AppendBookName(std::string_view book, std::string *psOut)
{
    bool fQuote = book.empty() || IsDigit(book[0]) || HasOddChar(book);
    if (fQuote) {
        psOut->push_back('\'');
    }
    AppendDoublingQuotes(book, psOut);
    if (fQuote) {
        psOut->push_back('\'');
    }
}
