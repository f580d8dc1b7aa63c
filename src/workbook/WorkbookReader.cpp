// The reader's passes over a workbook stream: version and encryption, the globals, then each
// sheet's substream found by the offset its BOUNDSHEET holds.
//
// Work is bounded by the stream: every loop steps over bytes it has not stepped over before,
// each substream is read at most once, and text handed out more than once (a shared string
// used by many cells) is charged to a budget proportional to the stream's size.
#include "workbook/WorkbookReader.h"

#include <algorithm>
#include <new>
#include <set>

#include "biff/RecordTypes.h"
#include "workbook/SheetReader.h"
#include "workbook/StreamDecrypt.h"

namespace {

// A BOF's substream types, and WSBOOL's mark of a BIFF5+ dialog sheet, which BOUNDSHEET lists
// as a worksheet.
const uint16_t dtGlobals = 0x0005;
const uint16_t dtChart = 0x0020;
const uint16_t dtMacro = 0x0040;
const uint16_t grbitWsBoolDialog = 0x0010;

} // namespace

WorkbookReader::WorkbookReader(const uint8_t *pb, size_t cb, const WorkbookStream &source,
                               WorkbookVisitor &visitor)
        : m_book(pb, cb, visitor), m_source(source)
{}

int WorkbookReader::BiffOfBof(uint16_t wType, ByteCursor body) const
{
    if (wType == rtBof2) {
        return 2;
    }
    if (wType == rtBof3) {
        return 3;
    }
    if (wType == rtBof4) {
        return 4;
    }
    uint16_t wVers = body.Le16();
    if (wVers == 0x0500) {
        // The version word is the same for both; old builds and years say BIFF5.
        body.Skip(2);
        uint16_t wBuild = body.Le16(), wYear = body.Le16();
        return (wYear < 1994 || wBuild == 2412 || wBuild == 3218 || wBuild == 3321) ? 5 : 7;
    }
    if (wVers == 0x0400) {
        return 4;
    }
    if (wVers == 0x0300) {
        return 3;
    }
    if (wVers == 0x0200) {
        return 2;
    }
    return 8;
}

// The first CODEPAGE of the globals, looked for before anything is decoded: older writers
// put the writer's name before it.
void WorkbookReader::FindCodePage()
{
    RecordIterator it(m_book.pb, 0, m_book.cb);
    BiffRecord record;
    while (it.Next(&record) && record.wType != rtEof) {
        if (record.wType != rtCodePage) {
            continue;
        }
        ByteCursor body = record.Body(m_book.pb);
        uint16_t wCodePage = body.Le16();
        if (m_book.FShortRecord(body, record)) {
            return;
        }
        m_nCodePage = wCodePage;
        if (m_book.nBiff < 8 && !m_book.decoder.SetCodePage(m_nCodePage)) {
            m_book.Warn("code page " + std::to_string(m_nCodePage) +
                        " cannot be converted here; its text is read as Windows-1252");
        }
        return;
    }
}

bool WorkbookReader::Read(WorkbookError *pError)
{
    // A BOF cut short by the stream's end still says which version this is.
    RecordIterator it(m_book.pb, 0, m_book.cb);
    BiffRecord bof;
    if (m_book.cb < 8 || !it.Next(&bof, Overlong::Clamp) || !IsBofType(bof.wType)) {
        pError->kind = WorkbookErrorKind::NotWorkbook;
        pError->message = m_book.cb == 0 ? "the workbook stream is empty"
                                         : "the workbook stream does not start with a BOF record";
        return false;
    }
    ByteCursor bofBody = bof.Body(m_book.pb);
    m_book.nBiff = BiffOfBof(bof.wType, bofBody);
    FindCodePage();
    // Only BIFF5 and later have a globals substream; older files are one sheet, of the kind
    // their BOF says.
    bofBody.Skip(2);
    uint16_t dt = bofBody.Le16();
    bool fGlobals = m_book.nBiff >= 5 && dt == dtGlobals;
    size_t ibGlobalsEnd = ReadGlobals(&it);
    m_book.formats.Resolve(m_book.nBiff);

    WorkbookInfo info;
    info.fAuthor = m_fAuthor;
    info.author = m_sAuthor;
    info.nBiff = m_book.nBiff;
    info.nCodePage = m_nCodePage;
    info.fDate1904 = m_book.fDate1904;
    info.fMacros = m_source.vba.fPresent || (!fGlobals && dt == dtMacro) ||
                   std::any_of(m_rgSheet.begin(), m_rgSheet.end(),
                               [](const SheetEntry &entry) { return entry.kind == SheetKind::Macro; });
    m_book.visitor.OnWorkbook(info);
    if (!m_source.properties.Empty()) {
        m_book.visitor.OnProperties(m_source.properties);
    }
    for (const std::string &warning : m_source.rgPropertyWarning) {
        m_book.Warn(warning);
    }
    if (!fGlobals) {
        m_links.AddSheet("Sheet1");
    }
    m_links.Emit();

    if (!fGlobals) {
        SheetKind kind = dt == dtMacro   ? SheetKind::Macro
                         : dt == dtChart ? SheetKind::Chart
                                         : SheetKind::Worksheet;
        SheetInfo sheet = {0, "Sheet1", kind, false};
        m_book.visitor.OnSheet(sheet);
        ReadSheet(0, 0, m_book.cb, m_book.visitor.WantsSheet(sheet));
    } else {
        ReadSheets(ibGlobalsEnd);
    }
    for (const VbaModule &module : m_source.vba.modules) {
        m_book.visitor.OnVbaModule(module);
    }
    for (const std::string &warning : m_source.vba.warnings) {
        m_book.Warn(warning);
    }
    return true;
}

// Each sheet's substream is read from its BOF up to the next one that is read, so that where
// one ends does not depend on the others: a sheet without its EOF stops there, with a warning.
void WorkbookReader::PlanSheets(size_t ibGlobalsEnd)
{
    std::set<size_t> setibRead;
    for (SheetEntry &entry : m_rgSheet) {
        if (entry.ibBof < ibGlobalsEnd || setibRead.count(entry.ibBof) != 0) {
            entry.fate = SheetFate::ReadBefore;
            continue;
        }
        BiffRecord bof;
        bool fBof = false;
        if (entry.ibBof < m_book.cb) {
            RecordIterator it(m_book.pb, entry.ibBof, m_book.cb);
            fBof = it.Next(&bof) && IsBofType(bof.wType);
        }
        if (!fBof) {
            entry.fate = SheetFate::NoBof;
            continue;
        }
        setibRead.insert(entry.ibBof);
    }
    for (SheetEntry &entry : m_rgSheet) {
        std::set<size_t>::iterator itNext = setibRead.upper_bound(entry.ibBof);
        entry.ibLimit = itNext == setibRead.end() ? m_book.cb : *itNext;
    }
}

void WorkbookReader::ReadSheets(size_t ibGlobalsEnd)
{
    PlanSheets(ibGlobalsEnd);
    for (uint32_t iSheet = 0; iSheet < m_rgSheet.size(); iSheet++) {
        ReadPlannedSheet(iSheet);
    }
}

// Announces the sheet and reads it as planned.
void WorkbookReader::ReadPlannedSheet(uint32_t iSheet)
{
    const SheetEntry &entry = m_rgSheet[iSheet];
    SheetInfo sheet = {iSheet, entry.name, entry.fate == SheetFate::Read ? KindOfSheet(entry) : entry.kind,
                       entry.fHidden};
    m_book.visitor.OnSheet(sheet);
    if (entry.fate == SheetFate::ReadBefore) {
        m_book.Warn("sheet '" + entry.name + "' points into data already read; it is left empty");
    } else if (entry.fate == SheetFate::NoBof) {
        m_book.Warn("sheet '" + entry.name + "' points to no BOF record; it is left empty");
    } else {
        ReadSheet(iSheet, entry.ibBof, entry.ibLimit, m_book.visitor.WantsSheet(sheet));
    }
}

// A worksheet's WSBOOL, which comes before its cells, says whether it is a dialog sheet: it is
// looked for up to the sheet's first cell or its end, before the sheet is announced.
SheetKind WorkbookReader::KindOfSheet(const SheetEntry &entry) const
{
    if (entry.kind != SheetKind::Worksheet) {
        return entry.kind;
    }
    RecordIterator it(m_book.pb, entry.ibBof, entry.ibLimit);
    BiffRecord record;
    int nDepth = 0;
    while (it.Next(&record)) {
        if (IsBofType(record.wType) && ++nDepth > 1) {
            break;
        }
        if (record.wType == rtEof || record.wType == rtDimensions) {
            break;
        }
        if (record.wType == rtWsBool) {
            ByteCursor body = record.Body(m_book.pb);
            uint16_t grbit = body.Le16();
            return !body.FShort() && (grbit & grbitWsBoolDialog) != 0 ? SheetKind::Dialog : entry.kind;
        }
    }
    return entry.kind;
}

// Reads one substream from its BOF to the matching EOF, within ibLimit. A sheet not wanted is
// walked the same way, its records left unread.
void WorkbookReader::ReadSheet(uint32_t iSheet, size_t ibStart, size_t ibLimit, bool fWanted)
{
    SheetReader sheet(m_book, m_links, iSheet);
    m_extras.Start(iSheet, m_book.nBiff);
    m_links.StartSheet();
    int nDepth = 0;
    bool fEnded = false;
    RecordIterator it(m_book.pb, ibStart, ibLimit);
    BiffRecord record;
    while (!fEnded && it.Next(&record)) {
        // The one count of BOF and EOF: each has the depth of the substream it opens or closes.
        bool fBof = IsBofType(record.wType);
        if (fBof) {
            nDepth++;
        }
        if (fWanted) {
            m_extras.OnRecord(record.wType, m_book.pb + record.ib + 4, record.cbBody, nDepth);
        }
        if (record.wType == rtEof) {
            fEnded = --nDepth <= 0;
        } else if (!fBof && nDepth == 1 && fWanted && !m_extras.FInChart()) {
            // Charts embedded in a sheet are substreams of their own, at a deeper level; a
            // chart sheet's cached values are no cells of it.
            sheet.ReadRecord(record);
        }
    }
    std::string name = iSheet < m_rgSheet.size() ? m_rgSheet[iSheet].name : "";
    if (!fEnded) {
        m_book.Warn("sheet '" + name + "' ends before its EOF record: the workbook is cut short or damaged");
    }
    if (fWanted) {
        sheet.FinishCells();
        sheet.EmitDrawingText();
        std::vector<std::string> rgWarning;
        m_extras.Emit(m_book.visitor, &rgWarning);
        for (const std::string &warning : rgWarning) {
            m_book.Warn("sheet '" + name + "': " + warning);
        }
    }
}

bool ReadWorkbook(const WorkbookStream &stream, WorkbookVisitor &visitor, WorkbookError *pError)
{
    *pError = WorkbookError();
    // A held stream read again: its file may have changed since it was last read.
    if (!stream.FSourceIntact(pError)) {
        return false;
    }
    try {
        // FILEPASS: everything after it is read from a decrypted copy.
        WorkbookStream plain;
        plain.View(stream.pbData, stream.cbData, nullptr);
        plain.fDecrypted = stream.fDecrypted;
        plain.fNoFilePass = stream.fNoFilePass;
        if (!DecryptWorkbook(&plain, nullptr, pError)) {
            return false;
        }
        WorkbookReader reader(plain.pbData, plain.cbData, stream, visitor);
        bool fRead = reader.Read(pError);
        // Zeros in place of a cut file's pages, or a file rewritten under the read, may read
        // as anything: the change is the error.
        if (!stream.FSourceIntact(pError) || !fRead) {
            return false;
        }
    } catch (const std::bad_alloc &) {
        pError->kind = WorkbookErrorKind::TooLarge;
        pError->message = "too large: not enough memory to read it";
        return false;
    }
    if (stream.cbDeclared > stream.cbData) {
        visitor.OnWarning("the workbook stream is cut short: " + std::to_string(stream.cbData) + " of its " +
                          std::to_string(stream.cbDeclared) + " bytes are in the file");
    }
    return true;
}
