// Formula text for a sheet's cells. A cell whose first token is ptgExp shows the formula of a
// SHRFMLA (its relative references moved to the cell), an ARRAY ("{=...}" on each of its cells)
// or a TABLE ("{=TABLE(row input,column input)}"), kept here as offsets into the stream: the
// records are in memory already, and each entry stands for a record of the sheet. Text rendered
// again for each cell of a shared record is charged to the repeat budget.
#include "workbook/SheetFormulas.h"

#include "biff/RecordTypes.h"
#include "formula/FormulaRefText.h"

namespace {

const uint16_t grbitTableRowInput = 0x0004; // fRw: a one-input table whose input is a row
const uint16_t grbitTableTwoInputs = 0x0008;
const uint16_t grbitTableDeleted1 = 0x0010;
const uint16_t grbitTableDeleted2 = 0x0020;

int SiteVersion(int nBiff)
{
    return nBiff == 7 ? 5 : nBiff;
}

} // namespace

bool SheetFormulas::IsSharedType(uint16_t wType, int nBiff)
{
    if (nBiff == 2) {
        return wType == rtArray2 || wType == rtTable2;
    }
    return wType == rtShrFmla || wType == rtArray || wType == rtTable;
}

void SheetFormulas::WarnOnce(const std::string &message)
{
    if (!m_fWarned) {
        m_fWarned = true;
        m_book.Warn(message);
    }
}

void SheetFormulas::ReadShared(const BiffRecord &record)
{
    ByteCursor body = record.Body(m_book.pb);
    SharedEntry entry;
    entry.rowFirst = body.Le16();
    entry.rowLast = body.Le16();
    entry.colFirst = body.U8();
    entry.colLast = body.U8();
    if (body.FShort()) {
        WarnOnce("a shared formula, array or table record is too short for its range; it is left out");
        return;
    }
    entry.kind = record.wType == rtShrFmla                             ? SharedKind::Shared
                 : record.wType == rtArray || record.wType == rtArray2 ? SharedKind::Array
                                                                       : SharedKind::Table;
    entry.ib = record.ib + 4;
    entry.cbBody = record.cbBody;
    m_mapShared[CellKey(entry.rowFirst, entry.colFirst)] = entry;
}

bool SheetFormulas::FChargeRepeat(size_t cb)
{
    if (cb <= m_book.cbRepeatBudget) {
        m_book.cbRepeatBudget -= cb;
        return true;
    }
    if (!m_fBudgetWarned) {
        m_fBudgetWarned = true;
        m_book.Warn("the workbook's shared formulas give more text than its size justifies; cells past that "
                    "show no formula");
    }
    return false;
}

void SheetFormulas::Append(const FormulaBytes &bytes, uint32_t row, uint32_t col, bool fRelativeOffsets,
                           bool fCut, std::string *psOut)
{
    FormulaSite site;
    site.row = row;
    site.col = static_cast<uint16_t>(col);
    site.biffVersion = SiteVersion(m_book.nBiff);
    site.fRelativeOffsets = fRelativeOffsets;
    std::string warning;
    if (!m_links.AppendFormula(bytes, site, fCut, psOut, &warning)) {
        WarnOnce("a formula could not be read whole (" + warning + "); it shows " + kszFormulaDamaged);
    }
}

bool SheetFormulas::Render(const BiffRecord &record, uint32_t row, uint32_t col, bool fLastTry,
                           std::string *psOut)
{
    // The token count follows the cached result and the flags: one byte in BIFF2, and BIFF5
    // has four more bytes before it.
    ByteCursor body = record.Body(m_book.pb);
    int nBiff = m_book.nBiff;
    body.Skip(nBiff == 2 ? 15 : nBiff < 5 ? 16 : 20);
    size_t cce = nBiff == 2 ? body.U8() : body.Le16();
    if (body.FShort()) {
        psOut->append("=").append(kszFormulaDamaged);
        WarnOnce("a formula record is too short for its tokens; it shows " + std::string(kszFormulaDamaged));
        return true;
    }
    FormulaBytes bytes;
    bytes.cbRgce = cce < body.CbLeft() ? cce : body.CbLeft();
    bytes.pbRgce = body.Bytes(bytes.cbRgce);
    bytes.cbExtra = body.CbLeft();
    bytes.pbExtra = body.Bytes(bytes.cbExtra);
    FormulaSite site;
    site.row = row;
    site.col = static_cast<uint16_t>(col);
    site.biffVersion = SiteVersion(nBiff);
    FormulaNote note;
    FormulaStatus status = AppendFormulaText(bytes, site, m_links, psOut, &note);
    if (status == FormulaStatus::Ok && bytes.cbRgce < cce) {
        status = FormulaStatus::Damaged;
        note.sWarning = "its record ends before its tokens do";
        psOut->append(" ").append(kszFormulaDamaged);
    }
    if (status == FormulaStatus::Damaged) {
        WarnOnce("a formula could not be read whole (" + note.sWarning + "); it shows " + kszFormulaDamaged);
    }
    if (status != FormulaStatus::SharedRef && status != FormulaStatus::TableRef) {
        return true;
    }
    std::map<CellKey, SharedEntry>::const_iterator it =
        m_mapShared.find(CellKey(note.rowOwner, note.colOwner));
    if (it == m_mapShared.end()) {
        if (!fLastTry) {
            return false;
        }
        psOut->append("=").append(kszFormulaDamaged);
        WarnOnce("a formula belongs to a shared formula, array or table that is not there; it shows " +
                 std::string(kszFormulaDamaged));
        return true;
    }
    RenderShared(it->second, row, col, psOut);
    return true;
}

// The shared record's tokens start after its range and fields: SHRFMLA has two bytes and a
// count; ARRAY has flags (one byte in BIFF2) and, from BIFF5, four bytes more.
void SheetFormulas::RenderShared(const SharedEntry &entry, uint32_t row, uint32_t col, std::string *psOut)
{
    size_t cbStart = psOut->size();
    if (entry.kind == SharedKind::Table) {
        RenderTable(entry, psOut);
    } else {
        ByteCursor body(m_book.pb + entry.ib, entry.cbBody);
        int nBiff = m_book.nBiff;
        bool fShared = entry.kind == SharedKind::Shared;
        body.Skip(fShared ? 8 : nBiff == 2 ? 7 : nBiff < 5 ? 8 : 12);
        size_t cce = nBiff == 2 && !fShared ? body.U8() : body.Le16();
        FormulaBytes bytes;
        bytes.cbRgce = cce < body.CbLeft() ? cce : body.CbLeft();
        bytes.pbRgce = body.Bytes(bytes.cbRgce);
        bytes.cbExtra = body.CbLeft();
        bytes.pbExtra = body.Bytes(bytes.cbExtra);
        if (!fShared) {
            psOut->push_back('{');
        }
        // A shared formula's relative references are offsets from each cell; an array's
        // formula is the same on every cell, as its first shows it.
        Append(bytes, fShared ? row : entry.rowFirst, fShared ? col : entry.colFirst, fShared,
               bytes.cbRgce < cce, psOut);
        if (!fShared) {
            psOut->push_back('}');
        }
    }
    if (!FChargeRepeat(psOut->size() - cbStart)) {
        psOut->resize(cbStart);
    }
}

// A data table's cells show "{=TABLE(row input,column input)}", the input not given empty.
void SheetFormulas::RenderTable(const SharedEntry &entry, std::string *psOut)
{
    ByteCursor body(m_book.pb + entry.ib, entry.cbBody);
    body.Skip(6);
    uint16_t grbit = m_book.nBiff == 2 ? body.U8() : body.Le16();
    CellLoc first = {body.Le16(), 0, true, true};
    first.col = body.Le16();
    CellLoc second = {body.Le16(), 0, true, true};
    second.col = body.Le16();
    if (body.FShort()) {
        psOut->append("=").append(kszFormulaDamaged);
        WarnOnce("a data table record is too short for its input cells; its cells show " +
                 std::string(kszFormulaDamaged));
        return;
    }
    std::string sFirst, sSecond;
    if (grbit & grbitTableDeleted1) {
        sFirst = "#REF!";
    } else {
        AppendCell(first, &sFirst);
    }
    if (grbit & grbitTableDeleted2) {
        sSecond = "#REF!";
    } else {
        AppendCell(second, &sSecond);
    }
    psOut->append("{=TABLE(");
    if (grbit & grbitTableTwoInputs) {
        psOut->append(sFirst).append(",").append(sSecond);
    } else if (grbit & grbitTableRowInput) {
        psOut->append(sFirst).append(",");
    } else {
        psOut->append(",").append(sFirst);
    }
    psOut->append(")}");
}
