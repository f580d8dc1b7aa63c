// Tests of the property-set reader: streams built section by section for each value type and
// code page, each damage (counts, offsets and lengths past the end, values that overlap), and
// the properties of the generated workbooks read from their compound documents.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "cfb/CompoundFile.h"
#include "support/Biff.h"
#include "workbook/PropertySet.h"

namespace {

const Bytes fmtidSummary = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                            0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
const Bytes fmtidDocSummary = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                               0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
const Bytes fmtidUser = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                         0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

Bytes Pad4(Bytes b)
{
    b.resize((b.size() + 3) / 4 * 4);
    return b;
}

Bytes Lpstr(const Bytes &text)
{
    return Pad4(Cat({Le32(30), Le32(static_cast<uint32_t>(text.size() + 1)), text, {0}}));
}

Bytes Lpwstr(const std::string &s)
{
    Bytes units = Cat({Utf16(s), Le16(0)});
    return Pad4(Cat({Le32(31), Le32(static_cast<uint32_t>(units.size() / 2)), units}));
}

Bytes I2(int16_t n)
{
    return Cat({Le32(2), Le16(static_cast<uint16_t>(n)), Le16(0)});
}

Bytes Fixed(uint32_t vt, uint64_t qw, size_t cb)
{
    Bytes b = Le32(vt);
    for (size_t i = 0; i < cb; i++) {
        b.push_back(static_cast<uint8_t>(qw >> (8 * i)));
    }
    return b;
}

// A section of (id, value) pairs, the code page first when given.
Bytes Section(const std::vector<std::pair<uint32_t, Bytes>> &rgProp)
{
    Bytes table, values;
    size_t ibFirst = 8 + 8 * rgProp.size();
    for (const auto &prop : rgProp) {
        table = Cat({table, Le32(prop.first), Le32(static_cast<uint32_t>(ibFirst + values.size()))});
        values = Cat({values, prop.second});
    }
    return Cat({Le32(static_cast<uint32_t>(ibFirst + values.size())),
                Le32(static_cast<uint32_t>(rgProp.size())), table, values});
}

Bytes Stream(const std::vector<std::pair<Bytes, Bytes>> &rgSection)
{
    Bytes head = Cat(
        {Le16(0xFFFE), Le16(0), Le32(0x00020006), Bytes(16), Le32(static_cast<uint32_t>(rgSection.size()))});
    Bytes table, body;
    size_t ibFirst = head.size() + 20 * rgSection.size();
    for (const auto &section : rgSection) {
        table = Cat({table, section.first, Le32(static_cast<uint32_t>(ibFirst + body.size()))});
        body = Cat({body, section.second});
    }
    return Cat({head, table, body});
}

struct Read {
    DocumentProperties props;
    std::vector<std::string> rgWarning;
};

Read ReadStream(const Bytes &stream)
{
    Bytes exact(stream.begin(), stream.end());
    exact.shrink_to_fit();
    Read read;
    ReadPropertySetStream(exact.data(), exact.size(), &read.props, &read.rgWarning);
    return read;
}

uint64_t Filetime(int64_t nUnixSeconds)
{
    return (uint64_t)(nUnixSeconds + 11644473600LL) * 10000000 + 1234567;
}

TEST(PropertySetTest, SummaryValues)
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

TEST(PropertySetTest, Filetimes)
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

Bytes Dictionary(const std::vector<std::pair<uint32_t, Bytes>> &rgEntry, bool fUnicode)
{
    Bytes dict = Le32(static_cast<uint32_t>(rgEntry.size()));
    for (const auto &entry : rgEntry) {
        size_t cch = fUnicode ? entry.second.size() / 2 + 1 : entry.second.size() + 1;
        Bytes name = Cat({entry.second, fUnicode ? Le16(0) : Bytes{0}});
        dict = Cat({dict, Le32(entry.first), Le32(static_cast<uint32_t>(cch)), fUnicode ? Pad4(name) : name});
    }
    return Pad4(dict);
}

TEST(PropertySetTest, UserDefined)
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

TEST(PropertySetTest, Damage)
{
    Bytes good = Section({{1, I2(1252)}, {2, Lpstr(Ascii("Title"))}, {4, Lpstr(Ascii("Author"))}});
    Bytes stream = Stream({{fmtidSummary, good}});
    struct Case {
        const char *pszName;
        Bytes stream;
        const char *pszTitle;
        const char *pszAuthor;
    } rgCase[] = {
        {"no header", Bytes(27, 0), "", ""},
        {"wrong byte order", Cat({Le16(0xFEFF), Bytes(stream.begin() + 2, stream.end())}), "", ""},
        {"a million sections",
         Cat({Bytes(stream.begin(), stream.begin() + 24), Le32(1000000),
              Bytes(stream.begin() + 28, stream.end())}),
         "Title", "Author"},
        {"section outside the stream",
         Cat({Bytes(stream.begin(), stream.begin() + 44), Le32(0x7FFFFFF0),
              Bytes(stream.begin() + 48, stream.end())}),
         "", ""},
        {"section larger than the stream",
         Cat({Bytes(stream.begin(), stream.begin() + 48), Le32(0xFFFFFFFF),
              Bytes(stream.begin() + 52, stream.end())}),
         "Title", "Author"},
        {"a billion properties",
         Cat({Bytes(stream.begin(), stream.begin() + 52), Le32(1000000000),
              Bytes(stream.begin() + 56, stream.end())}),
         "Title", "Author"},
        {"a property pointing far",
         Stream({{fmtidSummary, Section({{2, Lpstr(Ascii("T"))}, {4, Lpstr(Ascii("A"))}})}}), "T", ""},
        {"string longer than its section",
         Stream({{fmtidSummary, Section({{2, Cat({Le32(30), Le32(0xFFFFFFFF), Ascii("Cut title")})}})}}),
         "Cut title", ""},
        {"wide string longer than its section",
         Stream({{fmtidSummary, Section({{2, Cat({Le32(31), Le32(0x80000001), Utf16("Wide")})}})}}), "Wide",
         ""},
        {"type field cut", Stream({{fmtidSummary, Section({{2, Le16(30)}})}}), "", ""},
        {"code page no system knows",
         Stream({{fmtidSummary, Section({{1, I2(12345)}, {2, Lpstr(Ascii("\xE9"))}})}}), "é", ""},
    };
    // The offset of the section's second property (the stream's header and its one section
    // take 48 bytes, then the section's size and count): point it outside.
    Bytes &far = rgCase[6].stream;
    far[48 + 8 + 8 + 4 + 1] = 0xF0;
    for (const Case &c : rgCase) {
        Read read = ReadStream(c.stream);
        EXPECT_EQ(c.pszTitle, read.props.Value(DocProperty::Title)) << c.pszName;
        EXPECT_EQ(c.pszAuthor, read.props.Value(DocProperty::Author)) << c.pszName;
        EXPECT_FALSE(read.rgWarning.empty()) << c.pszName;
    }
    // Every cut of a whole stream: no read past it, only warnings.
    Bytes whole =
        Stream({{fmtidDocSummary, Section({{1, I2(1252)}, {15, Lpstr(Ascii("Company"))}})},
                {fmtidUser, Section({{0, Dictionary({{2, Ascii("Name")}}, false)}, {2, Lpwstr("v")}})}});
    for (size_t cb = 0; cb < whole.size(); cb++) {
        Read read = ReadStream(Bytes(whole.begin(), whole.begin() + cb));
        EXPECT_FALSE(read.rgWarning.empty()) << cb;
        EXPECT_EQ(0u, std::string("Company").find(read.props.Value(DocProperty::Company))) << cb;
    }
}

TEST(PropertySetTest, OverlappingValuesStayLinear)
{
    // Fifty thousand user properties, all pointing at one string of 40,000 bytes: read each
    // and the text would be 2 GB.
    const size_t cProp = 50000;
    Bytes text(40000, 'x');
    Bytes table;
    size_t ibValue = 8 + 8 * cProp;
    for (size_t i = 0; i < cProp; i++) {
        for (const Bytes &field :
             {Le32(static_cast<uint32_t>(i + 2)), Le32(static_cast<uint32_t>(ibValue))}) {
            table.insert(table.end(), field.begin(), field.end());
        }
    }
    Bytes value = Lpstr(text);
    Bytes section = Cat({Le32(static_cast<uint32_t>(ibValue + value.size())), Le32(cProp), table, value});
    Bytes stream = Stream({{fmtidUser, section}});
    Read read = ReadStream(stream);
    size_t cbText = 0;
    for (const auto &prop : read.props.rgCustom) {
        cbText += prop.second.size();
    }
    EXPECT_LE(cbText, stream.size());
    EXPECT_GE(cbText, text.size());
    EXPECT_FALSE(read.rgWarning.empty());
}

// The output of the user-defined properties: their names and values.
size_t CbCustom(const DocumentProperties &props)
{
    size_t cb = 0;
    for (const auto &prop : props.rgCustom) {
        cb += prop.first.size() + prop.second.size();
    }
    return cb;
}

TEST(PropertySetTest, RepeatsStayLinear)
{
    // One user-defined section of a thousand numbers, listed two hundred times at its offset:
    // read once, its properties are there once.
    const uint32_t cProp = 1000;
    std::vector<std::pair<uint32_t, Bytes>> rgProp = {{1, I2(1252)}};
    for (uint32_t i = 0; i < cProp; i++) {
        rgProp.push_back({i + 2, Fixed(3, i, 4)});
    }
    Bytes user = Section(rgProp);
    std::vector<std::pair<Bytes, Bytes>> rgSection(200, {fmtidUser, Bytes()});
    rgSection[0].second = user;
    Bytes stream = Stream(rgSection);
    for (size_t i = 1; i < rgSection.size(); i++) { // every entry at the first one's offset
        std::copy(stream.begin() + 48 + 16, stream.begin() + 48 + 20, stream.begin() + 48 + 20 * i + 16);
    }
    Read read = ReadStream(stream);
    EXPECT_EQ(cProp, read.props.rgCustom.size());
    EXPECT_EQ((std::pair<std::string, std::string>("1001", "999")), read.props.rgCustom.back());
    EXPECT_FALSE(read.rgWarning.empty());

    // A name of 30,000 characters given to 3,000 numbers: its copies are charged, so the output
    // stays within a few times the stream, and the first properties keep their name.
    std::vector<std::pair<uint32_t, Bytes>> rgLong = {{0, Dictionary({{2, Bytes(30000, 'n')}}, false)},
                                                      {1, I2(1252)}};
    for (uint32_t i = 0; i < 3000; i++) {
        rgLong.push_back({2, Fixed(3, i, 4)});
    }
    stream = Stream({{fmtidUser, Section(rgLong)}});
    read = ReadStream(stream);
    EXPECT_LE(CbCustom(read.props), 4 * stream.size());
    ASSERT_GE(read.props.rgCustom.size(), 2u);
    EXPECT_EQ(std::string(30000, 'n'), read.props.rgCustom[1].first);
    EXPECT_EQ("1", read.props.rgCustom[1].second);
    EXPECT_FALSE(read.rgWarning.empty());

    // Ten thousand sections at distinct offsets into one run of (size, count) pairs: each
    // sees a table of 20,000 entries, none of them shown. Walked whole, that is 200 million
    // entries; charged, the walks stop at the budget.
    const uint32_t cSection = 10000;
    stream = Cat({Le16(0xFFFE), Le16(0), Le32(0x00020006), Bytes(16), Le32(cSection)});
    size_t ibRun = stream.size() + 20 * cSection;
    for (uint32_t i = 0; i < cSection; i++) {
        for (const Bytes &field : {fmtidSummary, Le32(static_cast<uint32_t>(ibRun + 8 * i))}) {
            stream.insert(stream.end(), field.begin(), field.end());
        }
    }
    Bytes pair = Cat({Le32(0x7FFFFFFF), Le32(20000)});
    for (int i = 0; i < 25000; i++) {
        stream.insert(stream.end(), pair.begin(), pair.end());
    }
    read = ReadStream(stream);
    EXPECT_TRUE(read.props.Empty());
    EXPECT_NE(std::find(read.rgWarning.begin(), read.rgWarning.end(),
                        "damaged document properties: their values overlap; the rest are left out"),
              read.rgWarning.end());
}

TEST(PropertySetTest, CodePagesIconvKnows)
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

struct FileCase {
    const char *pszFile;
    std::vector<std::pair<DocProperty, const char *>> rgValue;
    std::vector<std::pair<std::string, std::string>> rgCustom;
};

TEST(PropertySetTest, GeneratedWorkbooks)
{
    FileCase rgCase[] = {
        {"gen-extras.xls",
         {{DocProperty::Title, "Carrefour"},
          {DocProperty::Subject, "Générique"},
          {DocProperty::Author, "SIRRI EKER"},
          {DocProperty::Keywords, "Testing Sample Formulas"},
          {DocProperty::Comments, "Line one\r\nline two"},
          {DocProperty::LastSavedBy, "Saver Person"},
          {DocProperty::Application, "cellsift generator"},
          {DocProperty::Created, "2006-02-01T09:30:15Z"},
          {DocProperty::LastSaved, "2024-12-31T23:59:59Z"},
          {DocProperty::Company, "Cingular Wireless"},
          {DocProperty::Manager, "Ms Manager"},
          {DocProperty::Category, "Reports"}},
         {{"Client", "Ünïcode text"},
          {"Offset", "-42"},
          {"Rate", "2.5"},
          {"Approved", "TRUE"},
          {"Due", "2020-02-29T12:00:00Z"},
          {"Wide", "日本語"}}},
        {"gen-extras-biff7.xls",
         {{DocProperty::Title, "Отчёт о продажах"},
          {DocProperty::Author, "Иван Петров"},
          {DocProperty::Company, "ООО «Ромашка»"}},
         {{"Отдел", "значение"}}},
        {"lo-extras.xls",
         {{DocProperty::Title, "Obstverkauf 2024"},
          {DocProperty::Subject, "Früchte und Äpfel"},
          {DocProperty::Author, "Zoë Creator"},
          {DocProperty::LastSavedBy, "Saver Person"},
          {DocProperty::Created, "2024-03-01T13:45:07Z"}},
         {{"Budget", "1234.5"}, {"Project", "Cellsift Ω"}, {"Reviewed", "TRUE"}}},
        {"gen-extras-cjk.xls", // every set in UTF-8
         {{DocProperty::Title, "季度财务报表"},
          {DocProperty::Author, "王小明"},
          {DocProperty::LastSavedBy, "李华"},
          {DocProperty::Company, "北京某某有限公司"}},
         {{"部门", "财务部"}}},
        {"lo-cjk.xls", {{DocProperty::Title, "财务报表"}, {DocProperty::Author, "王小明"}}, {}},
    };
    for (const FileCase &c : rgCase) {
        std::string path = std::string(CELLSIFT_SOURCE_DIR) + "/tests/workbook/extras/" + c.pszFile;
        int fd = open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0) << path;
        CfbFile file;
        ASSERT_EQ(CfbResult::Ok, CfbOpenFile(fd, (uint64_t)lseek(fd, 0, SEEK_END), &file)) << path;
        DocumentProperties props;
        std::vector<std::string> rgWarning;
        ReadDocumentProperties(&file, &props, &rgWarning);
        close(fd);
        EXPECT_TRUE(rgWarning.empty()) << c.pszFile;
        for (const auto &value : c.rgValue) {
            EXPECT_EQ(value.second, props.Value(value.first))
                << c.pszFile << " " << DocPropertyKey(value.first);
        }
        EXPECT_EQ(c.rgCustom, props.rgCustom) << c.pszFile;
    }
}

} // namespace
