// The one row layout of the forms that write a sheet as rows (text, CSV, HTML): each cell in
// the field of its column, the columns skipped before it filled, rows opened and ended.
#ifndef CELLSIFT_OUTPUT_ROWLAYOUT_H
#define CELLSIFT_OUTPUT_ROWLAYOUT_H

#include <stdint.h>

#include <string>
#include <string_view>

#include "workbook/Workbook.h"

// What a form writes around its cells. A form either separates its fields (text, CSV: the gap
// is a separator, so one also stands between two adjacent cells and none opens a row) or
// writes each field whole (HTML: the gap is an empty cell).
struct RowForm {
    std::string_view rowStart;
    std::string_view rowEnd;
    std::string_view gap;
    bool fSeparated;
    // An empty row is written as a row of no cells, so that line N of a sheet is row N (CSV).
    bool fKeepRows;
};

// What a row form writes for a cell (--values, --formulas): its value as its number format
// shows it or as stored, or, for a formula cell, its formula.
struct CellChoice {
    bool fRawValues = false;
    bool fFormulas = false;
    std::string_view TextOf(const Cell &cell) const
    {
        return fFormulas && !cell.formula.empty() ? cell.formula : fRawValues ? cell.text : cell.shown;
    }
};

// Appends to *ps, calling pfnMaybeFlush(pContext) after each row it ends so that the owner of
// *ps can pass it on in pieces. A row number is 16 bits, so one cell writes at most 65,535
// empty rows before the written-bytes budget is looked at again.
class RowLayout {
public:
    RowLayout(const RowForm &form, std::string *ps, void (*pfnMaybeFlush)(void *), void *pContext)
            : m_form(form), m_ps(ps), m_pfnMaybeFlush(pfnMaybeFlush), m_pContext(pContext)
    {}
    void StartSheet()
    {
        EndRow();
        m_rowNext = 0;
    }
    void EndRow()
    {
        if (m_fRowOpen) {
            EndLine();
        }
        m_fRowOpen = false;
    }
    // Opens the cell's row unless it is the open one and fills the gap up to the cell's
    // column; the caller appends the cell itself.
    void PlaceCell(uint32_t row, uint32_t col);

private:
    void EndLine()
    {
        m_ps->append(m_form.rowEnd);
        m_pfnMaybeFlush(m_pContext);
    }

    RowForm m_form;
    std::string *m_ps;
    void (*m_pfnMaybeFlush)(void *);
    void *m_pContext;
    bool m_fRowOpen = false;
    uint32_t m_row = 0;
    uint32_t m_colNext = 0;
    uint32_t m_rowNext = 0; // the row after the furthest begun
};

#endif
