// The HTML form's cells and title, driven with made-up cells: what no attribute, cell or
// title may carry (the shown and stored values through the tool are tests/tool's).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/HtmlPrinter.h"

namespace {

void NoFlush(void *) {}

// The document of one sheet holding cells, as the default --values shown writes it.
std::string Document(const std::vector<Cell> &cells, const DocumentProperties &props = {})
{
    std::string s;
    HtmlPrinter printer(&s, NoFlush, nullptr);
    printer.OnWorkbook(WorkbookInfo{});
    printer.OnProperties(props);
    printer.OnSheet(SheetInfo{0, "S", SheetKind::Worksheet, false});
    for (const Cell &cell : cells) {
        printer.OnCell(cell);
    }
    printer.Finish();
    return s;
}

std::string Table(const std::string &document)
{
    size_t ib = document.find("<table>\n");
    return document.substr(ib + 8, document.find("</table>") - ib - 8);
}

// A text cell through a format's text section stores markup and line breaks that must neither
// end the attribute nor open a tag; the shown text is escaped the same way.
TEST(HtmlPrinter, DataValueIsEscapedOnOneLine)
{
    Cell cell{};
    cell.kind = CellKind::Text;
    cell.text = "a\"><script>&\n\t\x7f\xc2\x85\xe2\x80\xa8z";
    cell.shown = "Name: <b>\r";
    EXPECT_EQ(Table(Document({cell})),
              "<tr><td data-value=\"a&quot;&gt;&lt;script&gt;&amp;     z\">Name: &lt;b&gt; </td></tr>\n");
}

// The meta tags made these spaces already; the title kept them, so a title of two lines
// reached the search engine's title field with its break and its C1 control.
TEST(HtmlPrinter, TitleHasNoControlsOrLineSeparators)
{
    DocumentProperties props;
    props.rgsValue[(size_t)DocProperty::Title] = "Q1\x7f\xc2\x9b<x>\xe2\x80\xa8\xe2\x80\xa9\nend";
    props.rgsValue[(size_t)DocProperty::Author] = props.Value(DocProperty::Title);
    std::string document = Document({}, props);
    EXPECT_NE(document.find("<title>Q1  &lt;x&gt;   end</title>\n"), std::string::npos) << document;
    EXPECT_NE(document.find("<meta name=\"author\" content=\"Q1  &lt;x&gt;   end\">\n"), std::string::npos);
}

} // namespace
