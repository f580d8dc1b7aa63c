// HTML for search engines: plain markup, every text escaped, control characters as spaces.
// The head waits for the properties, which come after the workbook's own record.
#include "output/HtmlPrinter.h"

#include "output/NamesFormat.h"
#include "output/NotesFormat.h"
#include "output/OutputEscape.h"
#include "output/TextForms.h"

namespace {

// Text on one line, escaped for an element or a quoted attribute: control characters (C1
// too) and line separators become spaces, as in the readable text. *pLine is scratch.
void AppendHtmlLine(std::string_view text, std::string *pLine, std::string *ps)
{
    pLine->clear();
    AppendOneLine(text, pLine);
    AppendHtml(*pLine, ps);
}

void AppendMeta(const char *pszName, std::string_view content, std::string *ps)
{
    if (content.empty()) {
        return;
    }
    ps->append(std::string("<meta name=\"") + pszName + "\" content=\"");
    std::string line;
    AppendHtmlLine(content, &line, ps);
    ps->append("\">\n");
}

const RowForm htmlRows = {"<tr>", "</tr>\n", "<td></td>", false, false};

} // namespace

HtmlPrinter::HtmlPrinter(std::string *ps, void (*pfnMaybeFlush)(void *), void *pContext, bool fFragment)
        : m_ps(ps), m_pfnMaybeFlush(pfnMaybeFlush), m_pContext(pContext),
          m_rows(htmlRows, ps, pfnMaybeFlush, pContext), m_fFragment(fFragment)
{}

void HtmlPrinter::OnWorkbook(const WorkbookInfo &info)
{
    m_props = DocumentProperties();
    m_savedBy.assign(info.fAuthor ? info.author : std::string_view());
}

void HtmlPrinter::StartBody()
{
    if (m_fBodyStarted) {
        return;
    }
    m_fBodyStarted = true;
    if (m_fFragment) {
        std::string block;
        AppendPropertiesText(&m_props, m_savedBy, &block);
        AppendParagraphs(block + m_names.BookLines());
        return;
    }
    m_ps->append("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n");
    const std::string &title = m_props.Value(DocProperty::Title);
    if (!title.empty()) {
        m_ps->append("<title>");
        AppendHtmlLine(title, &m_line, m_ps);
        m_ps->append("</title>\n");
    }
    AppendMeta("author", m_props.Value(DocProperty::Author), m_ps);
    AppendMeta("keywords", m_props.Value(DocProperty::Keywords), m_ps);
    const std::string &comments = m_props.Value(DocProperty::Comments);
    AppendMeta("description", comments.empty() ? m_props.Value(DocProperty::Subject) : comments, m_ps);
    m_ps->append("</head>\n<body>\n");
    // The same lines as the readable text: what has no meta tag is still searched.
    std::string block;
    AppendPropertiesText(&m_props, m_savedBy, &block);
    AppendParagraphs(block + m_names.BookLines());
}

void HtmlPrinter::AppendParagraphs(std::string_view lines)
{
    for (size_t ib = 0; ib < lines.size();) {
        size_t ibEnd = lines.find('\n', ib);
        m_ps->append("<p>");
        AppendHtml(lines.substr(ib, ibEnd - ib), m_ps);
        m_ps->append("</p>\n");
        ib = ibEnd + 1;
    }
}

void HtmlPrinter::EndTable()
{
    m_rows.EndRow();
    if (m_fTableOpen) {
        m_ps->append("</table>\n");
    }
    m_fTableOpen = false;
}

void HtmlPrinter::OnSheet(const SheetInfo &sheet)
{
    StartBody();
    EndTable();
    m_ps->append("<h2>");
    AppendHtml(sheet.name, m_ps);
    m_ps->append("</h2>\n");
    AppendParagraphs(m_names.SheetLines(sheet.iSheet));
}

void HtmlPrinter::OnCell(const Cell &cell)
{
    if (!m_fTableOpen) {
        m_ps->append("<table>\n");
    }
    m_fTableOpen = true;
    m_rows.PlaceCell(cell.row, cell.col);
    // What the cell shows is what a reader searches for; a program that wants the number or
    // the ISO date finds it in data-value, the formula in data-formula, each there only when
    // it differs.
    std::string_view content = m_choice.TextOf(cell);
    m_ps->append("<td");
    if (content != cell.text) {
        m_ps->append(" data-value=\"");
        AppendHtmlLine(cell.text, &m_line, m_ps);
        m_ps->append("\"");
    }
    if (!cell.formula.empty() && content != cell.formula) {
        m_ps->append(" data-formula=\"");
        AppendHtmlLine(cell.formula, &m_line, m_ps);
        m_ps->append("\"");
    }
    m_ps->push_back('>');
    AppendHtmlLine(content, &m_line, m_ps);
    m_ps->append("</td>");
    m_pfnMaybeFlush(m_pContext);
}

template <class Note>
void HtmlPrinter::AppendNote(void (*pfnAppendLine)(const Note &, std::string *), const Note &note)
{
    EndTable();
    m_line.clear();
    pfnAppendLine(note, &m_line);
    m_ps->append("<p>");
    AppendHtml(std::string_view(m_line).substr(0, m_line.size() - (m_line.empty() ? 0 : 1)), m_ps);
    m_ps->append("</p>\n");
    m_pfnMaybeFlush(m_pContext);
}

void HtmlPrinter::OnComment(const Comment &comment)
{
    AppendNote(AppendCommentLine, comment);
}

void HtmlPrinter::OnTextBox(const TextBox &box)
{
    AppendNote(AppendTextBoxLine, box);
}

void HtmlPrinter::OnPageText(const PageText &page)
{
    AppendNote(AppendPageTextLine, page);
}

void HtmlPrinter::OnHyperlink(const Hyperlink &link)
{
    AppendNote(AppendHyperlinkLine, link);
}

void HtmlPrinter::OnChart(const Chart &chart)
{
    AppendNote(AppendChartLine, chart);
}

void HtmlPrinter::AppendHeading(std::string_view line)
{
    m_ps->append("<h2>");
    AppendHtml(line.substr(0, line.size() - (line.empty() ? 0 : 1)), m_ps);
    m_ps->append("</h2>\n");
}

// A module's code in its own section: a heading with its name, the code preformatted.
void HtmlPrinter::OnVbaModule(const VbaModule &module)
{
    StartBody();
    EndTable();
    m_line.clear();
    AppendMacroBlock(module, &m_line);
    size_t ibCode = m_line.find(":\n") + 2;
    AppendHeading(std::string_view(m_line).substr(0, ibCode - 1));
    m_ps->append("<pre>");
    AppendHtml(std::string_view(m_line).substr(ibCode), m_ps);
    m_ps->append("</pre>\n");
    m_pfnMaybeFlush(m_pContext);
}

void HtmlPrinter::OnEmbedded(const EmbeddedObject &object)
{
    StartBody();
    EndTable();
    m_line.clear();
    AppendEmbeddedLine(object, &m_line);
    AppendHeading(m_line);
    m_pfnMaybeFlush(m_pContext);
}

void HtmlPrinter::Finish()
{
    StartBody();
    EndTable();
    if (!m_fFragment) {
        m_ps->append("</body>\n</html>\n");
    }
}
