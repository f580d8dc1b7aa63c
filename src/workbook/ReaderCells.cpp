// A sheet's cell records: strings (shared, in the cell, or a formula's STRING), numbers, RK
// and MULRK, booleans and errors, formula results, and the oldest BIFF2 cells.
#include <math.h>
#include <stdint.h>
#include <string.h>

#include "biff/ContinuedCursor.h"
#include "biff/RecordTypes.h"
#include "numformat/CellValue.h"
#include "workbook/SheetReader.h"

namespace {

double DecodeRk(uint32_t dwRk)
{
    double d;
    if (dwRk & 0x02) {
        d = static_cast<double>(static_cast<int32_t>(dwRk) >> 2);
    } else {
        uint64_t qw = static_cast<uint64_t>(dwRk & 0xFFFFFFFCu) << 32;
        memcpy(&d, &qw, sizeof(d));
    }
    return (dwRk & 0x01) ? d / 100 : d;
}

// The records that give a cell its value: a formula's STRING must come before any of them.
bool IsCellValueType(uint16_t wType)
{
    switch (wType) {
    case rtNumber:
    case rtLabel:
    case rtLabelSst:
    case rtRk:
    case rtMulRk:
    case rtBoolErr:
    case rtFormula:
    case rtFormula3:
    case rtFormula4:
    case rtRString: return true;
    default: return false;
    }
}

bool IsOldestCellType(uint16_t wType)
{
    return wType == rtInteger2 || wType == rtNumber2 || wType == rtLabel2 || wType == rtBoolErr2 ||
           wType == rtFormula;
}

} // namespace

// A cell's shown text and its format's code, past the value's own length and a few bytes
// more, are charged to the budget for repeated text: a long code used by many cells is text
// the file holds once. What a cell would show at most is known before it is rendered (a text
// section repeats its text for each @), and a cell whose most does not fit what is left is
// not rendered: it shows its value, without a format, as do all cells past the budget.
size_t SheetReader::ShownCharge(size_t cbShown, const NumberFormat &format, size_t cbText)
{
    const size_t cbFree = 32;
    size_t cbCode = format.IsGeneral() ? 0 : format.Code().size();
    size_t cbWant = cbShown > SIZE_MAX - cbCode ? SIZE_MAX : cbShown + cbCode;
    return cbWant > cbText + cbFree ? cbWant - cbText - cbFree : 0;
}

bool SheetReader::FShownFits(size_t cbShownMax, const NumberFormat &format, size_t cbText)
{
    if (ShownCharge(cbShownMax, format, cbText) <= m_book.cbRepeatBudget) {
        return true;
    }
    if (!m_book.fShownWarned) {
        m_book.Warn("the workbook's number formats show more text than its size justifies; "
                    "cells past that show their values");
    }
    m_book.fShownWarned = true;
    return false;
}

// fFits: FShownFits allowed the cell its format, and what it shows is charged now.
void SheetReader::EmitCell(Cell *pCell, const NumberFormat &format, bool fFits)
{
    if (fFits) {
        pCell->format = format.IsGeneral() ? std::string_view() : std::string_view(format.Code());
        size_t cbCharge = ShownCharge(pCell->shown.size(), format, pCell->text.size());
        m_book.cbRepeatBudget -= cbCharge < m_book.cbRepeatBudget ? cbCharge : m_book.cbRepeatBudget;
    } else {
        pCell->shown = pCell->text;
    }
    pCell->formula = m_formula;
    m_book.visitor.OnCell(*pCell);
}

void SheetReader::EmitNumber(uint32_t row, uint32_t col, uint16_t ixfe, double d)
{
    m_sCell.clear();
    m_sShown.clear();
    Cell cell = {m_iSheet, row, col, CellKind::Number, d, false, {}, {}, {}};
    if (!std::isfinite(d)) {
        cell.kind = CellKind::Error;
        cell.dNumber = 0x24;
        m_sCell = ErrorCodeText(0x24);
    } else if (m_book.formats.IsDate(ixfe) && AppendDate(d, m_book.fDate1904, &m_sCell)) {
        cell.kind = CellKind::Date;
    } else {
        AppendNumber(d, &m_sCell);
    }
    cell.text = m_sCell;
    cell.shown = cell.text;
    const NumberFormat &format = m_book.formats.Format(ixfe);
    bool fRender = cell.kind != CellKind::Error && m_book.fShown;
    bool fFits = FShownFits(fRender ? format.NumberShownMax() : cell.text.size(), format, cell.text.size());
    if (fRender && fFits) {
        format.Render(d, m_book.fDate1904, &m_sShown);
        cell.shown = m_sShown;
    }
    EmitCell(&cell, format, fFits);
}

void SheetReader::EmitText(uint32_t row, uint32_t col, uint16_t ixfe, std::string_view text, uint32_t isst)
{
    Cell cell = {m_iSheet, row, col, CellKind::Text, 0, false, text, text, {}, isst};
    const NumberFormat &format = m_book.formats.Format(ixfe);
    bool fRender = m_book.fShown && format.HasTextSection();
    bool fFits = FShownFits(fRender ? format.TextShownSize(text.size()) : text.size(), format, text.size());
    if (fRender && fFits) {
        m_sShown.clear();
        format.RenderText(text, &m_sShown);
        cell.shown = m_sShown;
    }
    EmitCell(&cell, format, fFits);
}

void SheetReader::EmitBoolErr(uint32_t row, uint32_t col, uint8_t bValue, bool fError)
{
    Cell cell = {m_iSheet, row, col, fError ? CellKind::Error : CellKind::Bool, 0, false, {}, {}, {}};
    if (fError) {
        cell.text = ErrorCodeText(bValue);
        cell.dNumber = bValue;
    } else {
        cell.fBool = bValue != 0;
        cell.text = cell.fBool ? "TRUE" : "FALSE";
        cell.dNumber = cell.fBool ? 1 : 0;
    }
    cell.shown = cell.text;
    cell.formula = m_formula;
    m_book.visitor.OnCell(cell);
}

// The first use of a shared string is free: the table holds its bytes once. Every later use
// is charged what decoding it walks, or what it gives, whichever is more.
void SheetReader::ReadLabelSst(uint32_t row, uint32_t col, uint16_t ixfe, uint32_t isst)
{
    if (isst >= m_book.sst.Count()) {
        m_book.Warn("a cell refers to shared string " + std::to_string(isst) + ", which is not there");
        return;
    }
    m_sCell.clear();
    if (!m_book.sst.FUsed(isst)) {
        m_book.sst.Decode(m_book.pb, m_book.cb, isst, SIZE_MAX, &m_sCell);
    } else {
        size_t cbWalk = m_book.sst.CbSpan(isst);
        bool fCut = cbWalk > m_book.cbRepeatBudget;
        fCut =
            m_book.sst.Decode(m_book.pb, m_book.cb, isst, fCut ? 0 : m_book.cbRepeatBudget, &m_sCell) || fCut;
        size_t cbCharge = cbWalk > m_sCell.size() ? cbWalk : m_sCell.size();
        m_book.cbRepeatBudget -= cbCharge < m_book.cbRepeatBudget ? cbCharge : m_book.cbRepeatBudget;
        if (fCut && !m_book.fBudgetWarned) {
            m_book.Warn("the workbook repeats its shared strings more than its size justifies; "
                        "repeated texts are cut");
            m_book.fBudgetWarned = true;
        }
    }
    EmitText(row, col, ixfe, m_sCell, isst);
}

// A FORMULA held for its shared record is read before the record after it, and after that
// record when it is a shared one: the shared record follows its anchor cell's FORMULA.
void SheetReader::ReadRecord(const BiffRecord &record)
{
    if (m_fHeld) {
        m_fHeld = false;
        bool fShared = SheetFormulas::IsSharedType(record.wType, m_book.nBiff);
        if (fShared) {
            m_formulas.ReadShared(record);
        }
        m_fLastTry = true;
        ReadCellRecord(m_recordHeld);
        m_fLastTry = false;
        if (fShared) {
            return;
        }
    }
    ReadCellRecord(record);
}

void SheetReader::FinishCells()
{
    if (m_fHeld) {
        m_fHeld = false;
        m_fLastTry = true;
        ReadCellRecord(m_recordHeld);
        m_fLastTry = false;
    }
    m_layout.Emit(m_iSheet, m_book.visitor);
}

void SheetReader::ReadCellRecord(const BiffRecord &record)
{
    if (m_fFormulaPending && IsCellValueType(record.wType)) {
        m_fFormulaPending = false;
        m_formula = {};
        m_book.Warn("a formula's string result is missing");
    }
    if (SheetLayout::IsLayoutType(record.wType)) {
        m_layout.ReadRecord(m_book.pb, record, m_book.nBiff);
        return;
    }
    if (SheetFormulas::IsSharedType(record.wType, m_book.nBiff)) {
        if (m_book.fFormulas) {
            m_formulas.ReadShared(record);
        }
        return;
    }
    switch (record.wType) {
    case rtExternSheet:
    case rtExternName: m_links.ReadRecord(record); return;
    case rtObj: ReadObj(record); return;
    case rtTxo: ReadTxo(record); return;
    case rtNote: ReadNote(record); return;
    case rtString:
    case rtString2: ReadFormulaString(record); return;
    default: break;
    }
    // The oldest cells have three attribute bytes where later ones have the XF: its index is
    // in the first of them.
    bool fOldest = m_book.nBiff == 2;
    if (fOldest ? !IsOldestCellType(record.wType) : !IsCellValueType(record.wType)) {
        return;
    }
    ByteCursor body = record.Body(m_book.pb);
    uint32_t row = body.Le16(), col = body.Le16();
    uint16_t ixfe = fOldest ? body.U8() & 0x3F : body.Le16();
    if (fOldest) {
        body.Skip(2);
    }
    switch (record.wType) {
    case rtLabelSst: {
        uint32_t isst = body.Le32();
        if (!m_book.FShortRecord(body, record)) {
            ReadLabelSst(row, col, ixfe, isst);
        }
        return;
    }
    case rtLabel:
    case rtRString:
    case rtLabel2: {
        if (m_book.FShortRecord(body, record)) {
            return;
        }
        ContinuedCursor text(m_book.pb, m_book.cb, record.ib);
        text.Skip(body.Tell());
        m_sCell.clear();
        m_book.ReadString(&text, record.wType == rtLabel2, &m_sCell);
        if (text.FShort()) {
            m_book.Warn("a text cell's string runs past its record; it is left out");
        } else {
            EmitText(row, col, ixfe, m_sCell);
        }
        return;
    }
    case rtInteger2: {
        uint16_t w = body.Le16();
        if (!m_book.FShortRecord(body, record)) {
            EmitNumber(row, col, ixfe, w);
        }
        return;
    }
    case rtNumber:
    case rtNumber2: {
        double d = body.Double();
        if (!m_book.FShortRecord(body, record)) {
            EmitNumber(row, col, ixfe, d);
        }
        return;
    }
    case rtRk: {
        uint32_t dwRk = body.Le32();
        if (!m_book.FShortRecord(body, record)) {
            EmitNumber(row, col, ixfe, DecodeRk(dwRk));
        }
        return;
    }
    case rtMulRk: {
        // The first column took the place of the XF; each cell is an XF and an RK, and the
        // last column ends the record.
        if (m_book.FShortRecord(body, record)) {
            return;
        }
        ByteCursor cells(m_book.pb + record.ib + 8, record.cbBody - 6);
        for (uint32_t i = 0; cells.CbLeft() >= 6; i++) {
            uint16_t ixfeCell = cells.Le16();
            EmitNumber(row, col + i, ixfeCell, DecodeRk(cells.Le32()));
        }
        return;
    }
    case rtBoolErr:
    case rtBoolErr2: {
        uint8_t bValue = body.U8();
        bool fError = body.U8() != 0;
        if (!m_book.FShortRecord(body, record)) {
            EmitBoolErr(row, col, bValue, fError);
        }
        return;
    }
    default: // the formulas
        ReadFormula(record, &body, row, col, ixfe);
        return;
    }
}

// The STRING record after a formula whose result is text: the oldest has a one-byte count.
void SheetReader::ReadFormulaString(const BiffRecord &record)
{
    if (!m_fFormulaPending) {
        return;
    }
    ContinuedCursor text(m_book.pb, m_book.cb, record.ib);
    m_sCell.clear();
    m_book.ReadString(&text, record.wType == rtString2, &m_sCell);
    m_fFormulaPending = false;
    if (text.FShort()) {
        m_book.Warn("a formula's string result is cut short; it is left out");
    } else {
        EmitText(m_rowPending, m_colPending, m_ixfePending, m_sCell);
    }
    m_formula = {};
}

// pBody is just after the cell's XF (BIFF2: its attributes), at the result.
void SheetReader::ReadFormula(const BiffRecord &record, ByteCursor *pBody, uint32_t row, uint32_t col,
                              uint16_t ixfe)
{
    const uint8_t *pbResult = pBody->Bytes(8);
    if (m_book.FShortRecord(*pBody, record)) {
        return;
    }
    if (m_book.fFormulas) {
        m_sFormula.clear();
        if (!m_formulas.Render(record, row, col, m_fLastTry, &m_sFormula)) {
            m_fHeld = true;
            m_recordHeld = record;
            return;
        }
        m_formula = m_sFormula;
    }
    ByteCursor marker(pbResult + 6, 2);
    if (marker.Le16() != 0xFFFF) {
        EmitNumber(row, col, ixfe, ByteCursor(pbResult, 8).Double());
        m_formula = {};
        return;
    }
    switch (pbResult[0]) {
    case 0: // the text is in the STRING record that follows
        m_fFormulaPending = true;
        m_rowPending = row;
        m_colPending = col;
        m_ixfePending = ixfe;
        break;
    case 1: EmitBoolErr(row, col, pbResult[2], false); break;
    case 2: EmitBoolErr(row, col, pbResult[2], true); break;
    case 3: EmitText(row, col, ixfe, std::string_view()); break;
    default: break;
    }
    if (!m_fFormulaPending) {
        m_formula = {};
    }
}
