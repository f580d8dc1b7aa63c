// A sheet's formula text: each FORMULA record's tokens through the formula engine, and the
// records that cells share (SHRFMLA, ARRAY, TABLE) kept by the cell they are anchored at.
#ifndef CELLSIFT_WORKBOOK_SHEETFORMULAS_H
#define CELLSIFT_WORKBOOK_SHEETFORMULAS_H

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <utility>

#include "workbook/BookLinks.h"

class SheetFormulas {
public:
    SheetFormulas(BookState &book, const BookLinks &links) : m_book(book), m_links(links) {}

    // SHRFMLA, ARRAY or TABLE in a BIFF nBiff sheet.
    static bool IsSharedType(uint16_t wType, int nBiff);
    // A SHRFMLA, ARRAY or TABLE record: kept by where it lies in the stream, which holds it.
    void ReadShared(const BiffRecord &record);
    // The formula of the FORMULA record of the cell at row, col into *psOut ("=...", "{=...}").
    // False when its first token names a shared record that is not there yet: the record that
    // follows the anchor cell's FORMULA may be it, and the cell is then rendered again.
    bool Render(const BiffRecord &record, uint32_t row, uint32_t col, bool fLastTry, std::string *psOut);

private:
    enum class SharedKind {
        Shared,
        Array,
        Table
    };
    struct SharedEntry {
        SharedKind kind;
        uint32_t rowFirst, rowLast, colFirst, colLast;
        size_t ib;     // the record's body in the stream
        size_t cbBody; // its length
    };
    using CellKey = std::pair<uint32_t, uint32_t>;

    void RenderShared(const SharedEntry &entry, uint32_t row, uint32_t col, std::string *psOut);
    void RenderTable(const SharedEntry &entry, std::string *psOut);
    // Appends the formula whose tokens are at bytes, the cell's site set, warning once a sheet.
    void Append(const FormulaBytes &bytes, uint32_t row, uint32_t col, bool fRelativeOffsets, bool fCut,
                std::string *psOut);
    void WarnOnce(const std::string &message);
    bool FChargeRepeat(size_t cb);

    BookState &m_book;
    const BookLinks &m_links;
    std::map<CellKey, SharedEntry> m_mapShared;
    bool m_fWarned = false;
    bool m_fBudgetWarned = false;
};

#endif
