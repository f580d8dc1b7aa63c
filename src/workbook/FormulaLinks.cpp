// The workbook's links as the formula engine asks for them (sheets of 3-D references, defined
// and external names, 8-bit text), and as the visitor is given them after the globals.
#include <string.h>

#include "workbook/BookLinks.h"

namespace {

// The file's name alone, for a BIFF5 sheet's link to a document the globals do not list.
std::string FileNameOf(const std::string &path)
{
    size_t iSep = path.find_last_of("\\/:");
    return iSep == std::string::npos ? path : path.substr(iSep + 1);
}

// A name longer than any a spreadsheet allows (sheets 31 characters, names 255) is cut where a
// character ends: each reference repeats it, and a few bytes of tokens must not give megabytes.
const size_t cbNameMax = 255 * 3;

std::string Clip(const std::string &s)
{
    if (s.size() <= cbNameMax) {
        return s;
    }
    size_t cb = cbNameMax;
    while (cb > 0 && (static_cast<unsigned char>(s[cb]) & 0xC0) == 0x80) {
        cb--;
    }
    return s.substr(0, cb);
}

void AppendQuoted(const std::string &s, std::string *psOut)
{
    psOut->push_back('\'');
    for (char ch : s) {
        psOut->append(ch == '\'' ? 2 : 1, ch);
    }
    psOut->push_back('\'');
}

} // namespace

// The documents other than this workbook, as the visitor knows them.
bool BookLinks::FExternal(BookKind kind, ExternalKind *pkind)
{
    switch (kind) {
    case BookKind::Workbook: *pkind = ExternalKind::Workbook; return true;
    case BookKind::Dde: *pkind = ExternalKind::Dde; return true;
    case BookKind::Ole: *pkind = ExternalKind::Ole; return true;
    case BookKind::AddIn: *pkind = ExternalKind::AddIn; return true;
    default: return false;
    }
}

void BookLinks::Emit()
{
    // Each document once, numbered as formulas show it; a BIFF5 workbook may link the same
    // document once per sheet it uses.
    for (size_t i = 0; i < m_rgBook.size(); i++) {
        LinkedBook &book = m_rgBook[i];
        ExternalKind kind;
        if (!FExternal(book.kind, &kind)) {
            continue;
        }
        for (size_t j = 0; j < i && book.iLink == 0; j++) {
            if (m_rgBook[j].kind == book.kind && m_rgBook[j].path == book.path && m_rgBook[j].iLink != 0) {
                book.iLink = m_rgBook[j].iLink;
            }
        }
        if (book.iLink != 0) {
            continue;
        }
        book.iLink = ++m_cLink;
        std::string path = book.kind == BookKind::Dde ? book.sApp + "|" + book.path : book.path;
        m_book.visitor.OnExternalLink(ExternalLink{book.iLink, kind, path});
    }
    std::string formula, warning;
    bool fWarned = false;
    for (const DefinedNameEntry &entry : m_rgName) {
        formula.clear();
        // A name's formula is what the name means, and names are few: read whatever the visitor
        // wants of the cells; its damage is told only to a visitor of formulas, as the links' is.
        if (entry.cce > 0) {
            FormulaBytes bytes;
            bytes.pbRgce = entry.rgb.data();
            bytes.cbRgce = entry.cce < entry.rgb.size() ? entry.cce : entry.rgb.size();
            bytes.pbExtra = entry.rgb.data() + bytes.cbRgce;
            bytes.cbExtra = entry.rgb.size() - bytes.cbRgce;
            FormulaSite site;
            site.biffVersion = m_book.nBiff == 7 ? 5 : m_book.nBiff;
            site.fRelativeOffsets = true;
            if (!AppendFormula(bytes, site, entry.rgb.size() < entry.cce, &formula, &warning) && !fWarned) {
                fWarned = true;
                Warn("the formula of defined name '" + entry.name + "' could not be read whole (" + warning +
                     ")");
            }
        }
        m_book.visitor.OnName(DefinedName{entry.name, entry.iSheet, entry.fHidden, entry.fBuiltIn, formula});
    }
}

bool BookLinks::AppendFormula(const FormulaBytes &bytes, const FormulaSite &site, bool fCut,
                              std::string *psOut, std::string *psWarning) const
{
    FormulaNote note;
    FormulaStatus status = AppendFormulaText(bytes, site, *this, psOut, &note);
    if (status == FormulaStatus::Ok && !fCut) {
        return true;
    }
    if (status == FormulaStatus::Damaged) {
        *psWarning = note.sWarning;
    } else if (status == FormulaStatus::Ok) {
        *psWarning = "its record ends before its tokens do";
        psOut->append(" ").append(kszFormulaDamaged);
    } else {
        *psWarning = "it belongs to a formula that is not there";
        psOut->append("=").append(kszFormulaDamaged);
    }
    return false;
}

// BIFF8: the entry of the XTI table, and the SUPBOOK it names. BIFF5: the EXTERNSHEET record,
// by its index from 1; a negative index is the workbook itself.
const BookLinks::LinkedBook *BookLinks::BookOf(const XtiRef &xti) const
{
    if (m_book.nBiff >= 8) {
        if (xti.ixti >= m_rgXti.size() || m_rgXti[xti.ixti].iSupBook >= m_rgBook.size()) {
            return nullptr;
        }
        return &m_rgBook[m_rgXti[xti.ixti].iSupBook];
    }
    int16_t ix = static_cast<int16_t>(xti.ixti);
    const std::vector<LinkedBook> &rgBook = m_fInSheet && !m_rgLocal.empty() ? m_rgLocal : m_rgBook;
    return ix > 0 && static_cast<size_t>(ix) <= rgBook.size() ? &rgBook[ix - 1] : nullptr;
}

std::string BookLinks::BookText(const LinkedBook &book) const
{
    if (book.iLink != 0) {
        return std::to_string(book.iLink);
    }
    for (const LinkedBook &listed : m_rgBook) {
        if (listed.iLink != 0 && listed.kind == book.kind && listed.path == book.path) {
            return std::to_string(listed.iLink);
        }
    }
    return Clip(FileNameOf(book.path));
}

bool BookLinks::OwnSheets(uint16_t itabFirst, uint16_t itabLast, SheetSpan *pspan) const
{
    if (itabFirst >= m_rgSheetName.size() || itabLast >= m_rgSheetName.size()) {
        return false;
    }
    pspan->sFirst = m_rgSheetName[itabFirst];
    if (itabLast != itabFirst) {
        pspan->sLast = m_rgSheetName[itabLast];
    }
    return true;
}

bool BookLinks::SheetText(const XtiRef &xti, SheetSpan *pspan) const
{
    const LinkedBook *pbook = BookOf(xti);
    if (m_book.nBiff < 8 && static_cast<int16_t>(xti.ixti) < 0) {
        return OwnSheets(xti.itabFirst, xti.itabLast, pspan);
    }
    if (pbook == nullptr) {
        return false;
    }
    if (m_book.nBiff < 8) {
        // The record names the one sheet; its book is this one or another.
        if (pbook->kind == BookKind::Self && !pbook->sSheet.empty()) {
            pspan->sFirst = pbook->sSheet;
            return true;
        }
        if (pbook->kind != BookKind::Workbook) {
            return false;
        }
        pspan->sBook = BookText(*pbook);
        pspan->sFirst = Clip(pbook->sSheet);
        return true;
    }
    const Xti &entry = m_rgXti[xti.ixti];
    if (pbook->kind == BookKind::Self) {
        return OwnSheets(entry.itabFirst, entry.itabLast, pspan);
    }
    if (pbook->kind != BookKind::Workbook || entry.itabFirst >= pbook->rgSheet.size() ||
        entry.itabLast >= pbook->rgSheet.size()) {
        return false;
    }
    pspan->sBook = BookText(*pbook);
    pspan->sFirst = Clip(pbook->rgSheet[entry.itabFirst]);
    if (entry.itabLast != entry.itabFirst) {
        pspan->sLast = Clip(pbook->rgSheet[entry.itabLast]);
    }
    return true;
}

bool BookLinks::NameText(uint16_t iName, std::string *psName) const
{
    if (iName == 0 || iName > m_rgName.size()) {
        return false;
    }
    *psName = m_rgName[iName - 1].name;
    return true;
}

bool BookLinks::ExternNameText(const XtiRef &xti, uint16_t iName, ExternName *pname) const
{
    if (m_book.nBiff < 8 && static_cast<int16_t>(xti.ixti) < 0) {
        return NameText(iName, &pname->sName);
    }
    const LinkedBook *pbook = BookOf(xti);
    if (pbook == nullptr) {
        return false;
    }
    if (pbook->kind == BookKind::Self) {
        return NameText(iName, &pname->sName);
    }
    if (iName == 0 || iName > pbook->rgName.size()) {
        return false;
    }
    std::string name = Clip(pbook->rgName[iName - 1]);
    switch (pbook->kind) {
    case BookKind::AddIn: pname->sName = name; return true;
    case BookKind::Workbook:
        // As references into the book show it: "[1]!Total".
        pname->sName = "[" + BookText(*pbook) + "]!" + name;
        return true;
    case BookKind::Dde:
    case BookKind::Ole:
        // As a link shows in its cell: =Server|'Topic'!'Item'.
        pname->sName = Clip(pbook->sApp) + "|";
        AppendQuoted(Clip(pbook->path), &pname->sName);
        pname->sName.push_back('!');
        AppendQuoted(name, &pname->sName);
        return true;
    default: return false;
    }
}

void BookLinks::Text8(const uint8_t *pb, size_t cb, std::string *psOut) const
{
    m_book.decoder.Append(pb, cb, psOut);
}
