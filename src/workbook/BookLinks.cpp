// The records of the workbook's links: SUPBOOK and the BIFF8 EXTERNSHEET table, BIFF5's one
// EXTERNSHEET record per linked sheet, EXTERNNAME after the document it belongs to, and NAME.
// Damage leaves what was read and a warning, the latter only for visitors that want formulas.
#include <algorithm>

#include "biff/ContinuedCursor.h"
#include "biff/RecordTypes.h"
#include "recordtext/RecordStrings.h"
#include "recordtext/VirtualPath.h"
#include "workbook/BookLinks.h"

namespace {

const uint16_t cchSupBookSelf = 0x0401;
const uint16_t cchSupBookAddIn = 0x3A01;
const uint16_t grbitExternOle = 0x0018; // fOle or fOleLink: the document is linked by OLE
const uint16_t grbitNameHidden = 0x0001;
const uint16_t grbitNameBuiltIn = 0x0020;
const uint16_t grbitNameBinary = 0x1000; // fBig: what follows the name is data, no formula

// The built-in names, by the one character that stands for each.
const char *const rgszBuiltInName[] = {
    "Consolidate_Area", "Auto_Open",       "Auto_Close",   "Extract",         "Database",
    "Criteria",         "Print_Area",      "Print_Titles", "Recorder",        "Data_Form",
    "Auto_Activate",    "Auto_Deactivate", "Sheet_Title",  "_FilterDatabase",
};

} // namespace

void BookLinks::Warn(const std::string &message) const
{
    if (m_book.fFormulas) {
        m_book.Warn(message);
    }
}

// cb bytes of a BIFF5 link's name: a control character first is kept as it is, and the code
// page applies to what follows it (a UTF-16 workbook's names are UTF-16 after it).
void BookLinks::ReadCodedBytes(ContinuedCursor *pCursor, size_t cb, std::string *ps) const
{
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < cb && !pCursor->FShort(); i++) {
        rgb.push_back(pCursor->U8());
    }
    size_t ib = !rgb.empty() && rgb[0] <= 0x08 ? 1 : 0;
    if (ib == 1) {
        ps->push_back(static_cast<char>(rgb[0]));
    }
    m_book.decoder.Append(rgb.data() + ib, rgb.size() - ib, ps);
}

void BookLinks::StartSheet()
{
    m_fInSheet = true;
    m_rgLocal.clear();
}

void BookLinks::ReadRecord(const BiffRecord &record)
{
    // Only BIFF5 sheets have tables of their own; BIFF8 keeps one, in the globals.
    if (m_fInSheet && m_book.nBiff >= 8) {
        return;
    }
    switch (record.wType) {
    case rtSupBook:
        if (m_book.nBiff >= 8) {
            ReadSupBook(record);
        }
        break;
    case rtExternSheet:
        if (m_book.nBiff >= 5) {
            ReadExternSheet(record);
        }
        break;
    case rtExternName:
        if (m_book.nBiff >= 5) {
            ReadExternName(record);
        }
        break;
    case rtName:
    case rtName34:
        if (!m_fInSheet && (record.wType == rtName34) == (m_book.nBiff == 3 || m_book.nBiff == 4)) {
            ReadName(record);
        }
        break;
    default: break;
    }
}

// Where the document's name holds the control character that parts a DDE server from its
// topic, or an OLE class from its document, it is a link of that kind (its EXTERNNAME records
// then say which); else it is a workbook's path, encoded or stored as it is.
void BookLinks::ClassifyLink(const std::string &raw, LinkedBook *pbook) const
{
    size_t iSep = raw.find('\x03');
    if ((raw.empty() || raw[0] != '\x01') && iSep != std::string::npos) {
        pbook->kind = BookKind::Dde;
        pbook->sApp = raw.substr(0, iSep);
        pbook->path = raw.substr(iSep + 1);
        return;
    }
    pbook->kind = BookKind::Workbook;
    std::string decoded;
    DecodeVirtualPath(raw, &decoded);
    if (m_book.nBiff >= 8) {
        pbook->path = std::move(decoded);
    } else {
        SplitBookAndSheet(decoded, &pbook->path, &pbook->sSheet);
    }
}

void BookLinks::ReadSupBook(const BiffRecord &record)
{
    ContinuedCursor cur(m_book.pb, m_book.cb, record.ib);
    uint16_t ctab = cur.Le16(), cch = cur.Le16();
    LinkedBook book;
    if (cch == cchSupBookSelf) {
        book.kind = BookKind::Self;
    } else if (cch == cchSupBookAddIn) {
        book.kind = BookKind::AddIn;
    } else {
        std::string raw;
        bool fHighByte = (cur.U8() & 0x01) != 0;
        ReadCharacters(&cur, cch, fHighByte, &raw);
        ClassifyLink(raw, &book);
        for (uint16_t itab = 0; itab < ctab && !cur.FShort(); itab++) {
            book.rgSheet.emplace_back();
            ReadUnicodeString(&cur, false, &book.rgSheet.back());
        }
    }
    if (cur.FShort()) {
        Warn("a linked document's record (SUPBOOK) is cut short; what it holds is kept");
    }
    m_rgBook.push_back(std::move(book));
}

void BookLinks::ReadExternSheet(const BiffRecord &record)
{
    ContinuedCursor cur(m_book.pb, m_book.cb, record.ib);
    if (m_book.nBiff >= 8) {
        uint16_t cXti = cur.Le16();
        for (uint16_t i = 0; i < cXti; i++) {
            Xti xti;
            xti.iSupBook = cur.Le16();
            xti.itabFirst = cur.Le16();
            xti.itabLast = cur.Le16();
            if (cur.FShort()) {
                Warn("the table of sheets that formulas refer to (EXTERNSHEET) is cut short");
                return;
            }
            m_rgXti.push_back(xti);
        }
        return;
    }
    // Writers count the code of an own sheet's name apart from the name, or not: the body
    // says which, holding one byte more than the count and its own byte when it is apart.
    size_t cb = cur.U8();
    std::string raw;
    ReadCodedBytes(&cur, cb + 2 == record.cbBody ? cb + 1 : cb, &raw);
    LinkedBook book;
    if (raw == ":") {
        book.kind = BookKind::AddIn;
    } else if (!raw.empty() && (raw[0] == '\x02' || raw[0] == '\x03')) {
        book.kind = BookKind::Self;
        book.sSheet = raw.substr(1);
    } else if (raw.empty() || raw[0] == '\x04') {
        book.kind = BookKind::Deleted;
    } else {
        ClassifyLink(raw, &book);
    }
    (m_fInSheet ? m_rgLocal : m_rgBook).push_back(std::move(book));
}

void BookLinks::ReadExternName(const BiffRecord &record)
{
    std::vector<LinkedBook> &rgBook = m_fInSheet ? m_rgLocal : m_rgBook;
    if (rgBook.empty()) {
        Warn("an external name (EXTERNNAME) belongs to no linked document; it is left out");
        return;
    }
    ContinuedCursor cur(m_book.pb, m_book.cb, record.ib);
    uint16_t grbit = cur.Le16();
    cur.Skip(4);
    uint8_t cch = cur.U8();
    std::string name;
    if (m_book.nBiff >= 8) {
        bool fHighByte = (cur.U8() & 0x01) != 0;
        ReadCharacters(&cur, cch, fHighByte, &name);
    } else {
        ReadCodePageBytes(&cur, cch, m_book.decoder, &name);
    }
    if (cur.FShort()) {
        Warn("an external name (EXTERNNAME) is cut short; what it holds is kept");
    }
    LinkedBook &book = rgBook.back();
    if (book.kind == BookKind::Dde && (grbit & grbitExternOle) != 0) {
        book.kind = BookKind::Ole;
    }
    book.rgName.push_back(std::move(name));
}

// BIFF2 keeps one byte for the flags and the formula's size, BIFF3-4 two; BIFF5 adds the
// sheet the name is local to and the sizes of four texts after the formula.
void BookLinks::ReadName(const BiffRecord &record)
{
    ContinuedCursor cur(m_book.pb, m_book.cb, record.ib);
    bool fBiff2 = m_book.nBiff == 2;
    uint16_t grbit = fBiff2 ? cur.U8() : cur.Le16();
    cur.Skip(1); // the keyboard shortcut
    uint8_t cch = cur.U8();
    size_t cce = fBiff2 ? cur.U8() : cur.Le16();
    uint16_t itab = 0;
    if (m_book.nBiff >= 5) {
        cur.Skip(2);
        itab = cur.Le16();
        cur.Skip(4);
    }
    DefinedNameEntry entry;
    entry.fHidden = !fBiff2 && (grbit & grbitNameHidden) != 0;
    entry.fBuiltIn = !fBiff2 && (grbit & grbitNameBuiltIn) != 0;
    // A built-in name is one character, its code, read before any code page applies.
    if (m_book.nBiff >= 8) {
        bool fHighByte = (cur.U8() & 0x01) != 0;
        ReadCharacters(&cur, cch, fHighByte, &entry.name);
    } else if (!entry.fBuiltIn || cch != 1) {
        ReadCodePageBytes(&cur, cch, m_book.decoder, &entry.name);
    } else if (uint8_t bCode = cur.U8(); bCode >= std::size(rgszBuiltInName)) {
        // A code past the known ones is a character like any other name's.
        m_book.decoder.Append(&bCode, 1, &entry.name);
    } else {
        entry.name.assign(1, static_cast<char>(bCode));
    }
    size_t iBuiltIn = entry.name.size() == 1 ? static_cast<unsigned char>(entry.name[0]) : SIZE_MAX;
    if (entry.fBuiltIn && iBuiltIn < std::size(rgszBuiltInName)) {
        entry.name = rgszBuiltInName[iBuiltIn];
    }
    entry.iSheet = itab == 0 ? DefinedName::iSheetBook : itab - 1u;
    entry.cce = (!fBiff2 && (grbit & grbitNameBinary) != 0) ? 0 : cce;
    // The formula may go on in a CONTINUE record; what follows it in its part is the data of
    // its array constants.
    for (size_t i = 0; i < entry.cce && !cur.FShort(); i++) {
        entry.rgb.push_back(cur.U8());
    }
    if (cur.FShort()) {
        // The read past the end gave a zero, which is no token of the name's.
        entry.rgb.resize(entry.rgb.size() > 0 ? entry.rgb.size() - 1 : 0);
    } else {
        size_t cbExtra = cur.CbLeftInPart();
        const uint8_t *pbExtra = cur.BytesInPart(cbExtra);
        entry.rgb.insert(entry.rgb.end(), pbExtra, pbExtra + cbExtra);
    }
    m_rgName.push_back(std::move(entry));
}
