// The token walk of the formula decompiler: the loop over the ptgs of BIFF2 to BIFF8, the
// operators and constants, and the text or marker at the end.
#include <stdio.h>

#include "formula/FormulaConstants.h"
#include "formula/FormulaDecoder.h"

const char kszFormulaDamaged[] = "#FORMULA?";

namespace {

struct BinaryOp {
    const char *szSym;
    FormulaPrec prec;
};

// ptgAdd (0x03) to ptgRange (0x11).
const BinaryOp rgBinary[] = {
    {"+", precAdd},     {"-", precAdd},      {"*", precMul},      {"/", precMul},     {"^", precPower},
    {"&", precConcat},  {"<", precCompare},  {"<=", precCompare}, {"=", precCompare}, {">=", precCompare},
    {">", precCompare}, {"<>", precCompare}, {" ", precIsect},    {",", precUnion},   {":", precRange},
};

// Room kept under the bound for the marker of a formula cut at the bound.
const size_t kcbMarkerRoom = 16;

} // namespace

FormulaDecoder::FormulaDecoder(const FormulaBytes &bytes, const FormulaSite &site, const FormulaRefs &refs)
        : m_cur(bytes.pbRgce, bytes.cbRgce), m_curExtra(bytes.pbExtra, bytes.cbExtra), m_site(site),
          m_refs(refs), m_cbTokens(bytes.cbRgce + bytes.cbExtra), m_fBiff8(site.biffVersion >= 8),
          m_fBiff2(site.biffVersion <= 2), m_fByteIds(site.biffVersion <= 3), m_tree(bytes.cbRgce)
{}

size_t FormulaDecoder::CbBound() const
{
    return kcbFormulaTextPerByte * m_cbTokens + 2 * m_cbResolved + kcbFormulaTextFixed;
}

void FormulaDecoder::Warn(const char *szWhy)
{
    if (!m_sWarning.empty()) {
        return;
    }
    char rgch[160];
    snprintf(rgch, sizeof(rgch), "formula token 0x%02X at byte %zu: %s", m_ptg, m_ibToken, szWhy);
    m_sWarning = rgch;
}

bool FormulaDecoder::Fail(const char *szWhy)
{
    if (!m_fFailed) {
        m_sWarning.clear();
    }
    m_fFailed = true;
    Warn(szWhy);
    return false;
}

FormulaStatus FormulaDecoder::Run(std::string *psOut, FormulaNote *pnote)
{
    FormulaStatus status = FormulaStatus::Ok;
    while (m_cur.CbLeft() > 0 && !m_fFailed) {
        m_ibToken = m_cur.Tell();
        m_ptg = m_cur.U8();
        // Operand tokens come in reference, value and array classes of one meaning each.
        uint8_t ptgBase = m_ptg >= 0x20 ? static_cast<uint8_t>((m_ptg & 0x1F) | 0x20) : m_ptg;
        if (m_ptg >= 0x80 || !Token(ptgBase, &status, pnote)) {
            Fail("unknown token");
        } else if (status != FormulaStatus::Ok) {
            return status;
        } else if (m_cur.FShort() || m_curExtra.FShort()) {
            Fail("cut short");
        } else if (m_tree.Pool().size() > CbBound()) {
            Fail("text bound reached");
        }
    }
    if (!m_fFailed && m_tree.Depth() != 1) {
        m_ibToken = m_cur.Tell();
        Fail(m_tree.Depth() == 0 ? "no operand" : "operands left over");
    }
    // What was read before the damage is still shown, cut at the bound if it must be.
    size_t ibStart = psOut->size();
    psOut->push_back('=');
    if (!m_tree.Emit(CbBound() - kcbMarkerRoom, psOut)) {
        Fail("text bound reached");
    }
    if (m_fFailed) {
        if (psOut->size() > ibStart + 1) {
            psOut->push_back(' ');
        }
        psOut->append(kszFormulaDamaged);
    }
    pnote->sWarning = m_sWarning;
    return m_fFailed ? FormulaStatus::Damaged : FormulaStatus::Ok;
}

bool FormulaDecoder::Token(uint8_t ptgBase, FormulaStatus *pstatus, FormulaNote *pnote)
{
    std::string &pool = m_tree.Pool();
    size_t ibLeaf = pool.size();
    switch (ptgBase) {
    case 0x01: // ptgExp
    case 0x02: // ptgTbl
        if (m_ibToken != 0) {
            return Fail("shared formula mark inside a formula");
        }
        pnote->rowOwner = m_cur.Le16();
        pnote->colOwner = m_fBiff2 ? m_cur.U8() : m_cur.Le16();
        if (m_cur.FShort()) {
            return Fail("cut short");
        }
        *pstatus = ptgBase == 0x01 ? FormulaStatus::SharedRef : FormulaStatus::TableRef;
        return true;
    case 0x12: return m_tree.PushPrefix("+") || Fail("operand missing");
    case 0x13: return m_tree.PushPrefix("-") || Fail("operand missing");
    case 0x14: return m_tree.PushPostfix("%") || Fail("operand missing");
    case 0x15: return m_tree.PushParen() || Fail("operand missing");
    case 0x16: // ptgMissArg: an empty argument
        m_tree.PushLeaf(ibLeaf);
        return true;
    case 0x17:
        if (!AppendStringConstant(&m_cur, FormulaStringForm{m_fBiff8, false}, m_refs, &pool, &m_cbResolved)) {
            return Fail("cut short");
        }
        m_tree.PushLeaf(ibLeaf);
        return true;
    case 0x19: return Attr();
    case 0x1C: {
        const char *szErr = BiffErrorText(m_cur.U8());
        if (szErr == nullptr) {
            return Fail("unknown error code");
        }
        pool.append(szErr);
        m_tree.PushLeaf(ibLeaf);
        return true;
    }
    case 0x1D:
        pool.append(m_cur.U8() ? "TRUE" : "FALSE");
        m_tree.PushLeaf(ibLeaf);
        return true;
    case 0x1E:
        AppendNumberConstant(m_cur.Le16(), &pool);
        m_tree.PushLeaf(ibLeaf);
        return true;
    case 0x1F: {
        double d = m_cur.Double();
        if (m_cur.FShort()) {
            return Fail("cut short");
        }
        AppendNumberConstant(d, &pool);
        m_tree.PushLeaf(ibLeaf);
        return true;
    }
    case 0x20: // ptgArray: its values follow the tokens
        m_cur.Skip(m_fBiff2 ? 6 : 7);
        if (!AppendArrayConstant(&m_curExtra, m_fBiff8, m_refs, &pool, &m_cbResolved)) {
            return Fail("array constant damaged or cut short");
        }
        m_tree.PushLeaf(ibLeaf);
        return true;
    case 0x21: { // ptgFunc
        uint16_t iftab = m_fByteIds ? m_cur.U8() : m_cur.Le16();
        return Function(iftab, 0, true, false);
    }
    case 0x22: { // ptgFuncVar: the prompt flag in the count, the command flag in the number
        uint8_t bArg = m_cur.U8();
        uint16_t iftab = m_fByteIds ? m_cur.U8() : m_cur.Le16();
        if (iftab & 0x8000) {
            return Fail("command-equivalent function");
        }
        return Function(iftab, bArg & 0x7F, false, bArg & 0x80);
    }
    case 0x23: return Name();
    case 0x26: // ptgMemArea and the other wrappers: the subexpression follows as tokens
    case 0x27:
    case 0x28:
        m_cur.Skip(4);
        m_cur.Skip(m_site.biffVersion <= 3 ? 1 : 2);
        // Its ranges lie in the extra data, before any later array constant's values: eight
        // bytes a range in BIFF8, six (one byte a column) before.
        if (ptgBase == 0x26) {
            m_curExtra.Skip(size_t{m_fBiff8 ? 8u : 6u} * m_curExtra.Le16());
        }
        return true;
    case 0x29:
    case 0x2E:
    case 0x2F: m_cur.Skip(m_site.biffVersion <= 3 ? 1 : 2); return true;
    case 0x38: // ptgFuncCE: the commands of macro sheets have no table here
        return Fail("command-equivalent function");
    case 0x39: return ExternalName();
    case 0x24:
    case 0x25:
    case 0x2A:
    case 0x2B:
    case 0x2C:
    case 0x2D:
    case 0x3A:
    case 0x3B:
    case 0x3C:
    case 0x3D: return Reference(ptgBase);
    default:
        if (ptgBase >= 0x03 && ptgBase <= 0x11) {
            const BinaryOp &op = rgBinary[ptgBase - 0x03];
            return m_tree.PushBinary(op.szSym, op.prec) || Fail("operand missing");
        }
        // ptgSheet and ptgEndSheet of BIFF2-4, BIFF8's extended tokens and the rest
        return Fail("unknown token");
    }
}

FormulaStatus AppendFormulaText(const FormulaBytes &bytes, const FormulaSite &site, const FormulaRefs &refs,
                                std::string *psOut, FormulaNote *pnote)
{
    FormulaDecoder decoder(bytes, site, refs);
    return decoder.Run(psOut, pnote);
}
