// The HTML form's cells and title, driven with made-up cells: what a cell shows, the stored
// value beside it for programs, --values raw, and what no attribute or title may carry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/HtmlPrinter.h"

namespace {

void NoFlush(void *) {}

Cell NumberCell(uint32_t row, uint32_t col, std::string_view text, std::string_view shown)
{
    Cell cell{};
    cell.row = row;
    cell.col = col;
    cell.kind = CellKind::Number;
    cell.text = text;
    cell.shown = shown;
    return cell;
}

// The document of one sheet holding cells, with fRaw as --values raw sets it.
std::string Document(const std::vector<Cell> &cells, bool fRaw, const DocumentProperties &props = {})
{
    std::string s;
    HtmlPrinter printer(&s, NoFlush, nullptr);
    printer.SetRawValues(fRaw);
    EXPECT_EQ(printer.WantsShown(), !fRaw);
    printer.OnWorkbook(WorkbookInfo{});
    printer.OnProperties(props);
    printer.OnSheet(SheetInfo{0, "S", SheetKind::Worksheet, false});
    for (const Cell &cell : cells)
        printer.OnCell(cell);
    printer.Finish();
    return s;
}

std::string Table(const std::string &document)
{
    size_t ib = document.find("<table>\n");
    return document.substr(ib + 8, document.find("</table>") - ib - 8);
}

TEST(HtmlPrinter, CellsShowTheirFormatsWithTheStoredValueBeside)
{
    std::vector<Cell> cells = {NumberCell(0, 0, "7.168538277299949", "716.9%"),
                               NumberCell(0, 2, "2005-09-19", "9/19/2005"),
                               NumberCell(1, 0, "149.9", "149.9")};
    cells.back().kind = CellKind::Text;
    EXPECT_EQ(Table(Document(cells, false)), "<tr><td data-value=\"7.168538277299949\">716.9%</td><td></td>"
                                             "<td data-value=\"2005-09-19\">9/19/2005</td></tr>\n"
                                             "<tr><td>149.9</td></tr>\n");
    EXPECT_EQ(Table(Document(cells, true)),
              "<tr><td>7.168538277299949</td><td></td><td>2005-09-19</td></tr>\n<tr><td>149.9</td></tr>\n");
}

// A text cell through a format's text section stores markup and line breaks that must neither
// end the attribute nor open a tag; the shown text is escaped the same way.
TEST(HtmlPrinter, DataValueIsEscapedOnOneLine)
{
    Cell cell = NumberCell(0, 0, "a\"><script>&\n\t\x7f\xc2\x85\xe2\x80\xa8z", "Name: <b>\r");
    cell.kind = CellKind::Text;
    EXPECT_EQ(Table(Document({cell}, false)),
              "<tr><td data-value=\"a&quot;&gt;&lt;script&gt;&amp;     z\">Name: &lt;b&gt; </td></tr>\n");
}

// The meta tags made these spaces already; the title kept them, so a title of two lines
// reached the search engine's title field with its break and its C1 control.
TEST(HtmlPrinter, TitleHasNoControlsOrLineSeparators)
{
    DocumentProperties props;
    props.rgsValue[(size_t)DocProperty::Title] = "Q1\x7f\xc2\x9b<x>\xe2\x80\xa8\xe2\x80\xa9\nend";
    props.rgsValue[(size_t)DocProperty::Author] = props.Value(DocProperty::Title);
    std::string document = Document({}, false, props);
    EXPECT_NE(document.find("<title>Q1  &lt;x&gt;   end</title>\n"), std::string::npos) << document;
    EXPECT_NE(document.find("<meta name=\"author\" content=\"Q1  &lt;x&gt;   end\">\n"), std::string::npos);
}

} // namespace
