// The JSON lines objects of the workbook, its sheets, cells, notes and warnings. Cells are
// most of a workbook: their keys are made on the stack and appended at once.
#include "output/JsonPrinter.h"

#include <stdint.h>
#include <string.h>

#include <charconv>

#include "output/NamesFormat.h"
#include "output/NotesFormat.h"
#include "output/OutputEscape.h"
#include "output/OutputForms.h"
#include "output/TextForms.h"

namespace {

// Copies a key's literal text to pch; returns the end.
template <size_t cch>
char *CopyLiteral(char *pch, const char (&rgch)[cch])
{
    memcpy(pch, rgch, cch - 1);
    return pch + cch - 1;
}

// A cell's keys up to its value, made in a buffer on the stack and appended at once: piece by
// piece, the appends cost more than the cell's text.
void AppendCellKeys(const Cell &cell, const char *pszKind, std::string *ps)
{
    const size_t cchUnsignedMax = 10; // 4294967295
    char rgch[128];
    char *pch = CopyLiteral(rgch, "{\"type\":\"cell\",\"sheet\":");
    pch = std::to_chars(pch, pch + cchUnsignedMax, cell.iSheet).ptr;
    pch = CopyLiteral(pch, ",\"row\":");
    pch = std::to_chars(pch, pch + cchUnsignedMax, cell.row).ptr;
    pch = CopyLiteral(pch, ",\"col\":");
    pch = std::to_chars(pch, pch + cchUnsignedMax, cell.col).ptr;
    pch = CopyLiteral(pch, ",\"kind\":\"");
    size_t cchKind = strlen(pszKind);
    memcpy(pch, pszKind, cchKind);
    pch = CopyLiteral(pch + cchKind, "\",\"value\":");
    ps->append(rgch, static_cast<size_t>(pch - rgch));
}

} // namespace

JsonPrinter::JsonPrinter(BufferedOutput *pOut, const std::string &path)
        : m_pOut(pOut), m_path(ValidUtf8(path))
{}

void JsonPrinter::OnWorkbook(const WorkbookInfo &info)
{
    std::string &s = Line();
    s.append("{\"type\":\"workbook\",\"saved_by\":");
    if (info.fAuthor) {
        AppendJsonString(info.author, &s);
    } else {
        s.append("null");
    }
    s.append(",\"biff\":" + std::to_string(info.nBiff) +
             ",\"codepage\":" + (info.nCodePage < 0 ? std::string("null") : std::to_string(info.nCodePage)) +
             ",\"date1904\":" + (info.fDate1904 ? "true" : "false") +
             (info.fMacros ? ",\"macros\":true" : "") + ",\"file\":");
    AppendJsonString(m_path, &s);
    s.append("}\n");
}

void JsonPrinter::OnSheet(const SheetInfo &sheet)
{
    std::string &s = Line();
    s.append("{\"type\":\"sheet\",\"sheet\":" + std::to_string(sheet.iSheet) + ",\"name\":");
    AppendJsonString(sheet.name, &s);
    s.append(std::string(",\"kind\":\"") + KindName(sheet.kind) +
             "\",\"hidden\":" + (sheet.fHidden ? "true" : "false") + "}\n");
}

void JsonPrinter::OnCell(const Cell &cell)
{
    std::string &s = Line();
    AppendCellKeys(cell, KindName(cell.kind), &s);
    size_t ibValue = s.size();
    bool fEscaped = cell.kind != CellKind::Number && cell.kind != CellKind::Bool;
    if (cell.kind == CellKind::Number) {
        s.append(cell.text.data(), cell.text.size());
    } else if (cell.kind == CellKind::Bool) {
        s.append(cell.fBool ? "true" : "false");
    } else {
        AppendJsonString(cell.text, &s);
    }
    size_t cbValue = s.size() - ibValue;
    s.append(",\"shown\":");
    // Most texts are shown as they are: their escaped form is copied, not made again.
    if (fEscaped && cell.shown == cell.text) {
        s.append(s, ibValue, cbValue);
    } else {
        AppendJsonString(cell.shown, &s);
    }
    if (!cell.format.empty()) {
        s.append(",\"format\":");
        AppendJsonString(cell.format, &s);
    }
    if (!cell.formula.empty()) {
        s.append(",\"formula\":");
        AppendJsonString(cell.formula, &s);
    }
    s.append("}\n");
    m_pOut->MaybeFlush();
}

void JsonPrinter::OnComment(const Comment &comment)
{
    std::string &s = Line();
    s.append("{\"type\":\"comment\",\"sheet\":" + std::to_string(comment.iSheet) + ",\"row\":" +
             std::to_string(comment.row) + ",\"col\":" + std::to_string(comment.col) + ",\"author\":");
    AppendJsonString(comment.author, &s);
    s.append(",\"text\":");
    AppendJsonString(comment.text, &s);
    s.append("}\n");
}

void JsonPrinter::OnTextBox(const TextBox &box)
{
    std::string &s = Line();
    s.append("{\"type\":\"textbox\",\"sheet\":" + std::to_string(box.iSheet) + ",\"text\":");
    AppendJsonString(box.text, &s);
    s.append("}\n");
}

void JsonPrinter::OnProperties(const DocumentProperties &props)
{
    AppendPropertiesJson(props, &Line());
}

void JsonPrinter::OnPageText(const PageText &page)
{
    AppendPageTextJson(page, &Line());
}

void JsonPrinter::OnHyperlink(const Hyperlink &link)
{
    AppendHyperlinkJson(link, &Line());
    m_pOut->MaybeFlush();
}

void JsonPrinter::OnChart(const Chart &chart)
{
    AppendChartJson(chart, &Line());
}

void JsonPrinter::WriteError(const WorkbookError &error)
{
    std::string &s = Line();
    s.append("{\"type\":\"error\",\"message\":");
    AppendJsonString(error.message, &s);
    s.append(std::string(",\"needs_password\":") + (error.fPasswordHelps ? "true" : "false") + ",\"file\":");
    AppendJsonString(m_path, &s);
    s.append("}\n");
}

void JsonPrinter::OnWarning(std::string_view message)
{
    std::string &s = Line();
    s.append("{\"type\":\"warning\",\"message\":");
    AppendJsonString(message, &s);
    s.append("}\n");
}

void JsonPrinter::OnExternalLink(const ExternalLink &link)
{
    AppendExternalLinkJson(link, &Line());
}

void JsonPrinter::OnName(const DefinedName &name)
{
    AppendNameJson(name, &Line());
    m_pOut->MaybeFlush();
}

void JsonPrinter::OnVbaModule(const VbaModule &module)
{
    AppendMacroJson(module, &Line());
    m_pOut->MaybeFlush();
}

void JsonPrinter::OnEmbedded(const EmbeddedObject &object)
{
    AppendEmbeddedJson(object, &Line());
    m_pOut->MaybeFlush();
}

void JsonPrinter::OnHidden(const HiddenSpan &span)
{
    if (span.iSheet != m_iHiddenSheet) {
        Line();
    }
    m_iHiddenSheet = span.iSheet;
    (span.fColumns ? m_rgHiddenColumns : m_rgHiddenRows)
        .push_back(SpanName(span.fColumns, span.first, span.last));
}

void JsonPrinter::OnMerge(const MergedRange &range)
{
    AppendMergeJson(range, &Line());
    m_pOut->MaybeFlush();
}

std::string &JsonPrinter::Line()
{
    std::string &s = m_pOut->Buffer();
    if (!m_rgHiddenRows.empty() || !m_rgHiddenColumns.empty()) {
        AppendHiddenJson(m_iHiddenSheet, m_rgHiddenRows, m_rgHiddenColumns, &s);
        m_rgHiddenRows.clear();
        m_rgHiddenColumns.clear();
    }
    return s;
}
