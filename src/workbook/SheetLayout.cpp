// Hidden rows and columns, and merged ranges. Spans are sorted and joined where they touch or
// overlap before they are handed on: rows come one record each, columns in ranges that writers
// may split anywhere.
#include "workbook/SheetLayout.h"

#include <algorithm>

#include "biff/RecordTypes.h"

namespace {

const uint16_t grbitRowHidden = 0x0020; // fDyZero
const uint16_t grbitColHidden = 0x0001;

} // namespace

bool SheetLayout::IsLayoutType(uint16_t wType)
{
    return wType == rtRow || wType == rtColInfo || wType == rtMergedCells;
}

void SheetLayout::ReadRecord(const uint8_t *pbStream, const BiffRecord &record, int nBiff)
{
    ByteCursor body = record.Body(pbStream);
    switch (record.wType) {
    case rtRow: {
        uint32_t row = body.Le16();
        body.Skip(10); // the columns it spans, its height, and fields of the writer's own
        uint16_t grbit = body.Le16();
        if (!body.FShort() && (grbit & grbitRowHidden) != 0) {
            m_rgRowHidden.push_back(Span{row, row});
        }
        break;
    }
    case rtColInfo: {
        uint32_t colFirst = body.Le16(), colLast = body.Le16();
        body.Skip(4); // width and format
        uint16_t grbit = body.Le16();
        if (!body.FShort() && (grbit & grbitColHidden) != 0 && colFirst <= colLast) {
            m_rgColHidden.push_back(Span{colFirst, colLast});
        }
        break;
    }
    case rtMergedCells: {
        if (nBiff < 8) {
            break;
        }
        uint16_t cRange = body.Le16();
        for (uint16_t i = 0; i < cRange && body.CbLeft() >= 8; i++) {
            MergedRange range = {};
            range.row = body.Le16();
            range.lastRow = body.Le16();
            range.col = body.Le16();
            range.lastCol = body.Le16();
            if (range.row <= range.lastRow && range.col <= range.lastCol) {
                m_rgMerge.push_back(range);
            }
        }
        break;
    }
    default: break;
    }
}

void SheetLayout::EmitSpans(uint32_t iSheet, bool fColumns, std::vector<Span> *prgSpan,
                            WorkbookVisitor &visitor)
{
    std::sort(prgSpan->begin(), prgSpan->end(),
              [](const Span &a, const Span &b) { return a.first < b.first; });
    for (size_t i = 0; i < prgSpan->size();) {
        Span span = (*prgSpan)[i++];
        while (i < prgSpan->size() && (*prgSpan)[i].first <= span.last + 1) {
            span.last = std::max(span.last, (*prgSpan)[i++].last);
        }
        visitor.OnHidden(HiddenSpan{iSheet, fColumns, span.first, span.last});
    }
    prgSpan->clear();
}

void SheetLayout::Emit(uint32_t iSheet, WorkbookVisitor &visitor)
{
    EmitSpans(iSheet, false, &m_rgRowHidden, visitor);
    EmitSpans(iSheet, true, &m_rgColHidden, visitor);
    for (MergedRange &range : m_rgMerge) {
        range.iSheet = iSheet;
        visitor.OnMerge(range);
    }
    m_rgMerge.clear();
}
