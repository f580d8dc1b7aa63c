// Where a cell goes in its row: gaps for the columns skipped, bounded so that a damaged column
// number cannot make the output balloon, and rows out of order started anew.
#include "output/RowLayout.h"

namespace {

// Gaps written before one cell: no more than a sheet has columns.
const uint32_t cGapMax = 256;

} // namespace

void RowLayout::PlaceCell(uint32_t row, uint32_t col)
{
    uint32_t cGaps;
    if (!m_fRowOpen || row != m_row) {
        EndRow();
        // Rows out of order (the file's, not a spreadsheet's) start a row of their own.
        for (uint32_t i = m_rowNext; m_form.fKeepRows && i < row; i++) {
            m_ps->append(m_form.rowStart);
            EndLine();
        }
        m_rowNext = row >= m_rowNext ? row + 1 : m_rowNext;
        m_ps->append(m_form.rowStart);
        m_fRowOpen = true;
        m_row = row;
        cGaps = col;
    } else {
        // A cell out of column order still gets a field of its own.
        cGaps = (col >= m_colNext ? col - m_colNext : 0) + (m_form.fSeparated ? 1 : 0);
    }
    for (uint32_t i = 0; i < cGaps && i < cGapMax; i++) {
        m_ps->append(m_form.gap);
    }
    m_colNext = col + 1;
}
