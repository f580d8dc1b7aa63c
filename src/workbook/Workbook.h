// The Unicode workbook reader's interface: open a workbook from a path or from bytes, then
// visit its sheets, cells, comments and text boxes as UTF-8. No global state.
#ifndef CELLSIFT_WORKBOOK_WORKBOOK_H
#define CELLSIFT_WORKBOOK_WORKBOOK_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "numformat/FormatLocale.h"
#include "properties/PropertySet.h"
#include "recordtext/ChartText.h"
#include "vba/VbaProject.h"

class FileMapping;

enum class WorkbookErrorKind {
    None,
    FileUnreadable,   // the path cannot be opened or read
    NotCompound,      // not a compound document (the message says what it looks like)
    DamagedCompound,  // a compound document whose tables are broken
    NoWorkbookStream, // neither "Workbook" nor "Book" is in it
    TruncatedStream,  // the stream is longer than the bytes the file holds for it
    Encrypted,        // FILEPASS: encrypted or obfuscated
    NotWorkbook,      // the stream holds no workbook records that could be read
    NoSuchSheet,      // a sheet asked for by name or number is not in the workbook
    TooLarge,         // the stream is over cbWorkbookStreamMax, or memory ran out
};

// The largest workbook stream read: 1 GiB. The format keeps offsets into the stream in 32
// bits, and no writer makes a workbook near this size; a file that claims more is refused
// before anything is allocated for it.
const uint64_t cbWorkbookStreamMax = uint64_t(1) << 30;

// Files up to this size are read into memory rather than mapped: unmapping in a process of
// several threads makes the kernel interrupt every core that runs one of them, which costs
// more than copying a small file.
const uint64_t cbReadNotMappedMax = uint64_t(512) << 10;

struct WorkbookError {
    WorkbookErrorKind kind = WorkbookErrorKind::None;
    std::string message;         // one sentence a person understands; empty when kind is None
    bool fPasswordHelps = false; // Encrypted: the password was missing or wrong
    int nErrno = 0;              // FileUnreadable: the system's error number, 0 when none applies
};

struct WorkbookStream;

// A document embedded in the workbook's compound document (a storage MBD…, or one in
// ObjectPool): where it lies, its class, its own properties, and what it holds.
struct EmbeddedObject {
    std::string path;      // its storage's name, "MBD00001A2B/MBD00003C4D" when nested
    std::string className; // the type \001CompObj names, empty when it has none
    DocumentProperties properties;
    std::string packageName; // a package's (\001Ole10Native) file name
    std::vector<std::string> warnings;
    // An embedded workbook's stream, with its own properties, VBA project and embedded
    // objects; null for other kinds.
    std::shared_ptr<WorkbookStream> workbook;
};

// The workbook stream; what ReadWorkbook reads. It lies in place in the file's mapping (or in
// the caller's block) where its sectors follow each other, and is copied into a block of its
// own where they do not; that block is not zero-filled first.
struct WorkbookStream {
    const uint8_t *pbData = nullptr;
    size_t cbData = 0;
    uint64_t cbDeclared = 0; // the size the document declares; more than cbData when cut short
    bool fBook = false;      // the older "Book" stream (no "Workbook" stream was there)
    bool fDecrypted = false; // it had a FILEPASS record, and what follows it is decrypted here
    // FILEPASS was looked for when it was opened, and it has none: it is not looked for again.
    // Cleared whenever the stream is given other bytes.
    bool fNoFilePass = false;
    // The compound document's property sets, read beside the stream, and what was damaged in them.
    DocumentProperties properties;
    std::vector<std::string> rgPropertyWarning;
    // The VBA project beside the stream, when the document has one.
    VbaProject vba;
    // The documents embedded beside it, at most a few levels deep.
    std::vector<EmbeddedObject> embedded;

    // Makes a block of cb bytes of the stream's own, their content undefined, and returns it.
    uint8_t *Allocate(size_t cb);
    // A copy of cb bytes at pb, for a stream already in memory.
    void Assign(const uint8_t *pb, size_t cb);
    // The cb bytes at pb, read where they are, kept alive by holder (which may be null when
    // the caller keeps them alive for as long as the stream).
    void View(const uint8_t *pb, size_t cb, std::shared_ptr<const void> holder);
    // The mapped file the stream was read from, which another process may cut short or
    // rewrite while it is read, or between two reads; what was read is then not the file's,
    // and FSourceIntact fills *pError (FileUnreadable) and returns false. It also puts the
    // SIGBUS guard back in front of any handler installed since, for the read that follows.
    void WatchMapping(std::shared_ptr<const FileMapping> mapping) { m_mapping = std::move(mapping); }
    bool FSourceIntact(WorkbookError *pError) const;
    // Stops watching the mapping once the stream no longer lies in it.
    void StopWatchIfCopied();

private:
    std::unique_ptr<uint8_t[]> m_pbOwned;
    std::shared_ptr<const void> m_holder;
    std::shared_ptr<const FileMapping> m_mapping;
};

// Opens the compound document at pszPath and finds its workbook stream. False with *pError
// filled when that cannot be done. An encrypted workbook (a FILEPASS record) is decrypted into
// a block of the stream's own with the default password that write-protected workbooks have,
// else with pszPassword (UTF-8; null when the user gave none); when neither opens it, or its
// scheme is unknown, the error is Encrypted and nothing of it is read.
bool OpenWorkbookFile(const char *pszPath, WorkbookStream *pStream, WorkbookError *pError,
                      const char *pszPassword = nullptr);

// The same for the regular file open on fd, read from its start; fd may be closed after.
bool OpenWorkbookDescriptor(int fd, WorkbookStream *pStream, WorkbookError *pError,
                            const char *pszPassword = nullptr);

// The same for a compound document of cb bytes at pb; the stream is copied, so pb may be
// freed after.
bool OpenWorkbookMemory(const uint8_t *pb, size_t cb, WorkbookStream *pStream, WorkbookError *pError,
                        const char *pszPassword = nullptr);

// The same, reading the stream in place where it can: pb must outlive *pStream.
bool OpenWorkbookView(const uint8_t *pb, size_t cb, WorkbookStream *pStream, WorkbookError *pError,
                      const char *pszPassword = nullptr);

// Macro: an Excel 4.0 macro sheet, whose cells' formulas are the macro; Dialog: a BIFF5+
// dialog sheet; VbaModule: a BIFF5 module sheet (its code lives in the VBA project).
enum class SheetKind {
    Worksheet,
    Chart,
    Macro,
    Dialog,
    VbaModule,
    Other
};
enum class CellKind {
    Text,
    Number,
    Date,
    Bool,
    Error
};

// author is the WRITEACCESS name: who saved the workbook last ("saved by" in every written
// form). The document's author is among its properties.
struct WorkbookInfo {
    bool fAuthor;
    std::string_view author;
    int nBiff;     // 2, 3, 4, 5, 7 or 8
    int nCodePage; // from CODEPAGE, or -1 when the workbook has none
    bool fDate1904;
    bool fMacros; // it has a VBA project or a macro sheet
};

struct SheetInfo {
    uint32_t iSheet;
    std::string_view name;
    SheetKind kind;
    bool fHidden;
};

// text is the cell's value as text: the string, the shortest decimal form of a number, a
// date or time in ISO 8601, TRUE or FALSE, or an error code such as #DIV/0!. shown is the
// value as the cell's number format shows it in a cell wide enough, in en-US ("97.4%",
// "3/15/2023", "(5)"; a text through the format's text section); format is that format's
// code, empty for General.
struct Cell {
    uint32_t iSheet;
    uint32_t row;
    uint32_t col;
    CellKind kind;
    double dNumber; // Number and Date: the stored value; Error: its code (0x24 for a number past doubles)
    bool fBool;     // Bool: the value
    std::string_view text;
    std::string_view shown;
    std::string_view format;
    // Text from the shared string table: the string's index, which every cell showing the
    // same string shares (its text may still be cut where repeats pass the budget).
    uint32_t isst = isstNone;
    // A formula cell's formula as the formula bar shows it in en-US ("=SUM(A1:A3)", "{=...}" for
    // an array formula), beside its cached value; empty for other cells, and for every cell
    // when the visitor does not want formulas.
    std::string_view formula = {};
    static const uint32_t isstNone = UINT32_MAX;
};

struct Comment {
    uint32_t iSheet;
    uint32_t row;
    uint32_t col;
    std::string_view author;
    std::string_view text;
};

struct TextBox {
    uint32_t iSheet;
    std::string_view text;
};

// A page header or footer with its codes decoded (DecodeHeaderFooter). pszPages is "" for the
// one of every page, "first" or "even" for the variants a BIFF8 sheet may add.
struct PageText {
    uint32_t iSheet;
    bool fFooter;
    const char *pszPages;
    std::string_view text;
};

// A hyperlink over the cells row..lastRow, col..lastCol; target as Hyperlink.h describes it.
struct Hyperlink {
    uint32_t iSheet;
    uint32_t row, col, lastRow, lastCol;
    std::string_view target;
    std::string_view description;
    std::string_view tooltip;
};

// The text of one chart: a chart sheet's own, or one embedded in a worksheet.
struct Chart {
    uint32_t iSheet;
    const ChartText &text;
};

// A defined name. iSheet is the sheet it is local to, iSheetBook for the workbook's; a built-in
// name is given by its name (Print_Area, _FilterDatabase, Auto_Open, ...). formula is what it
// refers to, as the formula bar shows it ("=Sheet1!$A$1:$C$9"), empty when it refers to nothing
// or when the visitor does not want formulas.
struct DefinedName {
    std::string_view name;
    uint32_t iSheet;
    bool fHidden;
    bool fBuiltIn;
    std::string_view formula;
    static const uint32_t iSheetBook = UINT32_MAX;
};

enum class ExternalKind {
    Workbook, // another workbook: path is its decoded path ("C:\Reports\budget.xls")
    Dde,      // a DDE link: path is "server|topic"
    Ole,      // an OLE link: path is the linked document's
    AddIn     // the add-in functions' table, which names no file
};

// A document the workbook's formulas refer to, numbered from 1 in the order the workbook lists
// them (SUPBOOK in BIFF8, EXTERNSHEET in BIFF5, each document once): what formulas show it as
// ("[1]Sheet1!A1", "[1]!Total"). The workbook itself and its own sheets are not among them.
struct ExternalLink {
    uint32_t index;
    ExternalKind kind;
    std::string_view path;
};

// Cells row..lastRow, col..lastCol merged into one (MERGEDCELLS).
struct MergedRange {
    uint32_t iSheet;
    uint32_t row, col, lastRow, lastCol;
};

// Rows first..last (fColumns false) or columns first..last of a sheet, hidden.
struct HiddenSpan {
    uint32_t iSheet;
    bool fColumns;
    uint32_t first, last;
};

// Receives the workbook in order: OnWorkbook once, OnProperties when the document has any, the
// external links and the defined names, then per sheet OnSheet, its cells row by row as stored,
// its hidden rows and columns and its merged ranges, then its comments and text boxes, headers
// and footers, hyperlinks and charts; after the last sheet, the VBA project's modules. A chart
// sheet has no cells. Views are valid during the call only.
class WorkbookVisitor {
public:
    virtual ~WorkbookVisitor() = default;
    virtual void OnWorkbook(const WorkbookInfo &) {}
    virtual void OnSheet(const SheetInfo &) {}
    virtual void OnCell(const Cell &) {}
    virtual void OnComment(const Comment &) {}
    virtual void OnTextBox(const TextBox &) {}
    virtual void OnProperties(const DocumentProperties &) {}
    virtual void OnPageText(const PageText &) {}
    virtual void OnHyperlink(const Hyperlink &) {}
    virtual void OnChart(const Chart &) {}
    virtual void OnExternalLink(const ExternalLink &) {}
    virtual void OnName(const DefinedName &) {}
    virtual void OnHidden(const HiddenSpan &) {}
    virtual void OnMerge(const MergedRange &) {}
    virtual void OnVbaModule(const VbaModule &) {}
    // Something could not be read; what could be read is still visited.
    virtual void OnWarning(std::string_view) {}
    // Whether the sheet's cells, comments and text boxes are wanted, asked after OnSheet; a
    // sheet that is not is only walked to its end.
    virtual bool WantsSheet(const SheetInfo &) { return true; }
    // False when the visitor needs no shown texts: Cell.shown is then the value's text, and
    // no format is rendered. Asked once, before OnWorkbook.
    virtual bool WantsShown() const { return true; }
    // True when formula cells' formulas are wanted (Cell.formula); they are not decompiled
    // otherwise. Asked once, before OnWorkbook.
    virtual bool WantsFormulas() const { return false; }
    // The locale shown texts are in: separators, names and the system's formats. Asked once,
    // before OnWorkbook; it must outlive the read.
    virtual const FormatLocale &Locale() const { return FormatLocale::EnUs(); }
};

// Reads the stream and calls the visitor. False with *pError filled when nothing could be
// read (an encrypted workbook the default password does not open, a stream that is no
// workbook, memory ran out before the first sheet); then the visitor got nothing, or only the
// workbook's globals. A stream not opened by the functions above is decrypted here, into a
// copy, when the default password opens it.
// Time and memory are linear in the stream's size whatever it holds. A mapped file cut short or
// rewritten by another process while it was read fails as FileUnreadable, after what was
// visited; one changed before the read began fails before anything is visited.
bool ReadWorkbook(const WorkbookStream &stream, WorkbookVisitor &visitor, WorkbookError *pError);

#endif
