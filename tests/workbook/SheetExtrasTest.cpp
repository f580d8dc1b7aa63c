// Tests of the text outside the cells as the reader hands it on: headers and footers (custom
// views left out), hyperlinks, charts in worksheets and chart sheets (whose cached values are
// no cells), the properties beside the stream; damage; and each written form of it all.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "ReaderFixture.h"
#include "output/OutputForms.h"

namespace {

class ExtrasCollector : public Collector {
public:
    void OnProperties(const DocumentProperties &props) override
    {
        lines.push_back("properties " + props.Value(DocProperty::Title));
    }
    void OnPageText(const PageText &page) override
    {
        lines.push_back(std::string(page.fFooter ? "footer" : "header") + "[" + page.pszPages + "] " +
                        std::string(page.text));
    }
    void OnHyperlink(const Hyperlink &link) override
    {
        lines.push_back("link " + std::to_string(link.row) + ":" + std::to_string(link.col) + " " +
                        std::string(link.target) + " (" + std::string(link.description) + ") " +
                        std::string(link.tooltip));
    }
    void OnChart(const Chart &chart) override
    {
        std::string line = "chart " + std::to_string(chart.iSheet) + " " + chart.text.title;
        for (const std::string &name : chart.text.series) {
            line += " s:" + name;
        }
        for (const std::string &axis : chart.text.axes) {
            line += " a:" + axis;
        }
        for (const std::string &label : chart.text.labels) {
            line += " l:" + label;
        }
        lines.push_back(line);
    }
};

ExtrasCollector ReadExtras(const Bytes &bytes, const DocumentProperties *pProps = nullptr,
                           const std::vector<std::string> &rgPropertyWarning = {})
{
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    if (pProps != nullptr) {
        stream.properties = *pProps;
    }
    stream.rgPropertyWarning = rgPropertyWarning;
    ExtrasCollector collector;
    WorkbookError error;
    if (!ReadWorkbook(stream, collector, &error)) {
        collector.lines.push_back("error " + error.message);
    }
    return collector;
}

Bytes Hlink(uint16_t row, uint16_t col, const std::string &desc, const std::string &url)
{
    auto counted = [](const std::string &s) {
        Bytes units = Cat({Utf16(s), Le16(0)});
        return Cat({Le32(static_cast<uint32_t>(units.size() / 2)), units});
    };
    Bytes text = Cat({Utf16(url), Le16(0)});
    Bytes moniker =
        Cat({{0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11, 0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B},
             Le32(static_cast<uint32_t>(text.size())),
             text});
    return Rec(0x01B8, Cat({Le16(row), Le16(row), Le16(col), Le16(col), Bytes(16), Le32(2), Le32(0x17),
                            counted(desc), moniker}));
}

Bytes Tooltip(uint16_t row, uint16_t col, const std::string &tip)
{
    return Rec(0x0800, Cat({Le16(0x0800), Le16(row), Le16(row), Le16(col), Le16(col), Utf16(tip), Le16(0)}));
}

Bytes SeriesText(const std::string &s)
{
    return Rec(0x100D, Cat({Le16(0), {static_cast<uint8_t>(s.size()), 0}, Latin1(s)}));
}

// A chart's records after its BOF: a cached value, a named series, a title.
Bytes ChartBody(const std::string &title, const std::string &series)
{
    return Cat({Rec(0x1033, {}), Rec(0x0203, Cat({Cell3(0, 1, 0), Double(9.5)})), Rec(0x1003, Bytes(12)),
                SeriesText(series), Rec(0x1025, Bytes(32)), Rec(0x1033, {}), SeriesText(title),
                Rec(0x1027, Cat({Le16(1), Le16(0), Le16(0)})), Rec(0x1034, {}), Rec(0x1034, {})});
}

TEST(SheetExtrasTest, WhatASheetHoldsBesideItsCells)
{
    Bytes custom(16, 0);
    custom[0] = 1;
    Bytes variants = Cat(
        {Le16(0x089C), Bytes(10), Bytes(16), Le16(2), Le16(0), Le16(0), Le16(5), Le16(0), Str16("First")});
    Bytes customVariants =
        Cat({Le16(0x089C), Bytes(10), custom, Le16(2), Le16(0), Le16(0), Le16(4), Le16(0), Str16("View")});
    Bytes sheet =
        Cat({Rec(0x0204, Cat({Cell3(0, 0, 0), Str16("cell")})), Rec(0x0014, Str16("&LLeft&CPage &P&R&&")),
             Rec(0x0015, {}), Rec(0x01AA, Bytes(20)), Rec(0x0014, Str16("custom view header")),
             Rec(0x01AB, {}), Rec(0x089C, variants), Rec(0x089C, customVariants),
             Hlink(1, 2, "Home", "http://example.org/"), Tooltip(1, 2, "Tip"), Tooltip(9, 9, "Stray"),
             Bof(0x0020), ChartBody("Embedded", "Series one"), Eof()});
    Bytes chartSheet = Cat({Rec(0x0015, Str16("Chart footer")), ChartBody("On its own", "Series two")});
    std::vector<SheetDesc> sheets = {{"S", sheet}, {"C", chartSheet, 0, 2}};
    Bytes stream = Workbook({}, sheets);
    // The chart sheet's BOF says chart.
    size_t ibChartBof = stream.size() - chartSheet.size() - Eof().size() - Bof(0x0010).size();
    stream[ibChartBof + 6] = 0x20;
    DocumentProperties props;
    props.rgsValue[(size_t)DocProperty::Title] = "Carrefour";
    ExtrasCollector got = ReadExtras(stream, &props, {"damaged document properties: x"});
    EXPECT_EQ(got.lines, (std::vector<std::string>{
                             "workbook - biff8 cp-1", "properties Carrefour",
                             "warning damaged document properties: x", "sheet 0 S worksheet",
                             "0:0:0 text cell", "header[] Left Page [page] &", "header[first] First",
                             "link 1:2 http://example.org/ (Home) Tip", "chart 0 Embedded s:Series one",
                             "warning sheet 'S': a hyperlink's tooltip names no hyperlink before it",
                             "sheet 1 C chart", "footer[] Chart footer", "chart 1 On its own s:Series two"}));
}

TEST(SheetExtrasTest, DamageStaysBounded)
{
    // Ten thousand broken hyperlinks give one warning; a chart of nested BEGINs that never
    // end, cut off without its EOF, still gives its text.
    Bytes links;
    for (int i = 0; i < 10000; i++) {
        links = Cat({links, Rec(0x01B8, Bytes(40, 0xFF))});
    }
    Bytes begins;
    for (int i = 0; i < 20000; i++) {
        begins = Cat({begins, Rec(0x1033, {})});
    }
    Bytes sheet = Cat({links, Bof(0x0020), Rec(0x1003, Bytes(12)), SeriesText("kept"), begins});
    Bytes stream = Workbook({}, {{"S", sheet}});
    stream.resize(stream.size() - Eof().size()); // the sheet's EOF; the chart has none either
    ExtrasCollector got = ReadExtras(stream);
    size_t cLinks = 0, cWarnings = 0;
    for (const std::string &line : got.lines) {
        cLinks += line.compare(0, 5, "link ") == 0;
        cWarnings += line.find("a hyperlink is damaged") != std::string::npos;
    }
    EXPECT_EQ(10000u, cLinks);
    EXPECT_EQ(1u, cWarnings);
    EXPECT_NE(std::find(got.lines.begin(), got.lines.end(), "chart 0  s:kept"), got.lines.end());
}

TEST(SheetExtrasTest, SplitRecordsAndDoubleByteHeaders)
{
    // A hyperlink whose body goes on in a CONTINUE (and an empty one) keeps its target and
    // its tooltip; one at the end of the sheet too.
    Bytes link = Hlink(0, 0, "Report", "http://example.org/a/long/path");
    Bytes body(link.begin() + 4, link.end());
    size_t ibCut = body.size() - 12;
    Bytes split = Cat({Rec(0x01B8, Bytes(body.begin(), body.begin() + ibCut)),
                       Rec(0x003C, Bytes(body.begin() + ibCut, body.end())), Rec(0x003C, {})});
    Bytes last = Hlink(3, 1, "Last", "http://example.org/end");
    Bytes lastBody(last.begin() + 4, last.end());
    Bytes lastSplit = Cat({Rec(0x01B8, Bytes(lastBody.begin(), lastBody.begin() + 40)),
                           Rec(0x003C, Bytes(lastBody.begin() + 40, lastBody.end()))});
    // A header of a double-byte font and text with a page offset, and a footer whose font's
    // closing quote was lost: its text stays.
    Bytes sheet = Cat({Rec(0x0014, Str16("&\"宋体,常规\"财务报表&P-1")),
                       Rec(0x0015, Str16("&\"宋体第 &P 页")), split, Tooltip(0, 0, "Tip"), lastSplit});
    ExtrasCollector got = ReadExtras(Workbook({}, {{"S", sheet}}));
    EXPECT_EQ(got.lines, (std::vector<std::string>{"workbook - biff8 cp-1", "sheet 0 S worksheet",
                                                   "header[] 财务报表[page]-1", "footer[] 宋体第 [page] 页",
                                                   "link 0:0 http://example.org/a/long/path (Report) Tip",
                                                   "link 3:1 http://example.org/end (Last) "}));

    // BIFF7 in code page 936 whose count is of characters, not of the bytes stored: all of
    // them are the header's text. A count past the body keeps what is there and warns.
    std::string gbk = "&\"\xCB\xCE\xCC\xE5,\xB3\xA3\xB9\xE6\"\xB2\xC6\xCE\xF1&P-1"; // &"宋体,常规"财务&P-1
    Bytes byChars = Cat({{14}, Ascii(gbk), {0}});
    Bytes past = Cat({{40}, Ascii("&CShort")});
    Bytes biff7 =
        Workbook(Rec(0x0042, Le16(936)), {{"S", Cat({Rec(0x0014, byChars), Rec(0x0015, past)})}}, 0x0500);
    got = ReadExtras(biff7);
    EXPECT_EQ(got.lines, (std::vector<std::string>{
                             "workbook - biff7 cp936", "sheet 0 S worksheet", "header[] 财务[page]-1",
                             "footer[] Short", "warning sheet 'S': a page header or footer is cut short"}));
}

std::string Written(const std::string &file, OutputFormat format, const WorkbookSelection &selection)
{
    WorkbookStream stream;
    WorkbookError error;
    EXPECT_TRUE(OpenWorkbookFile(SourcePath("tests/workbook/extras/" + file).c_str(), &stream, &error));
    char *pch = nullptr;
    size_t cb = 0;
    FILE *pf = open_memstream(&pch, &cb);
    WriteWorkbookSelection(stream, format, selection, file, pf, nullptr, nullptr, &error);
    fclose(pf);
    std::string s(pch, cb);
    free(pch);
    return s;
}

TEST(SheetExtrasTest, ChineseHeadersOfMadeWorkbooks)
{
    // A header in a Chinese font on every sheet, as our generator and LibreOffice write it.
    std::string gen = Written("gen-extras-cjk.xls", OutputFormat::Text, WorkbookSelection());
    std::string page = "Header: 财务报表[page]-1\nFooter: 第 [page] 页，共 [pages] 页\n";
    size_t ib = gen.find(page);
    ASSERT_NE(std::string::npos, ib);
    EXPECT_NE(std::string::npos, gen.find(page, ib + page.size())); // the second sheet's
    std::string lo = Written("lo-cjk.xls", OutputFormat::Text, WorkbookSelection());
    EXPECT_NE(std::string::npos, lo.find("Header: 财务报表[page]\nFooter: 第 [page] 页\n"));
}

TEST(SheetExtrasTest, EveryFormShowsEveryItem)
{
    // What the generator wrote into the workbooks, as each form must show it.
    struct Item {
        const char *pszText, *pszJson, *pszHtml;
        bool fNote;     // left out by --no-notes
        bool fProperty; // left out by --no-properties
    } rgItem[] = {
        {"Title: Carrefour\n", "\"title\":\"Carrefour\"", "<title>Carrefour</title>", false, true},
        {"Author: SIRRI EKER\n", "\"author\":\"SIRRI EKER\"", "<meta name=\"author\" content=\"SIRRI EKER\">",
         false, true},
        {"Saved by: Saver Person\n", "\"saved_by\":\"Saver Person\"", "<p>Saved by: Saver Person</p>", false,
         true},
        {"Keywords: Testing Sample Formulas\n", "\"keywords\":\"Testing Sample Formulas\"",
         "<meta name=\"keywords\" content=\"Testing Sample Formulas\">", false, true},
        {"Company: Cingular Wireless\n", "\"company\":\"Cingular Wireless\"",
         "<p>Company: Cingular Wireless</p>", false, true},
        {"Header: Quarterly & Annual Printed [date] [time]\n",
         "\"text\":\"Quarterly & Annual Printed [date] [time]\"",
         "<p>Header: Quarterly &amp; Annual Printed [date] [time]</p>", true, false},
        {"Footer (first page): First page footer\n", "\"pages\":\"first\",\"text\":\"First page footer\"",
         "<p>Footer (first page): First page footer</p>", true, false},
        {"Link A1: http://poi.apache.org/ (Home page)\n", "\"tooltip\":\"Opens the project's home page\"",
         "<p>Link A1: http://poi.apache.org/ (Home page)</p>", false, false},
        {"Link A5:B6: mailto:dev@poi.apache.org\n",
         "\"last_row\":5,\"last_col\":1,\"target\":\"mailto:dev@poi.apache.org\"",
         "<p>Link A5:B6: mailto:dev@poi.apache.org</p>", false, false},
        {"Chart: Favorite Fruits; series: Apples, Pears; axes: Month, Kilograms; labels: Peak of the "
         "season\n",
         "\"title\":\"Favorite "
         "Fruits\",\"series\":[\"Apples\",\"Pears\"],\"axes\":[\"Month\",\"Kilograms\"],\"labels\":[\"Peak "
         "of the season\"]",
         "<p>Chart: Favorite Fruits; series: Apples, Pears; axes: Month, Kilograms; labels: Peak of the "
         "season</p>",
         true, false},
    };
    for (int nForm = 0; nForm < 3; nForm++) {
        OutputFormat format = nForm == 0   ? OutputFormat::Text
                              : nForm == 1 ? OutputFormat::Jsonl
                                           : OutputFormat::Html;
        WorkbookSelection all, noNotes, noProperties;
        noNotes.fNotes = false;
        noProperties.fProperties = false;
        std::string sAll = Written("gen-extras.xls", format, all);
        std::string sNoNotes = Written("gen-extras.xls", format, noNotes);
        std::string sNoProperties = Written("gen-extras.xls", format, noProperties);
        for (const Item &item : rgItem) {
            const char *psz = nForm == 0 ? item.pszText : nForm == 1 ? item.pszJson : item.pszHtml;
            EXPECT_NE(std::string::npos, sAll.find(psz)) << nForm << " " << psz;
            EXPECT_EQ(item.fNote, sNoNotes.find(psz) == std::string::npos) << nForm << " " << psz;
            EXPECT_EQ(item.fProperty, sNoProperties.find(psz) == std::string::npos) << nForm << " " << psz;
        }
    }
    // The chart sheet's cached values are no cells; the text starts with the properties.
    std::string text = Written("gen-extras.xls", OutputFormat::Text, WorkbookSelection());
    EXPECT_EQ(
        0u, text.find("Title: Carrefour\nAuthor: SIRRI EKER\nSaved by: Saver Person\nSubject: Générique\n"));
    EXPECT_NE(std::string::npos, text.find("Sheet: Chart1 (chart)\nChart: Favorite Fruits"));
    EXPECT_EQ(std::string::npos, text.find("9.75"));
}

} // namespace
