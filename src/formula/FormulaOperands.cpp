// The token walk's references, names, function calls and attributes, in the layouts of BIFF2-5
// and of BIFF8, with the caller's resolver for what lies outside the formula.
#include "formula/FormulaDecoder.h"
#include "formula/FunctionTable.h"

bool FormulaRefs::SheetText(const XtiRef &, SheetSpan *) const
{
    return false;
}

bool FormulaRefs::NameText(uint16_t, std::string *) const
{
    return false;
}

bool FormulaRefs::ExternNameText(const XtiRef &, uint16_t, ExternName *) const
{
    return false;
}

void FormulaRefs::Text8(const uint8_t *pb, size_t cb, std::string *psOut) const
{
    for (size_t i = 0; i < cb; i++) {
        if (pb[i] < 0x80) {
            psOut->push_back(static_cast<char>(pb[i]));
        } else {
            psOut->push_back(static_cast<char>(0xC0 | (pb[i] >> 6)));
            psOut->push_back(static_cast<char>(0x80 | (pb[i] & 0x3F)));
        }
    }
}

bool FormulaDecoder::Attr()
{
    uint8_t type = m_cur.U8();
    uint16_t wData = m_fBiff2 ? m_cur.U8() : m_cur.Le16();
    if (type & 0x04) {
        // tAttrChoose: a jump for each choice and one past them, read over without following.
        m_cur.Skip((size_t{wData} + 1) * (m_fBiff2 ? 1 : 2));
    } else if (type & 0x10) {
        return m_tree.PushFunction("SUM", 1, false) || Fail("operand missing");
    } else if ((type & 0x40) && !m_fBiff2) {
        m_tree.AddSpace(static_cast<uint8_t>(wData & 0xFF), static_cast<uint8_t>(wData >> 8));
    }
    // tAttrSemi, tAttrIf, tAttrGoto and tAttrBaxcel guide the evaluation and show nothing.
    return true;
}

bool FormulaDecoder::Function(uint16_t iftab, size_t cArg, bool fFixed, bool fPrompt)
{
    if (!fFixed && iftab == kiftabAddIn) {
        return m_tree.PushFunction(nullptr, cArg, fPrompt) || Fail("add-in call without its name");
    }
    const FunctionInfo *pinfo = LookupFunction(iftab);
    if (pinfo == nullptr) {
        return Fail("unknown function");
    }
    if (fFixed) {
        if (pinfo->cArgFixed < 0) {
            return Fail("fixed call of a function whose arguments vary");
        }
        cArg = static_cast<size_t>(pinfo->cArgFixed);
    }
    return m_tree.PushFunction(pinfo->szName, cArg, fPrompt) || Fail("operand missing");
}

bool FormulaDecoder::Name()
{
    std::string &pool = m_tree.Pool();
    size_t ibLeaf = pool.size();
    uint16_t iName = m_cur.Le16();
    m_cur.Skip(m_fBiff8 ? 2 : m_site.biffVersion >= 5 ? 12 : m_fBiff2 ? 5 : 8);
    std::string sName;
    if (m_refs.NameText(iName, &sName)) {
        m_cbResolved += sName.size();
        pool += sName;
    } else {
        pool.append("#NAME?");
        Warn("name not resolved");
    }
    m_tree.PushLeaf(ibLeaf);
    return true;
}

bool FormulaDecoder::ExternalName()
{
    if (m_site.biffVersion < 5) {
        return Fail("unknown token");
    }
    std::string &pool = m_tree.Pool();
    size_t ibLeaf = pool.size();
    XtiRef xti;
    xti.ixti = m_cur.Le16();
    if (!m_fBiff8) {
        m_cur.Skip(8);
    }
    uint16_t iName = m_cur.Le16();
    m_cur.Skip(m_fBiff8 ? 2 : 12);
    ExternName name;
    if (m_refs.ExternNameText(xti, iName, &name)) {
        m_cbResolved += name.sBook.size() + name.sName.size();
        if (!name.sBook.empty()) {
            AppendBookName(name.sBook, &pool);
            pool.push_back('!');
        }
        pool += name.sName;
    } else {
        pool.append("#NAME?");
        Warn("external name not resolved");
    }
    m_tree.PushLeaf(ibLeaf);
    return true;
}

bool FormulaDecoder::SheetPart(std::string *psOut)
{
    XtiRef xti;
    xti.ixti = m_cur.Le16();
    if (!m_fBiff8) {
        m_cur.Skip(8);
        xti.itabFirst = m_cur.Le16();
        xti.itabLast = m_cur.Le16();
    }
    if (m_cur.FShort()) {
        return false;
    }
    SheetSpan span;
    if (!m_refs.SheetText(xti, &span)) {
        // As a deleted sheet shows: "#REF!A1".
        psOut->append("#REF!");
        Warn("sheet not resolved");
        return true;
    }
    m_cbResolved += span.sBook.size() + span.sFirst.size() + span.sLast.size();
    AppendSheetPrefix(span, psOut);
    return true;
}

// BIFF8 keeps the relative flags in the column word, BIFF2-5 in the row word beside 14 bits
// of row. Relative parts read as offsets wrap around the grid, as the cells they name do.
CellLoc FormulaDecoder::MakeCell(uint16_t wRow, uint16_t wCol, bool fOffsets) const
{
    CellLoc loc;
    uint32_t cRow = m_fBiff8 ? 65536 : 16384;
    if (m_fBiff8) {
        loc = CellLoc{wRow, wCol & 0x3FFFu, (wCol & 0x8000) != 0, (wCol & 0x4000) != 0};
    } else {
        loc = CellLoc{wRow & 0x3FFFu, wCol & 0xFFu, (wRow & 0x8000) != 0, (wRow & 0x4000) != 0};
    }
    if (fOffsets && loc.fRowRel) {
        int32_t dRow = m_fBiff8 ? static_cast<int16_t>(wRow) : ((wRow & 0x3FFF) ^ 0x2000) - 0x2000;
        loc.row = static_cast<uint32_t>(static_cast<int64_t>(m_site.row) + dRow) % cRow;
    }
    if (fOffsets && loc.fColRel) {
        int32_t dCol = static_cast<int8_t>(wCol & 0xFF);
        loc.col = static_cast<uint32_t>(static_cast<int32_t>(m_site.col) + dCol) % 256u;
    }
    return loc;
}

bool FormulaDecoder::Reference(uint8_t ptgBase)
{
    bool f3d = ptgBase >= 0x3A;
    bool fArea = ptgBase == 0x25 || ptgBase == 0x2B || ptgBase == 0x2D || ptgBase == 0x3B || ptgBase == 0x3D;
    bool fErr = ptgBase == 0x2A || ptgBase == 0x2B || ptgBase == 0x3C || ptgBase == 0x3D;
    bool fOffsets = ptgBase == 0x2C || ptgBase == 0x2D || (f3d && m_site.fRelativeOffsets);
    if (f3d && m_site.biffVersion < 5) {
        return Fail("unknown token");
    }
    std::string &pool = m_tree.Pool();
    size_t ibLeaf = pool.size();
    if (f3d && !SheetPart(&pool)) {
        return Fail("cut short");
    }
    uint16_t wRow1 = m_cur.Le16();
    uint16_t wRow2 = fArea ? m_cur.Le16() : 0;
    uint16_t wCol1 = m_fBiff8 ? m_cur.Le16() : m_cur.U8();
    uint16_t wCol2 = !fArea ? 0 : m_fBiff8 ? m_cur.Le16() : m_cur.U8();
    if (fErr) {
        pool.append("#REF!");
    } else if (fArea) {
        AppendArea(MakeCell(wRow1, wCol1, fOffsets), MakeCell(wRow2, wCol2, fOffsets),
                   m_fBiff8 ? 65535 : 16383, 255, &pool);
    } else {
        AppendCell(MakeCell(wRow1, wCol1, fOffsets), &pool);
    }
    m_tree.PushLeaf(ibLeaf);
    return true;
}
