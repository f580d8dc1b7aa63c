// The workbook globals: the writer's name, the sheets and their offsets, the shared strings,
// the number formats and the XF records that tie cells to them, and the date system.
#include "workbook/WorkbookReader.h"

#include "biff/RecordTypes.h"
#include "numformat/CellValue.h"
#include "recordtext/RecordStrings.h"

// Reads the globals from after their BOF up to their EOF (or the next BOF, when the EOF is
// missing); returns where they end.
size_t WorkbookReader::ReadGlobals(RecordIterator *pIt)
{
    BiffRecord record;
    while (pIt->Next(&record)) {
        switch (record.wType) {
        case rtEof: return record.IbNext();
        case rtDateMode: {
            ByteCursor body = record.Body(m_book.pb);
            uint16_t w1904 = body.Le16();
            if (!m_book.FShortRecord(body, record)) {
                m_book.fDate1904 = w1904 != 0;
            }
            break;
        }
        case rtWriteAccess: ReadWriteAccess(record); break;
        case rtBoundSheet: ReadBoundSheet(record); break;
        case rtSst: ReadSst(record); break;
        case rtFormat:
        case rtFormat23: ReadFormat(record); break;
        case rtXf:
        case rtXf4:
        case rtXf3:
        case rtXf2: ReadXf(record); break;
        case rtSupBook:
        case rtExternSheet:
        case rtExternName:
        case rtName:
        case rtName34: m_links.ReadRecord(record); break;
        default:
            if (IsBofType(record.wType)) {
                return record.ib;
            }
            break;
        }
    }
    if (pIt->FOverlong()) {
        m_book.Warn("the workbook stream ends inside a record of the workbook globals");
        return m_book.cb;
    }
    return pIt->IbNext();
}

void WorkbookReader::ReadWriteAccess(const BiffRecord &record)
{
    m_sAuthor.clear();
    ContinuedCursor text(m_book.pb, m_book.cb, record.ib);
    ByteCursor body = record.Body(m_book.pb);
    uint16_t cch = body.Le16();
    uint8_t grbit = body.U8();
    size_t cbChars = (grbit & 0x01) ? static_cast<size_t>(cch) * 2 : cch;
    if (m_book.nBiff >= 8 && ((grbit & 0xF2) != 0 || body.FShort() || cbChars > body.CbLeft())) {
        // Some writers store the bare name, padded with spaces, without count or flags.
        Utf8Writer(&m_sAuthor).AppendLatin1(m_book.pb + record.ib + 4, record.cbBody);
    } else if (m_book.nBiff < 8 && m_nCodePage == 1200) {
        // Written before the CODEPAGE record, the name is 8-bit even in a UTF-16 workbook.
        CodePageDecoder decoder;
        text.Skip(1);
        ReadCodePageBytes(&text, cch & 0xFF, decoder, &m_sAuthor);
    } else {
        m_book.ReadString(&text, m_book.nBiff < 8, &m_sAuthor);
    }
    while (!m_sAuthor.empty() && (m_sAuthor.back() == ' ' || m_sAuthor.back() == '\0' ||
                                  (m_sAuthor.back() >= '\t' && m_sAuthor.back() <= '\r'))) {
        m_sAuthor.pop_back();
    }
    m_fAuthor = true;
}

void WorkbookReader::ReadBoundSheet(const BiffRecord &record)
{
    SheetEntry entry;
    ByteCursor body = record.Body(m_book.pb);
    entry.ibBof = body.Le32();
    uint8_t bState = body.U8();
    uint8_t bType = body.U8();
    if (m_book.FShortRecord(body, record)) {
        return;
    }
    entry.fHidden = (bState & 0x03) != 0;
    entry.kind = bType == 0   ? SheetKind::Worksheet
                 : bType == 2 ? SheetKind::Chart
                 : bType == 1 ? SheetKind::Macro
                 : bType == 6 ? SheetKind::VbaModule
                              : SheetKind::Other;
    ContinuedCursor text(m_book.pb, m_book.cb, record.ib);
    text.Skip(6);
    m_book.ReadString(&text, true, &entry.name);
    m_links.AddSheet(entry.name);
    m_rgSheet.push_back(std::move(entry));
}

void WorkbookReader::ReadSst(const BiffRecord &record)
{
    if (m_fSstSeen) {
        m_book.Warn("a second shared string table is left unread");
        return;
    }
    m_fSstSeen = true;
    if (m_book.cb > UINT32_MAX) {
        m_book.Warn("the workbook stream is too large to keep its shared strings");
        return;
    }
    size_t cUnique = m_book.sst.Note(m_book.pb, m_book.cb, record.ib);
    if (m_book.sst.Count() < cUnique) {
        m_book.Warn("the shared string table holds " + std::to_string(m_book.sst.Count()) + " of its " +
                    std::to_string(cUnique) + " strings");
    }
}

void WorkbookReader::ReadFormat(const BiffRecord &record)
{
    std::string format;
    ContinuedCursor text(m_book.pb, m_book.cb, record.ib);
    uint16_t ifmt;
    if (m_book.nBiff >= 5 && record.wType == rtFormat) {
        ifmt = text.Le16();
        m_book.ReadString(&text, m_book.nBiff < 8, &format);
    } else {
        ifmt = m_cFormatsInOrder++;
        if (record.wType == rtFormat) {
            text.Skip(2); // BIFF4: two bytes before the string
        }
        size_t cb = text.U8();
        ReadCodePageBytes(&text, cb < record.cbBody ? cb : record.cbBody, m_book.decoder, &format);
    }
    m_book.formats.AddFormat(ifmt, format);
}

void WorkbookReader::ReadXf(const BiffRecord &record)
{
    ByteCursor body = record.Body(m_book.pb);
    uint16_t ifmt;
    if (record.wType == rtXf) {
        body.Skip(2);
        ifmt = body.Le16();
    } else if (record.wType == rtXf2) {
        body.Skip(2);
        ifmt = body.U8() & 0x3F;
    } else {
        body.Skip(1);
        ifmt = body.U8();
    }
    // The XF keeps its place in the numbering even when it is damaged.
    if (m_book.FShortRecord(body, record)) {
        ifmt = 0;
    }
    m_book.formats.AddXf(ifmt);
}
