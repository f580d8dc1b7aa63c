// Tests of the parsers of text outside the cells: header and footer codes, HLINK and its
// tooltip, chart text; each over bodies built field by field, whole, damaged and cut short.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recordtext/ChartText.h"
#include "recordtext/HeaderFooter.h"
#include "recordtext/Hyperlink.h"
#include "support/Biff.h"
#include "unicode/TextDecode.h"

namespace {

// A copy whose heap block ends where the body ends, so a read past it is caught.
Bytes Exact(const Bytes &body)
{
    Bytes exact;
    exact.reserve(body.size());
    exact.assign(body.begin(), body.end());
    exact.shrink_to_fit();
    return exact;
}

Bytes Unicode16(const std::string &s)
{
    Bytes units = Utf16(s);
    return Cat({Le16(static_cast<uint16_t>(units.size() / 2)), {0x01}, units});
}

Bytes Latin8(const std::string &s)
{
    return Cat({Le16(static_cast<uint16_t>(s.size())), {0x00}, Ascii(s)});
}

TEST(HeaderFooterText, CodesDecoded)
{
    struct Case {
        const char *pszRaw;
        const char *pszText;
    } rgCase[] = {
        {"", ""},
        {"Plain centre", "Plain centre"},
        {"&LLeft&CCentre&RRight", "Left Centre Right"},
        {"&RRight&LLeft", "Left Right"},
        {"Before&LLeft", "Left Before"},
        {"&CPage &P of &N", "Page [page] of [pages]"},
        {"&D &T &F &Z &A &G", "[date] [time] [file] [path] [sheet] [picture]"},
        {"&\"Arial,Bold\"&14Big&B&I&U&S&E&X&Y&O&H text", "Big text"},
        {"&KFF0000Red &K01+033theme", "Red theme"},
        {"Fish && Chips", "Fish & Chips"},
        {"&&P is not a field", "&P is not a field"},
        {"  &L  padded  &R  ", "padded"},
        {"cut at the end &", "cut at the end"},
        {"&\"unclosed font name", "unclosed font name"}, // a cut string's text is not lost with it
        {"&Q unknown code", "unknown code"},
        {"&C作成者&R日本", "作成者 日本"},
        {"&é text &日本", "text 本"}, // an unknown code of several bytes goes whole
        // An unknown code of several bytes is dropped whole, not its first byte alone.
        {"a&\xC3\xA9"
         "b &\xE6\x97\xA5"
         "c",
         "ab c"},
    };
    for (const Case &c : rgCase) {
        EXPECT_EQ(c.pszText, DecodeHeaderFooter(c.pszRaw)) << c.pszRaw;
    }
}

TEST(HeaderFooterText, Records)
{
    CodePageDecoder decoder;
    ASSERT_TRUE(decoder.SetCodePage(1251));
    struct Case {
        const char *pszName;
        Bytes body;
        bool fBiff8;
        bool fOk;
        std::string raw;
    } rgCase[] = {
        {"empty body: no header", {}, true, true, ""},
        {"8-bit", Latin8("&CTitle"), true, true, "&CTitle"},
        {"16-bit", Unicode16("&L作成者"), true, true, "&L作成者"},
        {"count past the body", Cat({Le16(40), {0x00}, Ascii("short")}), true, false, "short"},
        {"16-bit, odd byte left", Cat({Le16(3), {0x01}, Utf16("ab"), {0x63}}), true, false, "ab"},
        {"count only", Le16(7), true, false, ""},
        {"BIFF7 count past the body", Cat({{6}, Ascii(Cp1251("Отчёт"))}), false, false, "Отчёт"},
        {"BIFF7 whole", Cat({{5}, Ascii(Cp1251("Отчёт"))}), false, true, "Отчёт"},
    };
    for (const Case &c : rgCase) {
        Bytes body = Exact(c.body);
        std::string raw = "left over";
        EXPECT_EQ(c.fOk, ReadHeaderFooterRecord(body.data(), body.size(), c.fBiff8, decoder, &raw))
            << c.pszName;
        EXPECT_EQ(c.raw, raw) << c.pszName;
    }
}

Bytes HeaderFooterBody(const Bytes &view, uint16_t grbit, const std::vector<std::string> &rgs)
{
    Bytes body = Cat({Le16(0x089C), Bytes(10), view, Le16(grbit)});
    for (const std::string &s : rgs) {
        body = Cat({body, Le16(static_cast<uint16_t>(Utf16(s).size() / 2))});
    }
    for (const std::string &s : rgs) {
        if (!s.empty()) {
            body = Cat({body, Unicode16(s)});
        }
    }
    return body;
}

TEST(HeaderFooterText, Variants)
{
    Bytes whole = HeaderFooterBody(Bytes(16), 3, {"Even &P", "", "First", "First foot"});
    HeaderFooterVariants variants;
    Bytes body = Exact(whole);
    EXPECT_TRUE(ReadHeaderFooterVariants(body.data(), body.size(), &variants));
    EXPECT_FALSE(variants.fCustomView);
    EXPECT_TRUE(variants.fDiffOddEven);
    EXPECT_TRUE(variants.fDiffFirst);
    EXPECT_EQ("Even &P", variants.headerEven);
    EXPECT_EQ("", variants.footerEven);
    EXPECT_EQ("First", variants.headerFirst);
    EXPECT_EQ("First foot", variants.footerFirst);

    Bytes view(16, 0);
    view[3] = 0x7A;
    body = Exact(HeaderFooterBody(view, 0, {"", "", "", ""}));
    EXPECT_TRUE(ReadHeaderFooterVariants(body.data(), body.size(), &variants));
    EXPECT_TRUE(variants.fCustomView);
    EXPECT_FALSE(variants.fDiffFirst);

    // Every cut of the whole record: false, and only strings that were there.
    for (size_t cb = 0; cb < whole.size(); cb++) {
        Bytes cut = Exact(Bytes(whole.begin(), whole.begin() + cb));
        EXPECT_FALSE(ReadHeaderFooterVariants(cut.data(), cut.size(), &variants)) << cb;
        EXPECT_EQ(0u, std::string("Even &P").find(variants.headerEven)) << cb;
        EXPECT_EQ(0u, std::string("First foot").find(variants.footerFirst)) << cb;
    }
}

const Bytes hlinkClass = {0xD0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                          0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
const Bytes urlMoniker = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                          0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
const Bytes fileMoniker = {0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

Bytes HString(const std::string &s)
{
    Bytes units = Cat({Utf16(s), Le16(0)});
    return Cat({Le32(static_cast<uint32_t>(units.size() / 2)), units});
}

Bytes Hlink(uint32_t grbit, const Bytes &rest, uint16_t row = 2, uint16_t col = 3)
{
    return Cat({Le16(row), Le16(static_cast<uint16_t>(row + 1)), Le16(col), Le16(col), hlinkClass, Le32(2),
                Le32(grbit), rest});
}

Bytes UrlMoniker(const std::string &url, size_t cbExtra = 0)
{
    Bytes text = Cat({Utf16(url), Le16(0)});
    return Cat({urlMoniker, Le32(static_cast<uint32_t>(text.size() + cbExtra)), text, Bytes(cbExtra)});
}

Bytes FileMoniker(uint16_t cUp, const std::string &ansi, const std::string &wide)
{
    Bytes tail = wide.empty() ? Le32(0)
                              : Cat({Le32(static_cast<uint32_t>(6 + Utf16(wide).size())),
                                     Le32(static_cast<uint32_t>(Utf16(wide).size())), Le16(3), Utf16(wide)});
    return Cat({fileMoniker,
                Le16(cUp),
                Le32(static_cast<uint32_t>(ansi.size() + 1)),
                Ascii(ansi),
                {0},
                Le16(0xFFFF),
                Le16(0xDEAD),
                Bytes(20),
                tail});
}

TEST(HyperlinkRecordTest, Targets)
{
    CodePageDecoder decoder;
    struct Case {
        const char *pszName;
        Bytes body;
        bool fOk;
        const char *pszTarget;
        const char *pszDescription;
    } rgCase[] = {
        {"URL with description", Hlink(0x17, Cat({HString("POI"), UrlMoniker("http://poi.apache.org/")})),
         true, "http://poi.apache.org/", "POI"},
        {"URL with a serialised URI after it", Hlink(0x03, UrlMoniker("mailto:dev@poi.apache.org", 24)), true,
         "mailto:dev@poi.apache.org", ""},
        {"URL and a place in it", Hlink(0x0B, Cat({UrlMoniker("https://example.org/x"), HString("part")})),
         true, "https://example.org/x#part", ""},
        {"UNC path as a string", Hlink(0x117, Cat({HString("Share"), HString("\\\\srv\\share\\a.xls")})),
         true, "\\\\srv\\share\\a.xls", "Share"},
        {"relative file, 8-bit path", Hlink(0x01, FileMoniker(2, "reports\\q1.xls", "")), true,
         "..\\..\\reports\\q1.xls", ""},
        {"file whose UTF-16 path is used",
         Hlink(0x09, Cat({FileMoniker(0, "r?sum?.xls", "résumé.xls"), HString("B2")})), true, "résumé.xls#B2",
         ""},
        {"place in the workbook", Hlink(0x1C, Cat({HString("Inside"), HString("WebLinks!A1")})), true,
         "WebLinks!A1", "Inside"},
        {"frame name, GUID and time stepped over",
         Hlink(0xE3, Cat({HString("_blank"), UrlMoniker("http://a/"), Bytes(16), Bytes(8)})), true,
         "http://a/", ""},
        {"an item moniker: target unknown", Hlink(0x01, Cat({Bytes(16, 0x42), Le32(4), Bytes(4)})), false, "",
         ""},
        {"description count past the body", Hlink(0x14, Cat({Le32(1000), Utf16("Cut")})), false, "", "Cut"},
        {"URL moniker longer than the body",
         Hlink(0x03, Cat({urlMoniker, Le32(0x7FFFFFFF), Utf16("http://x")})), false, "http://x", ""},
        {"up-level count no path has", Hlink(0x01, FileMoniker(0xFFFF, "a.xls", "")), false, nullptr, ""},
        {"8-bit path longer than the body",
         Hlink(0x01, Cat({fileMoniker, Le16(0), Le32(0xFFFFFFF0), Ascii("abc")})), false, "", ""},
        {"cell range only", Cat({Le16(1), Le16(1), Le16(0)}), false, "", ""},
    };
    for (const Case &c : rgCase) {
        Bytes body = Exact(c.body);
        HyperlinkRecord link;
        EXPECT_EQ(c.fOk, ReadHlink(body.data(), body.size(), decoder, &link)) << c.pszName;
        if (c.pszTarget != nullptr) {
            EXPECT_EQ(c.pszTarget, link.target) << c.pszName;
        }
        EXPECT_EQ(c.pszDescription, link.description) << c.pszName;
    }
}

TEST(HyperlinkRecordTest, CellsAndBounds)
{
    CodePageDecoder decoder;
    Bytes whole =
        Hlink(0x1F, Cat({HString("Home"), UrlMoniker("http://poi.apache.org/"), HString("top")}), 7, 4);
    HyperlinkRecord link;
    ASSERT_TRUE(ReadHlink(whole.data(), whole.size(), decoder, &link));
    EXPECT_EQ(7u, link.rowFirst);
    EXPECT_EQ(8u, link.rowLast);
    EXPECT_EQ(4u, link.colFirst);
    EXPECT_EQ(4u, link.colLast);
    // A cut anywhere is a failure, never a read past the body, and keeps only what was there.
    for (size_t cb = 0; cb < whole.size(); cb++) {
        Bytes cut = Exact(Bytes(whole.begin(), whole.begin() + cb));
        EXPECT_FALSE(ReadHlink(cut.data(), cut.size(), decoder, &link)) << cb;
        EXPECT_EQ(0u, std::string("http://poi.apache.org/#top").find(link.target)) << cb;
    }
    // A huge up-level count gives a bounded target.
    Bytes deep = Exact(Hlink(0x01, FileMoniker(0xFFFF, "a.xls", "")));
    ReadHlink(deep.data(), deep.size(), decoder, &link);
    EXPECT_GT(300u, link.target.size());
}

TEST(HyperlinkRecordTest, Tooltip)
{
    HyperlinkRecord link;
    link.rowFirst = 2;
    link.rowLast = 3;
    link.colFirst = 1;
    link.colLast = 1;
    struct Case {
        const char *pszName;
        Bytes body;
        bool fOk;
        const char *pszTooltip;
    } rgCase[] = {
        {"same cells", Cat({Le16(0x0800), Le16(2), Le16(3), Le16(1), Le16(1), Utf16("Tip ä"), Le16(0)}), true,
         "Tip ä"},
        {"without its NUL", Cat({Le16(0x0800), Le16(2), Le16(3), Le16(1), Le16(1), Utf16("Tip")}), true,
         "Tip"},
        {"odd byte at the end", Cat({Le16(0x0800), Le16(2), Le16(3), Le16(1), Le16(1), Utf16("Ti"), {0x70}}),
         true, "Ti"},
        {"other cells", Cat({Le16(0x0800), Le16(9), Le16(9), Le16(1), Le16(1), Utf16("No")}), false, ""},
        {"cut in the cells", Cat({Le16(0x0800), Le16(2), Le16(3)}), false, ""},
    };
    for (const Case &c : rgCase) {
        link.tooltip.clear();
        Bytes body = Exact(c.body);
        EXPECT_EQ(c.fOk, ReadHlinkTooltip(body.data(), body.size(), &link)) << c.pszName;
        EXPECT_EQ(c.pszTooltip, link.tooltip) << c.pszName;
    }
}

struct ChartRec {
    uint16_t wType;
    Bytes body;
};

ChartRec SeriesText(const std::string &s)
{
    Bytes units = Utf16(s);
    return {0x100D, Cat({Le16(0), {static_cast<uint8_t>(units.size() / 2), 0x01}, units})};
}

std::vector<ChartRec> TextBlock(uint16_t wLink, const std::string &s)
{
    return {{0x1025, Bytes(32)},
            {0x1033, {}},
            {0x1026, Bytes(4)},
            SeriesText(s),
            {0x1027, Cat({Le16(wLink), Le16(0), Le16(0)})},
            {0x1034, {}}};
}

ChartText Collect(const std::vector<std::vector<ChartRec>> &rgParts, bool fBiff8 = true)
{
    CodePageDecoder decoder;
    decoder.SetCodePage(1251);
    ChartTextCollector collector(fBiff8, decoder);
    for (const std::vector<ChartRec> &part : rgParts) {
        for (const ChartRec &r : part) {
            Bytes body = Exact(r.body);
            collector.OnRecord(r.wType, body.data(), body.size());
        }
    }
    return collector.Finish();
}

TEST(ChartTextTest, Blocks)
{
    std::vector<ChartRec> series1 = {
        {0x1003, Bytes(12)}, {0x1033, {}}, {0x1051, Bytes(8)}, SeriesText("Apples"), {0x1034, {}}};
    std::vector<ChartRec> series2 = {{0x1003, Bytes(12)}, {0x1033, {}}, {0x1051, Bytes(8)}, {0x1034, {}}};
    std::vector<ChartRec> series3 = {{0x1003, Bytes(12)}, SeriesText("Pears"), SeriesText("again")};
    ChartText chart = Collect({{{0x1002, Bytes(16)}, {0x1033, {}}},
                               series1,
                               series2,
                               series3,
                               TextBlock(3, "Month"),
                               TextBlock(1, "Favorite Fruits"),
                               TextBlock(1, "second title"),
                               TextBlock(2, "Kilograms"),
                               TextBlock(4, "Peak"),
                               TextBlock(0, "Free text"),
                               TextBlock(1, ""),
                               {{0x1034, {}}}});
    EXPECT_EQ("Favorite Fruits", chart.title);
    EXPECT_EQ((std::vector<std::string>{"Apples", "Pears"}), chart.series);
    EXPECT_EQ((std::vector<std::string>{"Month", "Kilograms"}), chart.axes);
    EXPECT_EQ((std::vector<std::string>{"second title", "Peak", "Free text"}), chart.labels);
    EXPECT_FALSE(chart.fDamaged);

    // Records nested inside a text block do not end it; an END too many does no harm.
    std::vector<ChartRec> nested = {
        {0x1025, Bytes(32)}, {0x1033, {}}, {0x1033, {}}, {0x1034, {}}, SeriesText("Nested title"),
        {0x1027, Le16(1)},   {0x1034, {}}, {0x1034, {}}, {0x1034, {}}};
    EXPECT_EQ("Nested title", Collect({nested}).title);

    // A TEXT without its BEGIN opens nothing: the SERIESTEXT after it names no series either.
    chart = Collect({{{0x1025, Bytes(32)}}, {SeriesText("Loose")}, {{0x1027, Le16(1)}}});
    EXPECT_EQ("", chart.title);
    EXPECT_TRUE(chart.series.empty());

    // The collector starts afresh after Finish.
    CodePageDecoder decoder;
    ChartTextCollector collector(true, decoder);
    for (const ChartRec &r : TextBlock(1, "One")) {
        collector.OnRecord(r.wType, r.body.data(), r.body.size());
    }
    EXPECT_EQ("One", collector.Finish().title);
    EXPECT_EQ("", collector.Finish().title);
}

TEST(ChartTextTest, DamageAndByteStrings)
{
    std::vector<ChartRec> cut = {{0x1003, Bytes(12)}, {0x100D, Cat({Le16(0), {200, 0x00}, Ascii("Cut")})}};
    ChartText chart = Collect({cut});
    EXPECT_EQ((std::vector<std::string>{"Cut"}), chart.series);
    EXPECT_TRUE(chart.fDamaged);

    std::vector<ChartRec> empty = {{0x1003, Bytes(12)}, {0x100D, {}}, {0x1027, {}}, {0x1025, {}}};
    chart = Collect({empty});
    EXPECT_TRUE(chart.fDamaged);

    std::string sCp1251 = Cp1251("Яблоки");
    std::vector<ChartRec> biff7 = {
        {0x1003, Bytes(12)},
        {0x100D, Cat({Le16(0), {static_cast<uint8_t>(sCp1251.size())}, Ascii(sCp1251)})}};
    EXPECT_EQ((std::vector<std::string>{"Яблоки"}), Collect({biff7}, false).series);
}

} // namespace
