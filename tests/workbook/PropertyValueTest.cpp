// Tests of the property-set reader's values: each type and code page in streams built section
// by section, FILETIMEs across the calendar's edges, and the user's properties with their names.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "PropertyStreams.h"

namespace {

TEST(PropertyValueTest, SummaryValues)
{
    Bytes summary = Section({{1, I2(1252)},
                             {2, Lpstr(Ascii("Carrefour"))},
                             {3, Lpstr(Ascii("G\xE9n\xE9rique"))},
                             {4, Lpwstr("SIRRI EKER")},
                             {5, Lpstr(Ascii(std::string("with\0nul", 8)))},
                             {8, Lpstr(Ascii("Saver"))},
                             {12, Fixed(64, Filetime(951825600), 8)}, // 2000-02-29T12:00:00Z
                             {13, Fixed(64, 0, 8)},                   // never: left out
                             {18, Lpstr({})},
                             {19, Fixed(3, 0, 4)}});
    Bytes doc = Section({{1, I2(1251)},
                         {2, Lpstr(Ascii(Cp1251("Отчёты")))},
                         {15, Lpstr(Ascii("ACME"))},
                         {14, Fixed(3, 7, 4)}});
    Read read = ReadStream(Stream({{fmtidSummary, summary}, {fmtidDocSummary, doc}}));
    EXPECT_TRUE(read.rgWarning.empty());
    const DocumentProperties &props = read.props;
    EXPECT_EQ("Carrefour", props.Value(DocProperty::Title));
    EXPECT_EQ("Générique", props.Value(DocProperty::Subject));
    EXPECT_EQ("SIRRI EKER", props.Value(DocProperty::Author));
    EXPECT_EQ("withnul", props.Value(DocProperty::Keywords));
    EXPECT_EQ("Saver", props.Value(DocProperty::LastSavedBy));
    EXPECT_EQ("2000-02-29T12:00:00Z", props.Value(DocProperty::Created));
    EXPECT_EQ("", props.Value(DocProperty::LastSaved));
    EXPECT_EQ("", props.Value(DocProperty::Application));
    EXPECT_EQ("Отчёты", props.Value(DocProperty::Category));
    EXPECT_EQ("ACME", props.Value(DocProperty::Company));
    EXPECT_EQ("7", props.Value(DocProperty::Manager));
    EXPECT_TRUE(props.rgCustom.empty());
    EXPECT_FALSE(props.Empty());
    EXPECT_TRUE(DocumentProperties().Empty());
    EXPECT_STREQ("last_saved_by", DocPropertyKey(DocProperty::LastSavedBy));
}

TEST(PropertyValueTest, Filetimes)
{
    struct Case {
        uint64_t qw;
        const char *psz;
    } rgCase[] = {
        {1, "1601-01-01T00:00:00Z"},
        {Filetime(0), "1970-01-01T00:00:00Z"},
        {Filetime(951782400 - 1), "2000-02-28T23:59:59Z"},
        {Filetime(4107542399LL), "2100-02-28T23:59:59Z"},
        {Filetime(4107542400LL), "2100-03-01T00:00:00Z"},
        {Filetime(253402300799LL), "9999-12-31T23:59:59Z"},
        {Filetime(253402300800LL), "+10000-01-01T00:00:00Z"}, // expanded: the sign says five digits
        {~0ull, "+60056-05-28T05:36:10Z"},
    };
    for (const Case &c : rgCase) {
        Read read = ReadStream(Stream({{fmtidSummary, Section({{12, Fixed(64, c.qw, 8)}})}}));
        EXPECT_EQ(c.psz, read.props.Value(DocProperty::Created)) << c.qw;
    }
}

TEST(PropertyValueTest, UserDefined)
{
    uint64_t qwHalf = 0x3FE0000000000000ull; // 0.5
    Bytes user = Section({{0, Dictionary({{2, Ascii("Client")},
                                          {3, Ascii("Offset")},
                                          {4, Ascii("Rate")},
                                          {5, Ascii("Approved")},
                                          {6, Ascii("Due")},
                                          {7, Ascii("Wide")},
                                          {9, Ascii("Picture")}},
                                         false)},
                          {1, I2(1252)},
                          {2, Lpstr(Ascii("\xDCn\xEF"))},
                          {3, Fixed(3, 0xFFFFFFD6, 4)},
                          {4, Fixed(5, qwHalf, 8)},
                          {5, Fixed(11, 0xFFFF, 4)},
                          {6, Fixed(64, Filetime(0), 8)},
                          {7, Lpwstr("日本語")},
                          {8, Fixed(20, (uint64_t)-5, 8)},
                          {9, Fixed(0x47, 0, 4)}, // a picture: not text
                          {0x80000000u, Fixed(19, 1033, 4)}});
    Read read = ReadStream(Stream({{fmtidDocSummary, Section({{1, I2(1252)}})}, {fmtidUser, user}}));
    EXPECT_TRUE(read.rgWarning.empty());
    std::vector<std::pair<std::string, std::string>> expected = {{"Client", "Ünï"},
                                                                 {"Offset", "-42"},
                                                                 {"Rate", "0.5"},
                                                                 {"Approved", "TRUE"},
                                                                 {"Due", "1970-01-01T00:00:00Z"},
                                                                 {"Wide", "日本語"},
                                                                 {"8", "-5"}};
    EXPECT_EQ(expected, read.props.rgCustom);

    // In a Unicode section the names are UTF-16, each padded to four bytes, and so are 8-bit
    // strings' bytes.
    Bytes unicode = Section({{0, Dictionary({{2, Utf16("Отдел")}, {3, Utf16("ab")}}, true)},
                             {1, I2(1200)},
                             {2, Lpstr(Cat({Utf16("значение"), Le16(0)}))},
                             {3, Fixed(2, 0xFFFE, 4)}});
    read = ReadStream(Stream({{fmtidUser, unicode}}));
    EXPECT_TRUE(read.rgWarning.empty());
    expected = {{"Отдел", "значение"}, {"ab", "-2"}};
    EXPECT_EQ(expected, read.props.rgCustom);
}

TEST(PropertyValueTest, CodePagesIconvKnows)
{
    // Windows numbers for pages iconv names otherwise: each decodes, without a warning.
    struct Case {
        int16_t nCodePage;
        Bytes bytes;
        const char *psz;
    } rgCase[] = {
        {-535, Ascii("\xE4\xBD\x9C\xE8\x80\x85 Zo\xC3\xAB"), "作者 Zoë"}, // 65001
        {28595, Ascii("\xB8\xD2\xD0\xDD"), "Иван"},                       // ISO-8859-5
        {20866, Ascii("\xE9\xD7\xC1\xCE"), "Иван"},                       // KOI8-R
        {-13604, Ascii("\xBB\xB3\xC5\xC4"), "山田"},                      // 51932 EUC-JP
        {-10600, Ascii("\xCD\xF5\xD0\xA1\xC3\xF7"), "王小明"},            // 54936 GB18030
        {1201, Bytes{0x00, 'A', 0x04, 0x10, 0x00}, "AА"},                 // UTF-16BE
    };
    for (const Case &c : rgCase) {
        Bytes summary = Section({{1, I2(c.nCodePage)}, {4, Lpstr(c.bytes)}});
        Read read = ReadStream(Stream({{fmtidSummary, summary}}));
        EXPECT_EQ(c.psz, read.props.Value(DocProperty::Author)) << c.nCodePage;
        EXPECT_TRUE(read.rgWarning.empty()) << c.nCodePage;
    }
}

} // namespace
