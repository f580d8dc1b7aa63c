// The JSON lines objects of the workbook, its sheets, cells, notes and warnings. Cells are
// most of a workbook: their keys are appended piece by piece, with no temporary strings.
#include "output/JsonPrinter.h"

#include <stdint.h>

#include <charconv>

#include "output/NotesFormat.h"
#include "output/OutputEscape.h"

namespace {

void AppendUnsigned(uint32_t n, std::string *ps)
{
    char rgch[16];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), n);
    ps->append(rgch, (size_t)(result.ptr - rgch));
}

} // namespace

JsonPrinter::JsonPrinter(BufferedOutput *pOut, const std::string &path)
        : m_pOut(pOut), m_path(ValidUtf8(path))
{}

void JsonPrinter::OnWorkbook(const WorkbookInfo &info)
{
    std::string &s = m_pOut->Buffer();
    s.append("{\"type\":\"workbook\",\"saved_by\":");
    if (info.fAuthor)
        AppendJsonString(info.author, &s);
    else
        s.append("null");
    s.append(",\"biff\":" + std::to_string(info.nBiff) +
             ",\"codepage\":" + (info.nCodePage < 0 ? std::string("null") : std::to_string(info.nCodePage)) +
             ",\"date1904\":" + (info.fDate1904 ? "true" : "false") + ",\"file\":");
    AppendJsonString(m_path, &s);
    s.append("}\n");
}

void JsonPrinter::OnSheet(const SheetInfo &sheet)
{
    std::string &s = m_pOut->Buffer();
    s.append("{\"type\":\"sheet\",\"sheet\":" + std::to_string(sheet.iSheet) + ",\"name\":");
    AppendJsonString(sheet.name, &s);
    s.append(std::string(",\"kind\":\"") + KindName(sheet.kind) +
             "\",\"hidden\":" + (sheet.fHidden ? "true" : "false") + "}\n");
}

void JsonPrinter::OnCell(const Cell &cell)
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
    size_t ibValue = s.size();
    bool fEscaped = cell.kind != CellKind::Number && cell.kind != CellKind::Bool;
    if (cell.kind == CellKind::Number)
        s.append(cell.text.data(), cell.text.size());
    else if (cell.kind == CellKind::Bool)
        s.append(cell.fBool ? "true" : "false");
    else
        AppendJsonString(cell.text, &s);
    size_t cbValue = s.size() - ibValue;
    s.append(",\"shown\":");
    // Most texts are shown as they are: their escaped form is copied, not made again.
    if (fEscaped && cell.shown == cell.text)
        s.append(s, ibValue, cbValue);
    else
        AppendJsonString(cell.shown, &s);
    if (!cell.format.empty()) {
        s.append(",\"format\":");
        AppendJsonString(cell.format, &s);
    }
    s.append("}\n");
    m_pOut->MaybeFlush();
}

void JsonPrinter::OnComment(const Comment &comment)
{
    std::string &s = m_pOut->Buffer();
    s.append("{\"type\":\"comment\",\"sheet\":" + std::to_string(comment.iSheet) + ",\"row\":" +
             std::to_string(comment.row) + ",\"col\":" + std::to_string(comment.col) + ",\"author\":");
    AppendJsonString(comment.author, &s);
    s.append(",\"text\":");
    AppendJsonString(comment.text, &s);
    s.append("}\n");
}

void JsonPrinter::OnTextBox(const TextBox &box)
{
    std::string &s = m_pOut->Buffer();
    s.append("{\"type\":\"textbox\",\"sheet\":" + std::to_string(box.iSheet) + ",\"text\":");
    AppendJsonString(box.text, &s);
    s.append("}\n");
}

void JsonPrinter::OnProperties(const DocumentProperties &props)
{
    AppendPropertiesJson(props, &m_pOut->Buffer());
}

void JsonPrinter::OnPageText(const PageText &page)
{
    AppendPageTextJson(page, &m_pOut->Buffer());
}

void JsonPrinter::OnHyperlink(const Hyperlink &link)
{
    AppendHyperlinkJson(link, &m_pOut->Buffer());
    m_pOut->MaybeFlush();
}

void JsonPrinter::OnChart(const Chart &chart)
{
    AppendChartJson(chart, &m_pOut->Buffer());
}

void JsonPrinter::OnWarning(std::string_view message)
{
    std::string &s = m_pOut->Buffer();
    s.append("{\"type\":\"warning\",\"message\":");
    AppendJsonString(message, &s);
    s.append("}\n");
}
