// The token walk's state, shared by the file that reads operators and constants and the one
// that reads references, names, functions and attributes.
#ifndef CELLSIFT_FORMULA_FORMULADECODER_H
#define CELLSIFT_FORMULA_FORMULADECODER_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "biff/ByteCursor.h"
#include "formula/FormulaRefText.h"
#include "formula/FormulaText.h"
#include "formula/FormulaTree.h"

class FormulaDecoder {
public:
    FormulaDecoder(const FormulaBytes &bytes, const FormulaSite &site, const FormulaRefs &refs);

    FormulaStatus Run(std::string *psOut, FormulaNote *pnote);

private:
    // Each reads one token after its ptg byte; false when it is damaged (the warning says why).
    // A read past the end is caught after the token by the cursors' short flags.
    bool Token(uint8_t ptgBase, FormulaStatus *pstatus, FormulaNote *pnote);
    bool Attr();
    bool Function(uint16_t iftab, size_t cArg, bool fFixed, bool fPrompt);
    bool Name();
    bool ExternalName();
    bool Reference(uint8_t ptgBase);
    bool SheetPart(std::string *psOut);
    CellLoc MakeCell(uint16_t wRow, uint16_t wCol, bool fOffsets) const;

    // The first damage names itself in the warning; a soft warning (an unresolved name) gives
    // way to it.
    bool Fail(const char *szWhy);
    void Warn(const char *szWhy);
    size_t CbBound() const;

    ByteCursor m_cur, m_curExtra;
    const FormulaSite &m_site;
    const FormulaRefs &m_refs;
    size_t m_cbTokens;
    size_t m_cbResolved = 0;
    bool m_fBiff8, m_fBiff2, m_fByteIds;
    FormulaTree m_tree;
    size_t m_ibToken = 0;
    uint8_t m_ptg = 0;
    bool m_fFailed = false;
    std::string m_sWarning;
};

#endif
