// Fuzz target: the formula decompiler. The first byte picks the BIFF version and the site, the
// next two where the tokens end and their extra data begins; the text must be valid UTF-8 and
// within the bound of the token bytes and the resolved names' sizes.
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "FuzzUtf8.h"
#include "formula/FormulaText.h"

namespace {

// Names of every kind the resolver can give, counted so the bound can be checked.
class FuzzRefs : public FormulaRefs {
public:
    bool SheetText(const XtiRef &xti, SheetSpan *pspan) const override
    {
        if (xti.ixti % 5 == 4) {
            return false;
        }
        const char *rgsz[] = {"Sheet1", "It's a sheet", "R1C1", "Données"};
        pspan->sFirst = rgsz[xti.ixti % 4];
        pspan->sLast = xti.itabLast % 2 ? "Sheet 3" : "";
        pspan->sBook = xti.ixti % 3 == 0 ? "[book].xls" : "";
        m_cbResolved += pspan->sFirst.size() + pspan->sLast.size() + pspan->sBook.size();
        return true;
    }
    bool NameText(uint16_t iName, std::string *psName) const override
    {
        if (iName % 3 == 0) {
            return false;
        }
        psName->assign(iName % 64, 'n');
        m_cbResolved += psName->size();
        return true;
    }
    bool ExternNameText(const XtiRef &xti, uint16_t iName, ExternName *pname) const override
    {
        pname->sBook = xti.ixti % 2 ? "my book.xls" : "";
        pname->sName = iName % 2 ? "_xlfn.IFERROR" : "Ext";
        m_cbResolved += pname->sBook.size() + pname->sName.size();
        return true;
    }
    void Text8(const uint8_t *pb, size_t cb, std::string *psOut) const override
    {
        size_t cbBefore = psOut->size();
        FormulaRefs::Text8(pb, cb, psOut);
        m_cbResolved += psOut->size() - cbBefore;
    }
    mutable size_t m_cbResolved = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    if (cbData < 3) {
        return 0;
    }
    const int rgVersion[] = {2, 3, 4, 5, 8, 8, 8, 8};
    FormulaSite site;
    site.biffVersion = rgVersion[pbData[0] & 7];
    site.fRelativeOffsets = pbData[0] & 8;
    site.row = (pbData[0] >> 4) * 4099u;
    site.col = static_cast<uint16_t>((pbData[0] >> 4) * 17);
    size_t cbRgce = pbData[1] | (pbData[2] << 8);
    pbData += 3;
    cbData -= 3;
    if (cbRgce > cbData) {
        cbRgce = cbData;
    }
    FormulaBytes bytes;
    bytes.pbRgce = pbData;
    bytes.cbRgce = cbRgce;
    bytes.pbExtra = pbData + cbRgce;
    bytes.cbExtra = cbData - cbRgce;
    FuzzRefs refs;
    std::string out = "prefix";
    FormulaNote note;
    FormulaStatus status = AppendFormulaText(bytes, site, refs, &out, &note);
    size_t cbText = out.size() - 6;
    size_t cbBound = kcbFormulaTextPerByte * cbData + 2 * refs.m_cbResolved + kcbFormulaTextFixed;
    if (out.compare(0, 6, "prefix") != 0 || cbText > cbBound || !IsUtf8(out)) {
        abort();
    }
    if (status == FormulaStatus::Damaged &&
        (out.find(kszFormulaDamaged) == std::string::npos || note.sWarning.empty())) {
        abort();
    }
    if ((status == FormulaStatus::SharedRef || status == FormulaStatus::TableRef) && cbText != 0) {
        abort();
    }
    return 0;
}
