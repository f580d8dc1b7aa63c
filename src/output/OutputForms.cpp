// Each format's printer behind the selection over one buffered output, to a file or to the
// caller's sink; and the names of the formats and of the kinds the forms write.
#include "output/OutputForms.h"

#include <type_traits>

#include "output/BufferedOutput.h"
#include "output/HtmlPrinter.h"
#include "output/JsonPrinter.h"
#include "output/OutputEscape.h"
#include "output/RowPrinters.h"
#include "output/SelectingVisitor.h"

namespace {

// The HTML document, appended to the output's buffer; an embedded workbook's, its body only.
class HtmlOutput : public HtmlPrinter {
public:
    explicit HtmlOutput(BufferedOutput *pOut, bool fFragment = false)
            : HtmlPrinter(&pOut->Buffer(), MaybeFlush, pOut, fFragment)
    {}

private:
    static void MaybeFlush(void *pContext) { static_cast<BufferedOutput *>(pContext)->MaybeFlush(); }
};

// Warnings of the text and CSV forms have no place in the output: they go to the caller's
// sink, after the output so far has reached the file.
template <class Printer>
class WarningsToSink : public Printer {
public:
    template <class... Args>
    WarningsToSink(BufferedOutput *pOut, WarningSink pfnWarn, void *pContext, Args... args)
            : Printer(pOut, args...), m_pOut(pOut), m_pfnWarn(pfnWarn), m_pContext(pContext)
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

// An embedded workbook's place in the outermost one's output: where nested JSON lines go, and
// the written-bytes budget they all share.
struct Outermost {
    BufferedOutput *pOut;
    size_t cbBudget;
};

bool WriteWorkbookTo(BufferedOutput &out, const WorkbookStream &stream, OutputFormat format,
                     const WorkbookSelection &selection, const std::string &name, WarningSink pfnWarn,
                     void *pContext, WorkbookError *pError, const Outermost *pOuter = nullptr);

// An embedded workbook's JSON lines on their way to the container's output: each line gains
// the "embedded" key naming where it comes from.
struct EmbeddedLines {
    BufferedOutput *pOut;
    std::string member; // "embedded":"PATH",
    bool fLineStart = true;

    static void Piece(void *pContext, std::string *ps)
    {
        EmbeddedLines *pLines = static_cast<EmbeddedLines *>(pContext);
        if (ps->empty()) {
            pLines->pOut->FlushDestination();
            return;
        }
        std::string &s = pLines->pOut->Buffer();
        for (char ch : *ps) {
            s.push_back(ch);
            if (pLines->fLineStart && ch == '{') {
                s.append(pLines->member);
            }
            pLines->fLineStart = ch == '\n';
        }
        pLines->pOut->MaybeFlush();
    }
};

// After the container's own content, each embedded object's line or heading, its damage, and an
// embedded workbook's content in the same form. Not with a sheet asked for: they are no sheet's.
// Nested JSON lines go to the outermost output, each with one "embedded" key naming its whole path.
template <class Printer>
void WriteEmbedded(Printer &printer, BufferedOutput &out, const Outermost &outer,
                   const WorkbookStream &stream, OutputFormat format, const WorkbookSelection &selection,
                   const std::string &name, WarningSink pfnWarn, void *pContext)
{
    BufferedOutput &root = *outer.pOut;
    if (!selection.fEmbedded || !selection.sheet.empty()) {
        return;
    }
    for (const EmbeddedObject &object : stream.embedded) {
        printer.OnEmbedded(object);
        for (const std::string &warning : object.warnings) {
            printer.OnWarning(warning);
        }
        if (!object.workbook) {
            continue;
        }
        WorkbookError error;
        bool fOk;
        if (format == OutputFormat::Jsonl) {
            out.Flush(); // what this workbook wrote so far goes before its embedded one's lines
            EmbeddedLines lines = {&root, "\"embedded\":"};
            AppendJsonString(object.path, &lines.member);
            lines.member.push_back(',');
            BufferedOutput nested(cbFilePiece, EmbeddedLines::Piece, &lines);
            fOk = WriteWorkbookTo(nested, *object.workbook, format, selection, name, pfnWarn, pContext,
                                  &error, &outer);
        } else {
            fOk = WriteWorkbookTo(out, *object.workbook, format, selection, name, pfnWarn, pContext, &error,
                                  &outer);
        }
        if (!fOk) {
            printer.OnWarning("embedded workbook " + object.path + ": " + error.message);
        }
    }
}

// A form written as rows (text, CSV, HTML), its warnings to the caller's sink. CSV is the
// container's sheets only.
template <class Printer, class... Args>
bool WriteRows(BufferedOutput &out, const Outermost &outer, const WorkbookStream &stream,
               const WorkbookSelection &selection, const std::string &name, WarningSink pfnWarn,
               void *pContext, WorkbookError *pError, Args... args)
{
    WarningsToSink<Printer> printer(&out, pfnWarn, pContext, args...);
    printer.Choose(CellChoice{selection.fRawValues, selection.fFormulas});
    bool fOk =
        ReadSelection(stream, selection, *outer.pOut, outer.cbBudget, &printer, nullptr, nullptr, pError);
    if constexpr (!std::is_same_v<Printer, CsvPrinter>) {
        if (fOk) {
            OutputFormat format =
                std::is_same_v<Printer, TextPrinter> ? OutputFormat::Text : OutputFormat::Html;
            WriteEmbedded(printer, out, outer, stream, format, selection, name, pfnWarn, pContext);
        }
    }
    FinishPrinted(printer, fOk, out);
    return fOk;
}

bool WriteWorkbookTo(BufferedOutput &out, const WorkbookStream &stream, OutputFormat format,
                     const WorkbookSelection &selection, const std::string &name, WarningSink pfnWarn,
                     void *pContext, WorkbookError *pError, const Outermost *pOuter)
{
    Outermost outer = pOuter != nullptr ? *pOuter : Outermost{&out, WrittenBudget(stream)};
    switch (format) {
    case OutputFormat::Text:
        return WriteRows<TextPrinter>(out, outer, stream, selection, name, pfnWarn, pContext, pError);
    case OutputFormat::Csv:
        return WriteRows<CsvPrinter>(out, outer, stream, selection, name, pfnWarn, pContext, pError);
    case OutputFormat::Html:
        return WriteRows<HtmlOutput>(out, outer, stream, selection, name, pfnWarn, pContext, pError,
                                     pOuter != nullptr);
    default: break;
    }
    JsonPrinter printer(&out, name);
    bool fOk =
        ReadSelection(stream, selection, *outer.pOut, outer.cbBudget, &printer, pfnWarn, pContext, pError);
    if (fOk) {
        WriteEmbedded(printer, out, outer, stream, format, selection, name, pfnWarn, pContext);
    }
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
