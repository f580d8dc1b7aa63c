// The printers' and selection's small rules that no workbook of the tool tests reaches
// directly: the HTML title on one line, and letter case folded as sheet names are compared.
#include <gtest/gtest.h>

#include <string>

#include "output/CaseFold.h"
#include "output/HtmlPrinter.h"

namespace {

void NoFlush(void *) {}

std::string HtmlTitle(const std::string &title)
{
    std::string html;
    HtmlPrinter printer(&html, NoFlush, nullptr);
    WorkbookInfo info = {false, {}, 8, 1200, false, false};
    printer.OnWorkbook(info);
    DocumentProperties props;
    props.rgsValue[(size_t)DocProperty::Title] = title;
    printer.OnProperties(props);
    printer.Finish();
    size_t ib = html.find("<title>"), ibEnd = html.find("</title>");
    return ib == std::string::npos || ibEnd == std::string::npos ? "(no title)"
                                                                 : html.substr(ib + 7, ibEnd - ib - 7);
}

// DEL, a C1 control, the line separator and a tab each become a space, as in the meta tags;
// markup is still escaped and other characters kept.
TEST(HtmlPrinter, TitleOnOneLine)
{
    EXPECT_EQ(HtmlTitle("a\x7F"
                        "b\xC2\x85"
                        "c\xE2\x80\xA8"
                        "d\te"),
              "a b c d e");
    EXPECT_EQ(HtmlTitle("<Q&A> \xC3\xA9t\xC3\xA9"), "&lt;Q&amp;A&gt; \xC3\xA9t\xC3\xA9");
}

TEST(CaseFold, NamesEqualButForLetterCase)
{
    EXPECT_EQ(FoldCase("Sheet1"), FoldCase("SHEET1"));
    EXPECT_EQ(FoldCase("\xD0\xA2\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x80\xD1\x8B"),  // Товары
              FoldCase("\xD1\x82\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x80\xD1\x8B")); // товары
    // Final sigma, capital sigma and small sigma; long s and S.
    EXPECT_EQ(FoldCase("\xCF\x82"), FoldCase("\xCE\xA3"));
    EXPECT_EQ(FoldCase("\xCF\x83"), FoldCase("\xCE\xA3"));
    EXPECT_EQ(FoldCase("\xC5\xBF"), FoldCase("s"));
    EXPECT_NE(FoldCase("a_b"), FoldCase("a-b"));
    EXPECT_NE(FoldCase("\xC3\xA9"), FoldCase("e"));
    // Bytes that are no UTF-8 are kept, so two such names still differ.
    EXPECT_EQ(FoldCase("A\xFF"
                       "B"),
              "a\xFF"
              "b");
    EXPECT_NE(FoldCase("\xFF"), FoldCase("\xFE"));
}

} // namespace
