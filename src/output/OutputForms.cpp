// Each format's printer behind the selection over one buffered output, to a file or to the
// caller's sink; and the names of the formats and of the kinds the forms write.
#include "output/OutputForms.h"

#include "output/BufferedOutput.h"
#include "output/HtmlPrinter.h"
#include "output/JsonPrinter.h"
#include "output/RowPrinters.h"
#include "output/SelectingVisitor.h"

namespace {

// The HTML document, appended to the output's buffer.
class HtmlOutput : public HtmlPrinter {
public:
    explicit HtmlOutput(BufferedOutput *pOut) : HtmlPrinter(&pOut->Buffer(), MaybeFlush, pOut) {}

private:
    static void MaybeFlush(void *pContext) { static_cast<BufferedOutput *>(pContext)->MaybeFlush(); }
};

// Warnings of the text and CSV forms have no place in the output: they go to the caller's
// sink, after the output so far has reached the file.
template <class Printer>
class WarningsToSink : public Printer {
public:
    WarningsToSink(BufferedOutput *pOut, WarningSink pfnWarn, void *pContext)
            : Printer(pOut), m_pOut(pOut), m_pfnWarn(pfnWarn), m_pContext(pContext)
    {}
    void OnWarning(std::string_view message) override
    {
        if (m_pfnWarn == nullptr) {
            return;
        }
        m_pOut->FlushDestination();
        m_pfnWarn(m_pContext, message);
    }

private:
    BufferedOutput *m_pOut;
    WarningSink m_pfnWarn;
    void *m_pContext;
};

// A workbook that failed before anything of it was printed stays without output: no empty
// HTML document, no properties block.
template <class Printer>
void FinishPrinted(Printer &printer, bool fOk, const BufferedOutput &out)
{
    if (fOk || out.Written() > 0) {
        printer.Finish();
    }
}

// A form written as rows (text, CSV, HTML), its warnings to the caller's sink.
template <class Printer>
bool WriteRows(BufferedOutput &out, const WorkbookStream &stream, const WorkbookSelection &selection,
               WarningSink pfnWarn, void *pContext, WorkbookError *pError)
{
    WarningsToSink<Printer> printer(&out, pfnWarn, pContext);
    printer.Choose(CellChoice{selection.fRawValues, selection.fFormulas});
    bool fOk = ReadSelection(stream, selection, out, &printer, nullptr, nullptr, pError);
    FinishPrinted(printer, fOk, out);
    return fOk;
}

bool WriteWorkbookTo(BufferedOutput &out, const WorkbookStream &stream, OutputFormat format,
                     const WorkbookSelection &selection, const std::string &name, WarningSink pfnWarn,
                     void *pContext, WorkbookError *pError)
{
    switch (format) {
    case OutputFormat::Text: return WriteRows<TextPrinter>(out, stream, selection, pfnWarn, pContext, pError);
    case OutputFormat::Csv: return WriteRows<CsvPrinter>(out, stream, selection, pfnWarn, pContext, pError);
    case OutputFormat::Html: return WriteRows<HtmlOutput>(out, stream, selection, pfnWarn, pContext, pError);
    default: break;
    }
    JsonPrinter printer(&out, name);
    bool fOk = ReadSelection(stream, selection, out, &printer, pfnWarn, pContext, pError);
    printer.Finish();
    return fOk;
}

} // namespace

const char *KindName(SheetKind kind)
{
    switch (kind) {
    case SheetKind::Worksheet: return "worksheet";
    case SheetKind::Chart: return "chart";
    case SheetKind::Macro: return "macro";
    case SheetKind::Dialog: return "dialog";
    case SheetKind::VbaModule: return "module";
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

const char *KindName(ExternalKind kind)
{
    switch (kind) {
    case ExternalKind::Workbook: return "workbook";
    case ExternalKind::Dde: return "dde";
    case ExternalKind::Ole: return "ole";
    default: return "addin";
    }
}

bool ParseOutputFormat(const std::string &name, OutputFormat *pFormat)
{
    if (name == "text") {
        *pFormat = OutputFormat::Text;
    } else if (name == "csv") {
        *pFormat = OutputFormat::Csv;
    } else if (name == "jsonl") {
        *pFormat = OutputFormat::Jsonl;
    } else if (name == "html") {
        *pFormat = OutputFormat::Html;
    } else {
        return false;
    }
    return true;
}

bool WriteWorkbook(const WorkbookStream &stream, OutputFormat format, const std::string &name, FILE *pf,
                   WarningSink pfnWarn, void *pContext, WorkbookError *pError)
{
    return WriteWorkbookSelection(stream, format, WorkbookSelection(), name, pf, pfnWarn, pContext, pError);
}

bool WriteWorkbookSelection(const WorkbookStream &stream, OutputFormat format,
                            const WorkbookSelection &selection, const std::string &name, FILE *pf,
                            WarningSink pfnWarn, void *pContext, WorkbookError *pError)
{
    BufferedOutput out(cbFilePiece, WritePiece, pf);
    return WriteWorkbookTo(out, stream, format, selection, name, pfnWarn, pContext, pError);
}

void WriteLockedProperties(const WorkbookStream &stream, const WorkbookError &error, OutputFormat format,
                           const WorkbookSelection &selection, const std::string &name, FILE *pf)
{
    const DocumentProperties &props = stream.properties;
    if (error.kind != WorkbookErrorKind::Encrypted || !selection.fProperties || props.Empty() ||
        format == OutputFormat::Text || format == OutputFormat::Csv) {
        return;
    }
    BufferedOutput out(cbFilePiece, WritePiece, pf);
    if (format == OutputFormat::Html) {
        HtmlOutput printer(&out);
        printer.OnProperties(props);
        printer.Finish();
    } else {
        JsonPrinter printer(&out, name);
        printer.WriteError(error);
        printer.OnProperties(props);
    }
}

bool StreamWorkbook(const WorkbookStream &stream, OutputFormat format, size_t cbPiece, PieceSink pfnPiece,
                    void *pContext, WarningSink pfnWarn, void *pWarnContext, WorkbookError *pError,
                    const WorkbookSelection &selection, const std::string &name)
{
    BufferedOutput out(cbPiece > 0 ? cbPiece : 1, pfnPiece, pContext);
    return WriteWorkbookTo(out, stream, format, selection, name, pfnWarn, pWarnContext, pError);
}
