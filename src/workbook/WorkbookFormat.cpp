// A workbook written out as the reader visits it. Text: the properties and who saved it, then
// per sheet its name, one line per row with tab-separated cells, then its notes. CSV: one table
// per sheet, line N its row N, tables separated by an empty line. JSON lines: one object per
// item. HTML: see WorkbookHtml.h. Text and CSV show values as their formats show them, or the
// stored values.
#include "workbook/WorkbookFormat.h"

#include <stdint.h>

#include <charconv>
#include <memory>
#include <string_view>
#include <vector>

#include "workbook/NotesFormat.h"
#include "workbook/OutputEscape.h"
#include "workbook/SelectingVisitor.h"
#include "workbook/TextForms.h"
#include "workbook/WorkbookHtml.h"
#include "workbook/Workbook.h"

namespace {

// Columns skipped between two cells are shown as empty fields, but never more than a sheet
// can have, so a damaged column number cannot make the output balloon.
const uint32_t cColumnGapMax = 256;
// Pieces for a file: large writes, small enough to stay in the cache.
const size_t cbFilePiece = 1 << 16;

// Gathers the output and hands it to the sink in pieces of cbPiece bytes or a little more,
// each ending where an appended item ends.
class BufferedOutput : public WrittenMeter {
public:
    BufferedOutput(size_t cbPiece, PieceSink pfnPiece, void *pContext)
        : m_cbPiece(cbPiece), m_pfnPiece(pfnPiece), m_pContext(pContext)
    {
        Reserve();
    }
    ~BufferedOutput() { Flush(); }
    void Append(std::string_view s)
    {
        m_s.append(s.data(), s.size());
        MaybeFlush();
    }
    void Append(char ch) { m_s.push_back(ch); }
    // After appending to Buffer() directly.
    void MaybeFlush()
    {
        if (m_s.size() >= m_cbPiece)
            Flush();
    }
    void Flush()
    {
        if (m_s.empty())
            return;
        m_cbFlushed += m_s.size();
        m_pfnPiece(m_pContext, &m_s);
        m_s.clear();
        Reserve();
    }
    // Everything so far to its destination, before a message on standard error.
    void FlushDestination()
    {
        Flush();
        m_pfnPiece(m_pContext, &m_s);
    }
    std::string &Buffer() { return m_s; }
    size_t Written() const override { return m_cbFlushed + m_s.size(); }

private:
    // Room for a piece and the item that ends it, so that a piece is seldom copied.
    void Reserve() { m_s.reserve(m_cbPiece + m_cbPiece / 2); }

    size_t m_cbPiece;
    PieceSink m_pfnPiece;
    void *m_pContext;
    std::string m_s;
    size_t m_cbFlushed = 0;
};

void WritePiece(void *pContext, std::string *ps)
{
    FILE *pf = static_cast<FILE *>(pContext);
    if (ps->empty())
        fflush(pf);
    else
        fwrite(ps->data(), 1, ps->size(), pf);
}

void AppendUnsigned(uint32_t n, std::string *ps)
{
    char rgch[16];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), n);
    ps->append(rgch, (size_t)(result.ptr - rgch));
}

// Row layout shared by text and CSV: a new line per row, separators up to each cell's column.
class RowWriter {
public:
    // fKeepRows: an empty row is an empty line, so line N of a sheet is row N (CSV). A row
    // number is 16 bits, so one cell writes at most 65,535 of them before the written-bytes
    // budget is looked at again.
    RowWriter(BufferedOutput *pOut, char chSeparator, const char *pszLineEnd, bool fKeepRows)
        : m_pOut(pOut), m_chSeparator(chSeparator), m_pszLineEnd(pszLineEnd), m_fKeepRows(fKeepRows) {}
    void StartSheet()
    {
        EndRow();
        m_rowNext = 0;
    }
    void EndRow()
    {
        if (m_fRowOpen)
            m_pOut->Append(m_pszLineEnd);
        m_fRowOpen = false;
    }
    // Puts separators before a cell at row, col; the caller appends the cell itself.
    void PlaceCell(uint32_t row, uint32_t col)
    {
        uint32_t cSeparators;
        if (!m_fRowOpen || row != m_row) {
            EndRow();
            // Rows out of order (the file's, not a spreadsheet's) start a line of their own.
            for (uint32_t i = m_rowNext; m_fKeepRows && i < row; i++)
                m_pOut->Append(m_pszLineEnd);
            m_rowNext = row >= m_rowNext ? row + 1 : m_rowNext;
            m_fRowOpen = true;
            m_row = row;
            cSeparators = col;
        } else {
            // A cell out of column order still gets a field of its own.
            cSeparators = col >= m_colNext ? col - m_colNext + 1 : 1;
        }
        m_pOut->Buffer().append(cSeparators < cColumnGapMax ? cSeparators : cColumnGapMax,
                                m_chSeparator);
        m_colNext = col + 1;
    }

private:
    BufferedOutput *m_pOut;
    char m_chSeparator;
    const char *m_pszLineEnd;
    bool m_fRowOpen = false;
    uint32_t m_row = 0;
    uint32_t m_colNext = 0;
    bool m_fKeepRows;
    uint32_t m_rowNext = 0; // the row after the furthest begun
};

class TextPrinter : public WorkbookVisitor {
public:
    explicit TextPrinter(BufferedOutput *pOut) : m_pOut(pOut), m_rows(pOut, '\t', "\n", false) {}
    // The properties come after the workbook's own record: the block waits for the first sheet.
    void OnWorkbook(const WorkbookInfo &info) override
    {
        m_savedBy.assign(info.fAuthor ? info.author : std::string_view());
    }
    void OnProperties(const DocumentProperties &props) override { m_props = props; }
    void OnSheet(const SheetInfo &sheet) override
    {
        WritePropertiesOnce();
        m_rows.StartSheet();
        m_pOut->Append("Sheet: ");
        AppendOneLine(sheet.name, &m_pOut->Buffer());
        if (sheet.kind != SheetKind::Worksheet || sheet.fHidden) {
            m_pOut->Append(" (");
            m_pOut->Append(sheet.fHidden ? "hidden" : "");
            if (sheet.kind != SheetKind::Worksheet) {
                m_pOut->Append(sheet.fHidden ? " " : "");
                m_pOut->Append(KindName(sheet.kind));
            }
            m_pOut->Append(')');
        }
        m_pOut->Append('\n');
    }
    void OnCell(const Cell &cell) override
    {
        m_rows.PlaceCell(cell.row, cell.col);
        AppendOneLine(m_fRawValues ? cell.text : cell.shown, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void SetRawValues(bool fRawValues) { m_fRawValues = fRawValues; }
    bool WantsShown() const override { return !m_fRawValues; }
    void OnComment(const Comment &comment) override
    {
        m_rows.EndRow();
        AppendCommentLine(comment, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void OnTextBox(const TextBox &box) override
    {
        m_rows.EndRow();
        AppendTextBoxLine(box, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void OnPageText(const PageText &page) override
    {
        m_rows.EndRow();
        AppendPageTextLine(page, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void OnHyperlink(const Hyperlink &link) override
    {
        m_rows.EndRow();
        AppendHyperlinkLine(link, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void OnChart(const Chart &chart) override
    {
        m_rows.EndRow();
        AppendChartLine(chart, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void Finish()
    {
        WritePropertiesOnce();
        m_rows.EndRow();
    }

private:
    void WritePropertiesOnce()
    {
        if (!m_fPropertiesWritten)
            AppendPropertiesText(&m_props, m_savedBy, &m_pOut->Buffer());
        m_fPropertiesWritten = true;
    }

    BufferedOutput *m_pOut;
    RowWriter m_rows;
    std::string m_savedBy;
    DocumentProperties m_props;
    bool m_fPropertiesWritten = false;
    bool m_fRawValues = false;
};

class CsvPrinter : public WorkbookVisitor {
public:
    explicit CsvPrinter(BufferedOutput *pOut) : m_pOut(pOut), m_rows(pOut, ',', "\r\n", true) {}
    void OnSheet(const SheetInfo &) override
    {
        m_rows.StartSheet();
        if (m_fSheetSeen)
            m_pOut->Append("\r\n");
        m_fSheetSeen = true;
    }
    void OnCell(const Cell &cell) override
    {
        m_rows.PlaceCell(cell.row, cell.col);
        AppendCsvField(m_fRawValues ? cell.text : cell.shown, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void Finish() { m_rows.EndRow(); }
    void SetRawValues(bool fRawValues) { m_fRawValues = fRawValues; }
    bool WantsShown() const override { return !m_fRawValues; }

private:
    BufferedOutput *m_pOut;
    RowWriter m_rows;
    bool m_fSheetSeen = false;
    bool m_fRawValues = false;
};

class JsonPrinter : public WorkbookVisitor {
public:
    // A file name may be any bytes; JSON holds UTF-8 only.
    JsonPrinter(BufferedOutput *pOut, const std::string &path) : m_pOut(pOut), m_path(ValidUtf8(path)) {}
    void OnWorkbook(const WorkbookInfo &info) override
    {
        std::string &s = m_pOut->Buffer();
        s.append("{\"type\":\"workbook\",\"saved_by\":");
        if (info.fAuthor)
            AppendJsonString(info.author, &s);
        else
            s.append("null");
        s.append(",\"biff\":" + std::to_string(info.nBiff) + ",\"codepage\":" +
                 (info.nCodePage < 0 ? std::string("null") : std::to_string(info.nCodePage)) +
                 ",\"date1904\":" + (info.fDate1904 ? "true" : "false") + ",\"file\":");
        AppendJsonString(m_path, &s);
        s.append("}\n");
    }
    void OnSheet(const SheetInfo &sheet) override
    {
        std::string &s = m_pOut->Buffer();
        s.append("{\"type\":\"sheet\",\"sheet\":" + std::to_string(sheet.iSheet) + ",\"name\":");
        AppendJsonString(sheet.name, &s);
        s.append(std::string(",\"kind\":\"") + KindName(sheet.kind) + "\",\"hidden\":" +
                 (sheet.fHidden ? "true" : "false") + "}\n");
    }
    void OnCell(const Cell &cell) override
    {
        std::string &s = m_pOut->Buffer();
        s.append("{\"type\":\"cell\",\"sheet\":");
        AppendUnsigned(cell.iSheet, &s);
        s.append(",\"row\":");
        AppendUnsigned(cell.row, &s);
        s.append(",\"col\":");
        AppendUnsigned(cell.col, &s);
        s.append(",\"kind\":\"");
        s.append(KindName(cell.kind));
        s.append("\",\"value\":");
        if (cell.kind == CellKind::Number)
            s.append(cell.text.data(), cell.text.size());
        else if (cell.kind == CellKind::Bool)
            s.append(cell.fBool ? "true" : "false");
        else
            AppendJsonString(cell.text, &s);
        s.append(",\"shown\":");
        AppendJsonString(cell.shown, &s);
        if (!cell.format.empty()) {
            s.append(",\"format\":");
            AppendJsonString(cell.format, &s);
        }
        s.append("}\n");
        m_pOut->MaybeFlush();
    }
    void OnComment(const Comment &comment) override
    {
        std::string &s = m_pOut->Buffer();
        s.append("{\"type\":\"comment\",\"sheet\":" + std::to_string(comment.iSheet) +
                 ",\"row\":" + std::to_string(comment.row) + ",\"col\":" +
                 std::to_string(comment.col) + ",\"author\":");
        AppendJsonString(comment.author, &s);
        s.append(",\"text\":");
        AppendJsonString(comment.text, &s);
        s.append("}\n");
    }
    void OnTextBox(const TextBox &box) override
    {
        std::string &s = m_pOut->Buffer();
        s.append("{\"type\":\"textbox\",\"sheet\":" + std::to_string(box.iSheet) + ",\"text\":");
        AppendJsonString(box.text, &s);
        s.append("}\n");
    }
    void OnProperties(const DocumentProperties &props) override
    {
        AppendPropertiesJson(props, &m_pOut->Buffer());
    }
    void OnPageText(const PageText &page) override { AppendPageTextJson(page, &m_pOut->Buffer()); }
    void OnHyperlink(const Hyperlink &link) override
    {
        AppendHyperlinkJson(link, &m_pOut->Buffer());
        m_pOut->MaybeFlush();
    }
    void OnChart(const Chart &chart) override { AppendChartJson(chart, &m_pOut->Buffer()); }
    void OnWarning(std::string_view message) override
    {
        std::string &s = m_pOut->Buffer();
        s.append("{\"type\":\"warning\",\"message\":");
        AppendJsonString(message, &s);
        s.append("}\n");
    }

private:
    BufferedOutput *m_pOut;
    std::string m_path;
};

// The HTML document, appended to the output's buffer.
class HtmlOutput : public HtmlPrinter {
public:
    explicit HtmlOutput(BufferedOutput *pOut) : HtmlPrinter(&pOut->Buffer(), MaybeFlush, pOut) {}

private:
    static void MaybeFlush(void *pContext) { static_cast<BufferedOutput *>(pContext)->MaybeFlush(); }
};

// Warnings of the text and CSV forms have no place in the output: they go to the caller's
// sink, after the output so far has reached the file.
template <class Printer> class WarningsToSink : public Printer {
public:
    WarningsToSink(BufferedOutput *pOut, WarningSink pfnWarn, void *pContext)
        : Printer(pOut), m_pOut(pOut), m_pfnWarn(pfnWarn), m_pContext(pContext) {}
    void OnWarning(std::string_view message) override
    {
        if (m_pfnWarn == nullptr)
            return;
        m_pOut->FlushDestination();
        m_pfnWarn(m_pContext, message);
    }

private:
    BufferedOutput *m_pOut;
    WarningSink m_pfnWarn;
    void *m_pContext;
};

bool WriteWorkbookTo(BufferedOutput &out, const WorkbookStream &stream, OutputFormat format,
                     const WorkbookSelection &selection, const std::string &name, WarningSink pfnWarn,
                     void *pContext, WorkbookError *pError)
{
    bool fOk;
    if (format == OutputFormat::Text) {
        WarningsToSink<TextPrinter> printer(&out, pfnWarn, pContext);
        printer.SetRawValues(selection.fRawValues);
        fOk = ReadSelection(stream, selection, out, &printer, nullptr, nullptr, pError);
        printer.Finish();
    } else if (format == OutputFormat::Csv) {
        WarningsToSink<CsvPrinter> printer(&out, pfnWarn, pContext);
        printer.SetRawValues(selection.fRawValues);
        fOk = ReadSelection(stream, selection, out, &printer, nullptr, nullptr, pError);
        printer.Finish();
    } else if (format == OutputFormat::Html) {
        WarningsToSink<HtmlOutput> printer(&out, pfnWarn, pContext);
        fOk = ReadSelection(stream, selection, out, &printer, nullptr, nullptr, pError);
        printer.Finish();
    } else {
        JsonPrinter printer(&out, name);
        fOk = ReadSelection(stream, selection, out, &printer, pfnWarn, pContext, pError);
    }
    return fOk;
}

// Each sheet's CSV into the file the opener gives, through one buffer whose destination
// changes at each sheet, so the written-bytes budget counts every file.
class CsvSheetFiles : public WorkbookVisitor {
public:
    CsvSheetFiles(bool fRawValues, SheetFileOpener pfnOpen, SheetFileCloser pfnClose, void *pContext,
                  WarningSink pfnWarn, void *pWarnContext)
        : m_out(cbFilePiece, WriteSheetPiece, &m_pf), m_fRawValues(fRawValues), m_pfnOpen(pfnOpen),
          m_pfnClose(pfnClose), m_pContext(pContext), m_pfnWarn(pfnWarn), m_pWarnContext(pWarnContext)
    {
    }
    ~CsvSheetFiles() override { Close(); }
    const WrittenMeter &Meter() const { return m_out; }
    bool WantsShown() const override { return !m_fRawValues; }
    void OnSheet(const SheetInfo &sheet) override
    {
        Close();
        m_pf = m_pfnOpen(m_pContext, sheet);
        if (m_pf == nullptr)
            return;
        m_pPrinter.reset(new CsvPrinter(&m_out)); // a table of its own: no separator before it
        m_pPrinter->SetRawValues(m_fRawValues);
        m_pPrinter->OnSheet(sheet);
    }
    void OnCell(const Cell &cell) override
    {
        if (m_pPrinter)
            m_pPrinter->OnCell(cell);
    }
    void OnWarning(std::string_view message) override
    {
        if (m_pfnWarn != nullptr)
            m_pfnWarn(m_pWarnContext, message);
    }
    void Close()
    {
        if (!m_pPrinter)
            return;
        m_pPrinter->Finish();
        m_pPrinter.reset();
        m_out.Flush();
        m_pfnClose(m_pContext, m_pf);
        m_pf = nullptr;
    }

private:
    static void WriteSheetPiece(void *pContext, std::string *ps)
    {
        FILE *pf = *static_cast<FILE **>(pContext);
        if (pf != nullptr)
            WritePiece(pf, ps);
    }

    FILE *m_pf = nullptr;
    BufferedOutput m_out;
    std::unique_ptr<CsvPrinter> m_pPrinter;
    bool m_fRawValues;
    SheetFileOpener m_pfnOpen;
    SheetFileCloser m_pfnClose;
    void *m_pContext;
    WarningSink m_pfnWarn;
    void *m_pWarnContext;
};

} // namespace

const char *KindName(SheetKind kind)
{
    switch (kind) {
    case SheetKind::Worksheet: return "worksheet";
    case SheetKind::Chart: return "chart";
    case SheetKind::Macro: return "macro";
    default: return "other";
    }
}

const char *KindName(CellKind kind)
{
    switch (kind) {
    case CellKind::Text: return "text";
    case CellKind::Number: return "number";
    case CellKind::Date: return "date";
    case CellKind::Bool: return "bool";
    default: return "error";
    }
}

bool ParseOutputFormat(const std::string &name, OutputFormat *pFormat)
{
    if (name == "text")
        *pFormat = OutputFormat::Text;
    else if (name == "csv")
        *pFormat = OutputFormat::Csv;
    else if (name == "jsonl")
        *pFormat = OutputFormat::Jsonl;
    else if (name == "html")
        *pFormat = OutputFormat::Html;
    else
        return false;
    return true;
}

bool WriteWorkbook(const WorkbookStream &stream, OutputFormat format, const std::string &name, FILE *pf,
                   WarningSink pfnWarn, void *pContext, WorkbookError *pError)
{
    return WriteWorkbookSelection(stream, format, WorkbookSelection(), name, pf, pfnWarn, pContext,
                                  pError);
}

bool WriteWorkbookSelection(const WorkbookStream &stream, OutputFormat format,
                            const WorkbookSelection &selection, const std::string &name, FILE *pf,
                            WarningSink pfnWarn, void *pContext, WorkbookError *pError)
{
    BufferedOutput out(cbFilePiece, WritePiece, pf);
    return WriteWorkbookTo(out, stream, format, selection, name, pfnWarn, pContext, pError);
}

bool WriteCsvSheetFiles(const WorkbookStream &stream, const WorkbookSelection &selection, SheetFileOpener pfnOpen,
                        SheetFileCloser pfnClose, void *pContext, WarningSink pfnWarn, void *pWarnContext,
                        WorkbookError *pError)
{
    CsvSheetFiles files(selection.fRawValues, pfnOpen, pfnClose, pContext, pfnWarn, pWarnContext);
    bool fOk = ReadSelection(stream, selection, files.Meter(), &files, nullptr, nullptr, pError);
    files.Close();
    return fOk;
}

bool StreamWorkbook(const WorkbookStream &stream, OutputFormat format, size_t cbPiece, PieceSink pfnPiece,
                    void *pContext, WarningSink pfnWarn, void *pWarnContext, WorkbookError *pError,
                    const WorkbookSelection &selection, const std::string &name)
{
    BufferedOutput out(cbPiece > 0 ? cbPiece : 1, pfnPiece, pContext);
    return WriteWorkbookTo(out, stream, format, selection, name, pfnWarn, pWarnContext, pError);
}
