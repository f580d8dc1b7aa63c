// The reader's record loop: the workbook globals (strings, formats, sheets, writer), then each
// sheet's substream found by the offset its BOUNDSHEET holds, as cells, comments, text boxes.
//
// Work is bounded by the stream: every loop steps over bytes it has not stepped over before,
// each substream is read at most once, and text handed out more than once (a shared string
// used by many cells) is charged to a budget proportional to the stream's size.
#include "workbook/Workbook.h"

#include <assert.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "workbook/CellValue.h"
#include "workbook/ContinuedRecord.h"
#include "workbook/TextDecode.h"
#include "xls/ByteReader.h"

namespace {

enum : uint16_t {
    wBlank2 = 0x0001, wInteger2 = 0x0002, wNumber2 = 0x0003, wLabel2 = 0x0004,
    wBoolErr2 = 0x0005, wFormula = 0x0006, wString2 = 0x0007, wBof2 = 0x0009, wEof = 0x000A,
    wNote = 0x001C, wFormat23 = 0x001E, wDateMode = 0x0022, wFilePass = 0x002F,
    wContinue = 0x003C, wCodePage = 0x0042, wXf2 = 0x0043, wWriteAccess = 0x005C,
    wObj = 0x005D, wBoundSheet = 0x0085, wMulRk = 0x00BD, wXf = 0x00E0, wSst = 0x00FC,
    wLabelSst = 0x00FD, wRString = 0x00D6, wTxo = 0x01B6, wNumber = 0x0203, wLabel = 0x0204,
    wBoolErr = 0x0205, wFormula3 = 0x0206, wString = 0x0207, wBof3 = 0x0209, wXf3 = 0x0243,
    wRk = 0x027E, wFormula4 = 0x0406, wBof4 = 0x0409, wFormat = 0x041E, wXf4 = 0x0443,
    wBof = 0x0809,
};

// Text handed out again (a shared string in many cells) may reach this many bytes per
// stream byte; real workbooks stay far below it.
const size_t cbRepeatBudgetPerByte = 64;
const size_t cWarningsMax = 64;

bool IsBof(uint16_t wType)
{
    return wType == wBof || wType == wBof4 || wType == wBof3 || wType == wBof2;
}

struct SheetEntry {
    std::string name;
    size_t ibBof;
    SheetKind kind;
    bool fHidden;
};

struct TxoEntry {
    uint16_t idObj;
    bool fTaken; // a NOTE has claimed it
    std::string text;
};

struct NoteEntry {
    uint32_t row, col;
    uint16_t idObj;
    bool fOwnText; // the older NOTE that carries its text itself
    std::string author;
    std::string text;
};

class Reader {
public:
    Reader(const uint8_t *pb, size_t cb, WorkbookVisitor &visitor)
        : m_pb(pb), m_cb(cb), m_visitor(visitor),
          m_cbRepeatBudget(cb * cbRepeatBudgetPerByte) {}

    bool Read(WorkbookError *pError);

private:
    uint16_t Le16(size_t ib) const { return ReadLe16(m_pb, m_cb, ib); }
    uint32_t Le32(size_t ib) const { return ReadLe32(m_pb, m_cb, ib); }
    void Warn(const std::string &message);
    int BiffOfBof(size_t ibRecord) const;
    bool ScanForEncryption() const;
    void FindCodePage();
    size_t ReadGlobals(size_t ibStart);
    void ReadWriteAccess(size_t ibRecord, size_t cbBody);
    void ReadBoundSheet(size_t ibRecord);
    void ReadSst(size_t ibRecord);
    void ReadFormat(size_t ibRecord, uint16_t wType, size_t cbBody);
    void ReadXf(size_t ibBody, uint16_t wType);
    void ResolveDateFormats();
    void ReadSheets();
    size_t ReadSheet(uint32_t iSheet, size_t ibStart, size_t ibLimit);
    void ReadCellRecord(uint32_t iSheet, size_t ibRecord, uint16_t wType, size_t cbBody);
    void ReadFormula(uint32_t iSheet, size_t ibBody, size_t cbBody, size_t ibResult,
                     uint32_t row, uint32_t col, uint16_t ixfe);
    void ReadTxo(size_t ibRecord);
    void ReadNote(size_t ibRecord, size_t cbBody);
    void EmitDrawingText(uint32_t iSheet);
    bool IsDateXf(uint16_t ixfe) const;
    void EmitNumber(uint32_t iSheet, uint32_t row, uint32_t col, uint16_t ixfe, double d);
    void EmitText(uint32_t iSheet, uint32_t row, uint32_t col, std::string_view text);
    void EmitBoolErr(uint32_t iSheet, uint32_t row, uint32_t col, uint8_t bValue, bool fError);
    void ReadString(ContinuedRecord *pRecord, bool fShortCount, std::string *ps);

    const uint8_t *m_pb;
    size_t m_cb;
    WorkbookVisitor &m_visitor;
    size_t m_cbRepeatBudget;
    size_t m_cWarnings = 0;

    int m_nBiff = 8;
    int m_nCodePage = -1;
    bool m_fDate1904 = false;
    bool m_fAuthor = false;
    std::string m_sAuthor;
    CodePageDecoder m_decoder;

    // Shared strings are decoded where a cell uses them, from where each lies in the stream:
    // the stream is in memory anyway, and a decoded copy would double it.
    bool m_fSstSeen = false;
    std::vector<uint32_t> m_rgibSst;     // where each string's header starts
    std::vector<uint32_t> m_rgibSstEnd;  // where each part (SST, CONTINUE) of the table ends
    std::vector<bool> m_rgfSstUsed;
    bool m_fBudgetWarned = false;

    uint16_t m_cFormatsInOrder = 0;   // BIFF2-4 formats are numbered in the order they come
    std::unordered_map<uint16_t, bool> m_mapFormatIsDate;
    std::vector<uint16_t> m_rgifmtOfXf;
    std::vector<bool> m_rgfXfDate;

    std::vector<SheetEntry> m_rgSheet;
    std::map<size_t, size_t> m_mapRead; // substreams already read: start -> end

    // One sheet's state.
    std::string m_sCell;
    bool m_fFormulaPending = false;
    uint32_t m_rowPending = 0, m_colPending = 0;
    uint16_t m_idObjLast = 0;
    std::vector<TxoEntry> m_rgTxo;
    std::vector<NoteEntry> m_rgNote;
};

void Reader::Warn(const std::string &message)
{
    m_cWarnings++;
    if (m_cWarnings < cWarningsMax)
        m_visitor.OnWarning(message);
    else if (m_cWarnings == cWarningsMax)
        m_visitor.OnWarning("more warnings left out");
}

int Reader::BiffOfBof(size_t ibRecord) const
{
    uint16_t wType = Le16(ibRecord);
    if (wType == wBof2)
        return 2;
    if (wType == wBof3)
        return 3;
    if (wType == wBof4)
        return 4;
    uint16_t wVers = Le16(ibRecord + 4);
    if (wVers == 0x0500) {
        // The version word is the same for both; old builds and years say BIFF5.
        uint16_t wBuild = Le16(ibRecord + 8), wYear = Le16(ibRecord + 10);
        return (wYear < 1994 || wBuild == 2412 || wBuild == 3218 || wBuild == 3321) ? 5 : 7;
    }
    if (wVers == 0x0400)
        return 4;
    if (wVers == 0x0300)
        return 3;
    if (wVers == 0x0200)
        return 2;
    return 8;
}

// FILEPASS anywhere means the record bodies after it are ciphertext.
bool Reader::ScanForEncryption() const
{
    for (size_t ib = 0; InBounds(ib, 4, m_cb); ib += 4 + (size_t)Le16(ib + 2)) {
        if (Le16(ib) == wFilePass)
            return true;
    }
    return false;
}

// The first CODEPAGE of the globals, looked for before anything is decoded: older writers
// put the writer's name before it.
void Reader::FindCodePage()
{
    for (size_t ib = 0; InBounds(ib, 4, m_cb); ib += 4 + (size_t)Le16(ib + 2)) {
        uint16_t wType = Le16(ib);
        if (wType == wEof)
            return;
        if (wType == wCodePage) {
            m_nCodePage = Le16(ib + 4);
            if (m_nBiff < 8 && !m_decoder.SetCodePage(m_nCodePage))
                Warn("code page " + std::to_string(m_nCodePage) +
                     " cannot be converted here; its text is read as Windows-1252");
            return;
        }
    }
}

bool Reader::Read(WorkbookError *pError)
{
    if (ScanForEncryption()) {
        pError->kind = WorkbookErrorKind::Encrypted;
        pError->message = "the workbook is encrypted (protected by a password); its text cannot "
                          "be read without decrypting it";
        return false;
    }
    if (!InBounds(0, 8, m_cb) || !IsBof(Le16(0))) {
        pError->kind = WorkbookErrorKind::NotWorkbook;
        pError->message = m_cb == 0 ? "the workbook stream is empty"
                                    : "the workbook stream does not start with a BOF record";
        return false;
    }
    m_nBiff = BiffOfBof(0);
    FindCodePage();
    // Only BIFF5 and later have a globals substream; older files are one sheet.
    bool fGlobals = m_nBiff >= 5 && Le16(6) == 0x0005;
    size_t ibGlobalsEnd = ReadGlobals(4 + (size_t)Le16(2));
    ResolveDateFormats();

    WorkbookInfo info;
    info.fAuthor = m_fAuthor;
    info.author = m_sAuthor;
    info.nBiff = m_nBiff;
    info.nCodePage = m_nCodePage;
    info.fDate1904 = m_fDate1904;
    m_visitor.OnWorkbook(info);

    if (!fGlobals) {
        SheetInfo sheet = {0, "Sheet1", SheetKind::Worksheet, false};
        m_visitor.OnSheet(sheet);
        ReadSheet(0, 0, m_cb);
        return true;
    }
    m_mapRead[0] = ibGlobalsEnd;
    ReadSheets();
    return true;
}

// Reads the globals up to their EOF (or the next BOF, when the EOF is missing); returns
// where they end.
size_t Reader::ReadGlobals(size_t ibStart)
{
    size_t ib = ibStart;
    while (InBounds(ib, 4, m_cb)) {
        uint16_t wType = Le16(ib);
        size_t cbBody = Le16(ib + 2);
        if (cbBody > m_cb - ib - 4) {
            Warn("the workbook stream ends inside a record of the workbook globals");
            return m_cb;
        }
        size_t ibBody = ib + 4;
        switch (wType) {
        case wEof:
            return ib + 4 + cbBody;
        case wDateMode:
            m_fDate1904 = Le16(ibBody) != 0;
            break;
        case wWriteAccess:
            ReadWriteAccess(ib, cbBody);
            break;
        case wBoundSheet:
            ReadBoundSheet(ib);
            break;
        case wSst:
            ReadSst(ib);
            break;
        case wFormat:
        case wFormat23:
            ReadFormat(ib, wType, cbBody);
            break;
        case wXf:
        case wXf4:
        case wXf3:
        case wXf2:
            ReadXf(ibBody, wType);
            break;
        default:
            if (IsBof(wType) && ib != 0)
                return ib;
            break;
        }
        ib += 4 + cbBody;
    }
    return ib;
}

void Reader::ReadString(ContinuedRecord *pRecord, bool fShortCount, std::string *ps)
{
    if (m_nBiff >= 8) {
        pRecord->ReadUnicodeString(fShortCount, ps);
    } else {
        size_t cb = fShortCount ? pRecord->ReadU8() : pRecord->ReadLe16();
        pRecord->ReadByteString(cb, m_decoder, ps);
    }
}

void Reader::ReadWriteAccess(size_t ibRecord, size_t cbBody)
{
    m_sAuthor.clear();
    ContinuedRecord record(m_pb, m_cb, ibRecord);
    size_t ibBody = ibRecord + 4;
    uint16_t cch = Le16(ibBody);
    uint8_t grbit = ReadU8(m_pb, m_cb, ibBody + 2);
    size_t cbChars = (grbit & 0x01) ? (size_t)cch * 2 : cch;
    if (m_nBiff >= 8 && ((grbit & 0xF2) != 0 || cbChars > cbBody - (cbBody < 3 ? cbBody : 3))) {
        // Some writers store the bare name, padded with spaces, without count or flags.
        Utf8Writer(&m_sAuthor).AppendLatin1(m_pb + ibBody, cbBody);
    } else if (m_nBiff < 8 && m_nCodePage == 1200) {
        // Written before the CODEPAGE record, the name is 8-bit even in a UTF-16 workbook.
        CodePageDecoder decoder;
        record.Skip(1);
        record.ReadByteString(ReadU8(m_pb, m_cb, ibBody), decoder, &m_sAuthor);
    } else {
        ReadString(&record, m_nBiff < 8, &m_sAuthor);
    }
    while (!m_sAuthor.empty() && (m_sAuthor.back() == ' ' || m_sAuthor.back() == '\0' ||
                                  (m_sAuthor.back() >= '\t' && m_sAuthor.back() <= '\r')))
        m_sAuthor.pop_back();
    m_fAuthor = true;
}

void Reader::ReadBoundSheet(size_t ibRecord)
{
    SheetEntry entry;
    ContinuedRecord record(m_pb, m_cb, ibRecord);
    entry.ibBof = record.ReadLe32();
    uint8_t bState = record.ReadU8();
    uint8_t bType = record.ReadU8();
    entry.fHidden = (bState & 0x03) != 0;
    entry.kind = bType == 0 ? SheetKind::Worksheet
                 : bType == 2 ? SheetKind::Chart
                 : bType == 1 ? SheetKind::Macro
                              : SheetKind::Other;
    ReadString(&record, true, &entry.name);
    m_rgSheet.push_back(std::move(entry));
}

void Reader::ReadSst(size_t ibRecord)
{
    if (m_fSstSeen) {
        Warn("a second shared string table is left unread");
        return;
    }
    m_fSstSeen = true;
    if (m_cb > UINT32_MAX) {
        Warn("the workbook stream is too large to keep its shared strings");
        return;
    }
    ContinuedRecord record(m_pb, m_cb, ibRecord);
    record.ReadLe32(); // the total count of uses
    uint32_t cUnique = record.ReadLe32();
    // Each string takes three bytes at least, so the stream bounds the count.
    size_t cReserve = cUnique < (m_cb - ibRecord) / 3 ? cUnique : (m_cb - ibRecord) / 3;
    m_rgibSst.reserve(cReserve);
    for (uint32_t i = 0; i < cUnique; i++) {
        if (record.CbLeftInPart() == 0 && !record.NextPart())
            break;
        if (m_rgibSstEnd.empty() || m_rgibSstEnd.back() != record.IbPartEnd())
            m_rgibSstEnd.push_back((uint32_t)record.IbPartEnd());
        m_rgibSst.push_back((uint32_t)record.IbPos());
        record.ReadUnicodeString(false, nullptr);
    }
    if (m_rgibSst.size() < cUnique)
        Warn("the shared string table holds " + std::to_string(m_rgibSst.size()) + " of its " +
             std::to_string(cUnique) + " strings");
    m_rgfSstUsed.assign(m_rgibSst.size(), false);
}

void Reader::ReadFormat(size_t ibRecord, uint16_t wType, size_t cbBody)
{
    std::string format;
    ContinuedRecord record(m_pb, m_cb, ibRecord);
    uint16_t ifmt;
    if (m_nBiff >= 5 && wType == wFormat) {
        ifmt = record.ReadLe16();
        ReadString(&record, m_nBiff < 8, &format);
    } else {
        ifmt = m_cFormatsInOrder++;
        if (wType == wFormat)
            record.Skip(2); // BIFF4: two bytes before the string
        size_t cb = record.ReadU8();
        record.ReadByteString(cb < cbBody ? cb : cbBody, m_decoder, &format);
    }
    m_mapFormatIsDate[ifmt] = IsDateFormatString(format);
}

void Reader::ReadXf(size_t ibBody, uint16_t wType)
{
    uint16_t ifmt;
    if (wType == wXf)
        ifmt = Le16(ibBody + 2);
    else if (wType == wXf2)
        ifmt = ReadU8(m_pb, m_cb, ibBody + 2) & 0x3F;
    else
        ifmt = ReadU8(m_pb, m_cb, ibBody + 1);
    m_rgifmtOfXf.push_back(ifmt);
}

void Reader::ResolveDateFormats()
{
    m_rgfXfDate.resize(m_rgifmtOfXf.size());
    for (size_t i = 0; i < m_rgifmtOfXf.size(); i++) {
        std::unordered_map<uint16_t, bool>::const_iterator it =
            m_mapFormatIsDate.find(m_rgifmtOfXf[i]);
        // Before BIFF5 the built-in numbers meant other formats.
        m_rgfXfDate[i] = it != m_mapFormatIsDate.end()
                             ? it->second
                             : (m_nBiff >= 5 && IsBuiltInDateFormat(m_rgifmtOfXf[i]));
    }
}

void Reader::ReadSheets()
{
    for (uint32_t iSheet = 0; iSheet < m_rgSheet.size(); iSheet++) {
        const SheetEntry &entry = m_rgSheet[iSheet];
        SheetInfo sheet = {iSheet, entry.name, entry.kind, entry.fHidden};
        m_visitor.OnSheet(sheet);
        // A substream starts outside every one already read and stops before the next.
        std::map<size_t, size_t>::iterator itAfter = m_mapRead.upper_bound(entry.ibBof);
        if (itAfter != m_mapRead.begin()) {
            std::map<size_t, size_t>::iterator itBefore = std::prev(itAfter);
            if (entry.ibBof < itBefore->second) {
                Warn("sheet '" + entry.name + "' points into data already read; it is left empty");
                continue;
            }
        }
        if (!InBounds(entry.ibBof, 4, m_cb) || !IsBof(Le16(entry.ibBof))) {
            Warn("sheet '" + entry.name + "' points to no BOF record; it is left empty");
            continue;
        }
        size_t ibLimit = itAfter == m_mapRead.end() ? m_cb : itAfter->first;
        m_mapRead[entry.ibBof] = ReadSheet(iSheet, entry.ibBof, ibLimit);
    }
}

// Reads one substream from its BOF to the matching EOF, within ibLimit; returns its end.
size_t Reader::ReadSheet(uint32_t iSheet, size_t ibStart, size_t ibLimit)
{
    m_fFormulaPending = false;
    m_idObjLast = 0;
    m_rgTxo.clear();
    m_rgNote.clear();
    int nDepth = 0;
    size_t ib = ibStart;
    bool fEnded = false;
    while (!fEnded && InBounds(ib, 4, ibLimit)) {
        uint16_t wType = Le16(ib);
        size_t cbBody = Le16(ib + 2);
        if (cbBody > ibLimit - ib - 4) {
            ib = ibLimit; // a record running past the end, or into the next sheet
            break;
        }
        if (IsBof(wType)) {
            nDepth++;
        } else if (wType == wEof) {
            fEnded = --nDepth <= 0;
        } else if (nDepth == 1) {
            // Charts embedded in a sheet are substreams of their own, at a deeper level.
            ReadCellRecord(iSheet, ib, wType, cbBody);
        }
        ib += 4 + cbBody;
    }
    if (!fEnded)
        Warn("sheet '" + std::string(iSheet < m_rgSheet.size() ? m_rgSheet[iSheet].name : "") +
             "' ends before its EOF record: the workbook is cut short or damaged");
    EmitDrawingText(iSheet);
    return ib;
}

bool Reader::IsDateXf(uint16_t ixfe) const
{
    return ixfe < m_rgfXfDate.size() && m_rgfXfDate[ixfe];
}

void Reader::EmitNumber(uint32_t iSheet, uint32_t row, uint32_t col, uint16_t ixfe, double d)
{
    m_sCell.clear();
    Cell cell = {iSheet, row, col, CellKind::Number, d, false, {}};
    if (!std::isfinite(d)) {
        cell.kind = CellKind::Error;
        m_sCell = ErrorCodeText(0x24);
    } else if (IsDateXf(ixfe) && AppendDate(d, m_fDate1904, &m_sCell)) {
        cell.kind = CellKind::Date;
    } else {
        AppendNumber(d, &m_sCell);
    }
    cell.text = m_sCell;
    m_visitor.OnCell(cell);
}

void Reader::EmitText(uint32_t iSheet, uint32_t row, uint32_t col, std::string_view text)
{
    Cell cell = {iSheet, row, col, CellKind::Text, 0, false, text};
    m_visitor.OnCell(cell);
}

void Reader::EmitBoolErr(uint32_t iSheet, uint32_t row, uint32_t col, uint8_t bValue, bool fError)
{
    Cell cell = {iSheet, row, col, fError ? CellKind::Error : CellKind::Bool, 0, false, {}};
    if (fError) {
        cell.text = ErrorCodeText(bValue);
    } else {
        cell.fBool = bValue != 0;
        cell.text = cell.fBool ? "TRUE" : "FALSE";
        cell.dNumber = cell.fBool ? 1 : 0;
    }
    m_visitor.OnCell(cell);
}

double DecodeRk(uint32_t dwRk)
{
    double d;
    if (dwRk & 0x02) {
        d = (double)((int32_t)dwRk >> 2);
    } else {
        uint64_t qw = (uint64_t)(dwRk & 0xFFFFFFFCu) << 32;
        memcpy(&d, &qw, sizeof(d));
    }
    return (dwRk & 0x01) ? d / 100 : d;
}

double ReadDouble(const uint8_t *pb, size_t cb, size_t ib)
{
    uint64_t qw = (uint64_t)ReadLe32(pb, cb, ib) | ((uint64_t)ReadLe32(pb, cb, ib + 4) << 32);
    double d;
    memcpy(&d, &qw, sizeof(d));
    return d;
}

void Reader::ReadCellRecord(uint32_t iSheet, size_t ibRecord, uint16_t wType, size_t cbBody)
{
    size_t ibBody = ibRecord + 4;
    uint32_t row = Le16(ibBody), col = Le16(ibBody + 2);
    uint16_t ixfe = Le16(ibBody + 4);
    if (m_nBiff == 2)
        ixfe = ReadU8(m_pb, m_cb, ibBody + 4) & 0x3F; // the first attribute byte
    if (m_fFormulaPending &&
        (wType == wNumber || wType == wLabel || wType == wLabelSst || wType == wRk ||
         wType == wMulRk || wType == wBoolErr || wType == wFormula || wType == wFormula3 ||
         wType == wFormula4 || wType == wRString)) {
        m_fFormulaPending = false;
        Warn("a formula's string result is missing");
    }
    switch (wType) {
    case wLabelSst: {
        uint32_t isst = Le32(ibBody + 6);
        if (isst >= m_rgibSst.size()) {
            Warn("a cell refers to shared string " + std::to_string(isst) + ", which is not there");
            return;
        }
        // Every string was noted inside a part whose end was noted first, so one is found.
        std::vector<uint32_t>::const_iterator itEnd =
            std::upper_bound(m_rgibSstEnd.begin(), m_rgibSstEnd.end(), m_rgibSst[isst]);
        assert(itEnd != m_rgibSstEnd.end());
        ContinuedRecord record = ContinuedRecord::At(m_pb, m_cb, m_rgibSst[isst], *itEnd);
        m_sCell.clear();
        if (!m_rgfSstUsed[isst]) {
            m_rgfSstUsed[isst] = true;
            record.ReadUnicodeString(false, &m_sCell);
        } else {
            // Each character gives one byte at least, so the budget bounds the decoding too.
            size_t cch = record.ReadUnicodeString(false, &m_sCell, m_cbRepeatBudget);
            if (cch > m_cbRepeatBudget || m_sCell.size() > m_cbRepeatBudget) {
                if (!m_fBudgetWarned)
                    Warn("the workbook repeats its shared strings more than its size justifies; "
                         "repeated texts are cut");
                m_fBudgetWarned = true;
                size_t cb = m_cbRepeatBudget;
                while (cb > 0 && (m_sCell[cb] & 0xC0) == 0x80)
                    cb--;
                m_sCell.resize(cb);
            }
            m_cbRepeatBudget -= m_sCell.size() < m_cbRepeatBudget ? m_sCell.size() : m_cbRepeatBudget;
        }
        EmitText(iSheet, row, col, m_sCell);
        return;
    }
    case wLabel:
    case wRString: {
        ContinuedRecord record(m_pb, m_cb, ibRecord);
        record.Skip(6);
        m_sCell.clear();
        ReadString(&record, false, &m_sCell);
        EmitText(iSheet, row, col, m_sCell);
        return;
    }
    case wNumber:
        EmitNumber(iSheet, row, col, ixfe, ReadDouble(m_pb, m_cb, ibBody + 6));
        return;
    case wRk:
        EmitNumber(iSheet, row, col, ixfe, DecodeRk(Le32(ibBody + 6)));
        return;
    case wMulRk: {
        size_t cCells = cbBody >= 6 ? (cbBody - 6) / 6 : 0;
        for (size_t i = 0; i < cCells; i++) {
            size_t ibCell = ibBody + 4 + i * 6;
            EmitNumber(iSheet, row, col + (uint32_t)i, Le16(ibCell), DecodeRk(Le32(ibCell + 2)));
        }
        return;
    }
    case wBoolErr:
        EmitBoolErr(iSheet, row, col, ReadU8(m_pb, m_cb, ibBody + 6),
                    ReadU8(m_pb, m_cb, ibBody + 7) != 0);
        return;
    case wFormula:
        ReadFormula(iSheet, ibBody, cbBody, m_nBiff == 2 ? 7 : 6, row, col, ixfe);
        return;
    case wFormula3:
    case wFormula4:
        ReadFormula(iSheet, ibBody, cbBody, 6, row, col, ixfe);
        return;
    case wString:
    case wString2:
        if (m_fFormulaPending) {
            ContinuedRecord record(m_pb, m_cb, ibRecord);
            m_sCell.clear();
            ReadString(&record, wType == wString2, &m_sCell);
            m_fFormulaPending = false;
            EmitText(iSheet, m_rowPending, m_colPending, m_sCell);
        }
        return;
    case wObj:
        // The object's id, which a NOTE refers to: in BIFF8 inside the common object data.
        if (m_nBiff < 8 || Le16(ibBody) == 0x15)
            m_idObjLast = Le16(ibBody + 6);
        return;
    case wTxo:
        ReadTxo(ibRecord);
        return;
    case wNote:
        ReadNote(ibRecord, cbBody);
        return;
    default:
        break;
    }
    if (m_nBiff > 2 || cbBody < 7)
        return;
    // The oldest cells: row, column, three attribute bytes, then the value.
    switch (wType) {
    case wInteger2:
        EmitNumber(iSheet, row, col, ixfe, Le16(ibBody + 7));
        break;
    case wNumber2:
        EmitNumber(iSheet, row, col, ixfe, ReadDouble(m_pb, m_cb, ibBody + 7));
        break;
    case wLabel2: {
        ContinuedRecord record(m_pb, m_cb, ibRecord);
        record.Skip(7);
        m_sCell.clear();
        ReadString(&record, true, &m_sCell);
        EmitText(iSheet, row, col, m_sCell);
        break;
    }
    case wBoolErr2:
        EmitBoolErr(iSheet, row, col, ReadU8(m_pb, m_cb, ibBody + 7),
                    ReadU8(m_pb, m_cb, ibBody + 8) != 0);
        break;
    default:
        break;
    }
}

void Reader::ReadFormula(uint32_t iSheet, size_t ibBody, size_t cbBody, size_t ibResult,
                         uint32_t row, uint32_t col, uint16_t ixfe)
{
    if (cbBody < ibResult + 8)
        return;
    size_t ib = ibBody + ibResult;
    if (Le16(ib + 6) != 0xFFFF) {
        EmitNumber(iSheet, row, col, ixfe, ReadDouble(m_pb, m_cb, ib));
        return;
    }
    switch (ReadU8(m_pb, m_cb, ib)) {
    case 0: // the text is in the STRING record that follows
        m_fFormulaPending = true;
        m_rowPending = row;
        m_colPending = col;
        break;
    case 1:
        EmitBoolErr(iSheet, row, col, ReadU8(m_pb, m_cb, ib + 2), false);
        break;
    case 2:
        EmitBoolErr(iSheet, row, col, ReadU8(m_pb, m_cb, ib + 2), true);
        break;
    case 3:
        EmitText(iSheet, row, col, std::string_view());
        break;
    default:
        break;
    }
}

// A TXO's text is in the CONTINUE records after it: in BIFF8 each starts with a flags byte.
void Reader::ReadTxo(size_t ibRecord)
{
    size_t cch = Le16(ibRecord + 4 + 10);
    ContinuedRecord record(m_pb, m_cb, ibRecord);
    TxoEntry txo = {m_idObjLast, false, std::string()};
    if (cch > 0 && record.NextPart()) {
        if (m_nBiff >= 8) {
            bool fHighByte = (record.ReadU8() & 0x01) != 0;
            record.ReadCharacters(cch, fHighByte, &txo.text);
        } else {
            record.ReadByteString(cch, m_decoder, &txo.text);
        }
    }
    if (record.FShort())
        Warn("a text box or comment is cut short");
    m_rgTxo.push_back(std::move(txo));
}

void Reader::ReadNote(size_t ibRecord, size_t cbBody)
{
    size_t ibBody = ibRecord + 4;
    uint32_t row = Le16(ibBody), col = Le16(ibBody + 2);
    ContinuedRecord record(m_pb, m_cb, ibRecord);
    record.Skip(4);
    if (m_nBiff >= 8) {
        record.Skip(2); // flags
        NoteEntry note = {row, col, record.ReadLe16(), false, std::string(), std::string()};
        ReadString(&record, false, &note.author);
        m_rgNote.push_back(std::move(note));
        return;
    }
    // Older notes carry their text, a long one going on in NOTE records with row 0xFFFF.
    size_t cb = record.ReadLe16();
    cb = cb < cbBody ? cb : cbBody;
    if (row == 0xFFFF && !m_rgNote.empty()) {
        record.ReadByteString(cb, m_decoder, &m_rgNote.back().text);
        return;
    }
    NoteEntry note = {row, col, 0, true, std::string(), std::string()};
    record.ReadByteString(cb, m_decoder, &note.text);
    m_rgNote.push_back(std::move(note));
}

// Comments, each with the TXO its NOTE names, then every TXO no NOTE took: the text boxes.
void Reader::EmitDrawingText(uint32_t iSheet)
{
    std::unordered_map<uint16_t, size_t> mapTxoOfObj;
    for (size_t i = 0; i < m_rgTxo.size(); i++)
        mapTxoOfObj.emplace(m_rgTxo[i].idObj, i);
    for (NoteEntry &note : m_rgNote) {
        std::string_view text = note.text;
        if (!note.fOwnText) {
            std::unordered_map<uint16_t, size_t>::iterator it = mapTxoOfObj.find(note.idObj);
            if (it == mapTxoOfObj.end() || m_rgTxo[it->second].fTaken) {
                Warn("a comment's text is missing");
                text = std::string_view();
            } else {
                m_rgTxo[it->second].fTaken = true;
                text = m_rgTxo[it->second].text;
            }
        }
        Comment comment = {iSheet, note.row, note.col, note.author, text};
        m_visitor.OnComment(comment);
    }
    for (const TxoEntry &txo : m_rgTxo) {
        if (!txo.fTaken) {
            TextBox box = {iSheet, txo.text};
            m_visitor.OnTextBox(box);
        }
    }
}

} // namespace

bool ReadWorkbook(const WorkbookStream &stream, WorkbookVisitor &visitor, WorkbookError *pError)
{
    *pError = WorkbookError();
    Reader reader(stream.pbData.get(), stream.cbData, visitor);
    if (!reader.Read(pError))
        return false;
    if (stream.cbDeclared > stream.cbData)
        visitor.OnWarning("the workbook stream is cut short: " + std::to_string(stream.cbData) +
                          " of its " + std::to_string(stream.cbDeclared) + " bytes are in the file");
    return true;
}
