// A sheet's layout as far as it says what is seen: hidden rows (ROW) and columns (COLINFO),
// coalesced into spans, and merged ranges (MERGEDCELLS), handed on after the sheet's cells.
#ifndef CELLSIFT_WORKBOOK_SHEETLAYOUT_H
#define CELLSIFT_WORKBOOK_SHEETLAYOUT_H

#include <stdint.h>

#include <vector>

#include "biff/RecordIterator.h"
#include "workbook/Workbook.h"

class SheetLayout {
public:
    static bool IsLayoutType(uint16_t wType);
    // ROW, COLINFO or MERGEDCELLS of a BIFF nBiff sheet; a record too short is passed over (the
    // layout is no text, and damage to it is not worth a warning).
    void ReadRecord(const uint8_t *pbStream, const BiffRecord &record, int nBiff);
    // OnHidden for rows then columns, each span once, in order; then OnMerge for each range.
    void Emit(uint32_t iSheet, WorkbookVisitor &visitor);

private:
    struct Span {
        uint32_t first, last;
    };
    void EmitSpans(uint32_t iSheet, bool fColumns, std::vector<Span> *prgSpan, WorkbookVisitor &visitor);

    std::vector<Span> m_rgRowHidden;
    std::vector<Span> m_rgColHidden;
    std::vector<MergedRange> m_rgMerge;
};

#endif
