// Tests of the property-set reader's framing: each damage (counts, offsets and lengths past the
// end, values that overlap, sections repeated) and the properties of the generated workbooks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "PropertyStreams.h"
#include "cfb/CompoundFile.h"

namespace {

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
