// Text: the properties and who saved it, then per sheet its name, rows of tab-separated cells
// and its notes. CSV: a table per sheet, line N its row N, tables parted by a form feed line.
#include "output/RowPrinters.h"

#include "output/NotesFormat.h"
#include "output/OutputEscape.h"
#include "output/OutputForms.h"

namespace {

const RowForm textRows = {"", "\n", "\t", true, false};
const RowForm csvRows = {"", "\r\n", ",", true, true};

} // namespace

TextPrinter::TextPrinter(BufferedOutput *pOut)
        : m_pOut(pOut), m_rows(textRows, &pOut->Buffer(), MaybeFlushBuffered, pOut)
{}

void TextPrinter::OnSheet(const SheetInfo &sheet)
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
    m_pOut->Append(m_names.SheetLines(sheet.iSheet));
}

void TextPrinter::OnCell(const Cell &cell)
{
    m_rows.PlaceCell(cell.row, cell.col);
    AppendOneLine(m_choice.TextOf(cell), &m_pOut->Buffer());
    m_pOut->MaybeFlush();
}

// Each note a line of its own, after the row it follows.
template <class Note>
void TextPrinter::AppendNote(void (*pfnAppendLine)(const Note &, std::string *), const Note &note)
{
    m_rows.EndRow();
    pfnAppendLine(note, &m_pOut->Buffer());
    m_pOut->MaybeFlush();
}

void TextPrinter::OnComment(const Comment &comment)
{
    AppendNote(AppendCommentLine, comment);
}

void TextPrinter::OnTextBox(const TextBox &box)
{
    AppendNote(AppendTextBoxLine, box);
}

void TextPrinter::OnPageText(const PageText &page)
{
    AppendNote(AppendPageTextLine, page);
}

void TextPrinter::OnHyperlink(const Hyperlink &link)
{
    AppendNote(AppendHyperlinkLine, link);
}

void TextPrinter::OnChart(const Chart &chart)
{
    AppendNote(AppendChartLine, chart);
}

void TextPrinter::OnVbaModule(const VbaModule &module)
{
    WritePropertiesOnce();
    AppendNote(AppendMacroBlock, module);
}

void TextPrinter::OnEmbedded(const EmbeddedObject &object)
{
    WritePropertiesOnce();
    AppendNote(AppendEmbeddedLine, object);
}

void TextPrinter::WritePropertiesOnce()
{
    if (!m_fPropertiesWritten) {
        AppendPropertiesText(&m_props, m_savedBy, &m_pOut->Buffer());
        m_pOut->Append(m_names.BookLines());
    }
    m_fPropertiesWritten = true;
}

CsvPrinter::CsvPrinter(BufferedOutput *pOut)
        : m_pOut(pOut), m_rows(csvRows, &pOut->Buffer(), MaybeFlushBuffered, pOut)
{}

void CsvPrinter::OnSheet(const SheetInfo &)
{
    m_rows.StartSheet();
    // An empty line is an empty row; a form feed alone on a line is no row (a field holding
    // one is quoted), so the tables can be told apart again.
    if (m_fSheetSeen) {
        m_pOut->Append("\f\r\n");
    }
    m_fSheetSeen = true;
}

void CsvPrinter::OnCell(const Cell &cell)
{
    m_rows.PlaceCell(cell.row, cell.col);
    AppendCsvField(m_choice.TextOf(cell), &m_pOut->Buffer());
    m_pOut->MaybeFlush();
}
