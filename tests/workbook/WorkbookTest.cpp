// Tests of the Unicode workbook reader: workbook streams built record by record for each rule
// and each damage, real workbooks read from a path and from memory, and the linear bound.
#include <gtest/gtest.h>

#include <errno.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ReaderFixture.h"
#include "numformat/CellValue.h"
#include "output/OutputForms.h"
#include "support/Biff.h"
#include "support/CfbWriter.h"
#include "workbook/Workbook.h"

namespace {

struct StringCase {
    const char *szWhat;
    Bytes sst; // the SST record and its CONTINUE records
    std::vector<std::string> cells;
};

TEST(WorkbookReader, StringsDecodeToUtf8)
{
    Bytes emoji = Utf16("\xF0\x9F\x98\x80"); // U+1F600 as a surrogate pair
    std::vector<StringCase> cases = {
        {"8-bit is Latin-1",
         Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(4), {0}, Latin1("Caf\xE9")})),
         {"0:0:0 text Caf\xC3\xA9"}},
        {"a surrogate pair is one code point",
         Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(2), {1}, emoji})),
         {"0:0:0 text \xF0\x9F\x98\x80"}},
        {"a lone surrogate is U+FFFD",
         Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(2), {1}, Le16(0xD800), Le16('A')})),
         {"0:0:0 text \xEF\xBF\xBD"
          "A"}},
        {"rich-text runs and the Far-East block are stepped over",
         Rec(0x00FC, Cat({Le32(2),
                          Le32(2),
                          Le16(2),
                          {0x0C},
                          Le16(1),
                          Le32(3),
                          Latin1("ab"),
                          Le32(0x00010000),
                          {9, 9, 9},
                          Str16("next")})),
         {"0:0:0 text ab", "0:0:1 text next"}},
        {"characters cut by CONTINUE change width there",
         Cat({Rec(0x00FC, Cat({Le32(2), Le32(2), Le16(6), {0}, Latin1("abc")})),
              Rec(0x003C, Cat({{1}, Utf16("\xD0\x96\xD0\xB6\xD0\xA9")})), Rec(0x003C, Str16("tail"))}),
         {"0:0:0 text abc\xD0\x96\xD0\xB6\xD0\xA9", "0:0:1 text tail"}},
        {"a header cut by CONTINUE reads on",
         Cat({Rec(0x00FC, Cat({Le32(2), Le32(2), Str16("x"), {2}})),
              Rec(0x003C, Cat({{0}, {0}, Latin1("yz")}))}),
         {"0:0:0 text x", "0:0:1 text yz"}},
        {"a table cut short keeps the strings it has",
         Rec(0x00FC, Cat({Le32(3), Le32(3), Str16("one"), Le16(50), {0}, Latin1("tw")})),
         {"0:0:0 text one", "0:0:1 text tw"}},
    };
    for (const StringCase &c : cases) {
        Bytes cells;
        for (uint16_t i = 0; i < c.cells.size(); i++) {
            cells = Cat({cells, Rec(0x00FD, Cat({Cell3(0, i, 0), Le32(i)}))});
        }
        Collector got = ReadStream(Workbook(c.sst, {{"S", cells}}));
        EXPECT_EQ(Cells(got), c.cells) << c.szWhat;
    }
}

TEST(WorkbookReader, MoreThan65536SharedStrings)
{
    const uint32_t cStrings = 70000;
    std::vector<Bytes> strings;
    for (uint32_t i = 0; i < cStrings; i++) {
        strings.push_back(Str16("s" + std::to_string(i)));
    }
    Bytes sst;
    Bytes part = Cat({Le32(cStrings), Le32(cStrings)});
    uint16_t wType = 0x00FC;
    for (const Bytes &s : strings) {
        if (part.size() + s.size() > 8224) {
            sst = Cat({sst, Rec(wType, part)});
            part.clear();
            wType = 0x003C;
        }
        part.insert(part.end(), s.begin(), s.end());
    }
    sst = Cat({sst, Rec(wType, part)});
    Bytes cells = Cat({Rec(0x00FD, Cat({Cell3(0, 0, 0), Le32(65536)})),
                       Rec(0x00FD, Cat({Cell3(1, 0, 0), Le32(cStrings - 1)})),
                       Rec(0x00FD, Cat({Cell3(2, 0, 0), Le32(cStrings)}))});
    Collector got = ReadStream(Workbook(sst, {{"S", cells}}));
    EXPECT_EQ(Cells(got), (std::vector<std::string>{"0:0:0 text s65536", "0:1:0 text s69999"}));
    EXPECT_EQ(got.lines.back(), "warning a cell refers to shared string 70000, which is not there");
}

TEST(WorkbookReader, CellRecordsAndFormulaResults)
{
    Bytes sheet = Cat({
        Rec(0x0203, Cat({Cell3(0, 0, 0), Double(0.1)})),
        Rec(0x027E, Cat({Cell3(0, 1, 0), Le32((1234u << 2) | 2u)})),  // integer
        Rec(0x027E, Cat({Cell3(0, 2, 0), Le32((12345u << 2) | 3u)})), // integer / 100
        Rec(0x00BD, Cat({Le16(1), Le16(3), Le16(0), Le32((7u << 2) | 2u), Le16(0), Le32(0x3FF00000u),
                         Le16(4)})), // MULRK: 7, 1.0
        Rec(0x0205, Cat({Cell3(2, 0, 0), {1, 0}})),
        Rec(0x0205, Cat({Cell3(2, 1, 0), {0x07, 1}})),
        Rec(0x0201, Cell3(2, 2, 0)), // BLANK: no cell
        Rec(0x0006, Cat({Cell3(3, 0, 0), Double(1e21), Le16(0), Le32(0), Le16(0)})),
        Rec(0x0006, Cat({Cell3(3, 1, 0), {0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, Le16(0), Le32(0), Le16(0)})),
        Rec(0x0207, Str16("Итог")),
        Rec(0x0006, Cat({Cell3(3, 2, 0), {1, 0, 1, 0, 0, 0, 0xFF, 0xFF}, Le16(0), Le32(0), Le16(0)})),
        Rec(0x0006, Cat({Cell3(3, 3, 0), {2, 0, 0x2A, 0, 0, 0, 0xFF, 0xFF}, Le16(0), Le32(0), Le16(0)})),
        Rec(0x0006, Cat({Cell3(3, 4, 0), {3, 0, 0, 0, 0, 0, 0xFF, 0xFF}, Le16(0), Le32(0), Le16(0)})),
        Rec(0x0204, Cat({Cell3(4, 0, 0), Str16("label ü")})),
        Rec(0x0203, Cat({Cell3(4, 1, 0), Double(-0.0)})),
        Rec(0x0203, Cat({Cell3(4, 2, 0), Double(1e300 * 1e300)})),
    });
    Collector got = ReadStream(Workbook({}, {{"S", sheet}}));
    EXPECT_EQ(Cells(got), (std::vector<std::string>{
                              "0:0:0 number 0.1", "0:0:1 number 1234", "0:0:2 number 123.45",
                              "0:1:3 number 7", "0:1:4 number 1", "0:2:0 bool TRUE", "0:2:1 error #DIV/0!",
                              "0:3:0 number 1e+21", "0:3:1 text Итог", "0:3:2 bool TRUE", "0:3:3 error #N/A",
                              "0:3:4 text ", "0:4:0 text label ü", "0:4:1 number 0", "0:4:2 error #NUM!"}));
}

TEST(WorkbookReader, NumbersAndDatesAsText)
{
    struct {
        double d;
        bool f1904;
        const char *szDate; // null: no date
    } dates[] = {
        {45352, false, "2024-03-01"},
        {45352 + (13 * 60 + 45) / 1440.0, false, "2024-03-01T13:45:00"},
        {(13 * 60 + 45) / 1440.0, false, "13:45:00"},
        {1, false, "1900-01-01"},
        {59, false, "1900-02-28"},
        {60, false, "1900-02-29"},
        {61, false, "1900-03-01"},
        {2958465, false, "9999-12-31"},
        {2958466, false, nullptr},
        {-1, false, nullptr},
        {1, true, "1904-01-02"},
        {43890, true, "2024-03-01"},
        {0.5, true, "12:00:00"},
        {0.99999999, false, "1900-01-01"}, // rounds up to the next day's midnight
    };
    for (const auto &c : dates) {
        std::string s;
        bool fDate = AppendDate(c.d, c.f1904, &s);
        EXPECT_EQ(fDate, c.szDate != nullptr) << c.d;
        if (c.szDate != nullptr) {
            EXPECT_EQ(s, c.szDate) << c.d;
        }
    }
    struct {
        double d;
        const char *sz;
    } numbers[] = {{1, "1"},
                   {0.1, "0.1"},
                   {-42, "-42"},
                   {1000000, "1000000"},
                   {123.456, "123.456"},
                   {1e21, "1e+21"},
                   {1.0 / 3, "0.3333333333333333"},
                   {-0.0, "0"}};
    for (const auto &c : numbers) {
        std::string s;
        AppendNumber(c.d, &s);
        EXPECT_EQ(s, c.sz);
    }
    struct {
        const char *szFormat;
        bool fDate;
    } formats[] = {{"yyyy-mm-dd", true},   {"h:mm", true},      {"0.00", false},
                   {"General", false},     {"\"day\"0", false}, {"[Red]0.0", false},
                   {"[$-409]d-mmm", true}, {"\\d0", false},     {"#,##0 \"ms\"", false},
                   {"dd/mm/yyyy;@", true}, {"@", false}};
    for (const auto &c : formats) {
        EXPECT_EQ(IsDateFormatString(c.szFormat), c.fDate) << c.szFormat;
    }
}

TEST(WorkbookReader, DateCellsFollowTheirFormat)
{
    Bytes xfBody = Cat({Le16(0), Le16(0), Bytes(16, 0)});
    Bytes globals = Cat({
        Rec(0x0022, Le16(1)), // the 1904 system
        Rec(0x041E, Cat({Le16(164), Str16("dd\\.mm\\.yyyy")})),
        Rec(0x041E, Cat({Le16(165), Str16("0.0\" h\"")})),
        Rec(0x00E0, xfBody),
        Rec(0x00E0, Cat({Le16(0), Le16(14), Bytes(16, 0)})),
        Rec(0x00E0, Cat({Le16(0), Le16(164), Bytes(16, 0)})),
        Rec(0x00E0, Cat({Le16(0), Le16(165), Bytes(16, 0)})),
    });
    Bytes sheet = Cat(
        {Rec(0x0203, Cat({Cell3(0, 0, 0), Double(43890)})), Rec(0x0203, Cat({Cell3(0, 1, 1), Double(43890)})),
         Rec(0x027E, Cat({Cell3(0, 2, 2), Le32((43890u << 2) | 2u)})),
         Rec(0x0203, Cat({Cell3(0, 3, 3), Double(43890)})), Rec(0x0203, Cat({Cell3(0, 4, 1), Double(-5)}))});
    Collector got = ReadStream(Workbook(globals, {{"S", sheet}}));
    EXPECT_EQ(got.lines[0], "workbook - biff8 cp-1 1904");
    EXPECT_EQ(Cells(got),
              (std::vector<std::string>{"0:0:0 number 43890", "0:0:1 date 2024-03-01",
                                        "0:0:2 date 2024-03-01", "0:0:3 number 43890", "0:0:4 number -5"}));
}

TEST(WorkbookReader, ByteStringsInTheirCodePage)
{
    struct {
        int nCodePage; // -1: no CODEPAGE record
        Bytes text;
        const char *szUtf8;
    } cases[] = {
        {-1,
         {0x80, 'x'},
         "\xE2\x82\xAC"
         "x"},
        {1252,
         {0xDC, 'b'},
         "\xC3\x9C"
         "b"},
        {1251, {0xCF, 0xF0, 0xE8}, "\xD0\x9F\xD1\x80\xD0\xB8"},
        {1250, {0x8A}, "\xC5\xA0"},
        {1253, {0xE1}, "\xCE\xB1"},
        {932, {0x93, 0xFA, 0x96, 0x7B}, "\xE6\x97\xA5\xE6\x9C\xAC"},
        {936, {0xD6, 0xD0}, "\xE4\xB8\xAD"},
        {10000, {0x8A}, "\xC3\xA4"},
        {32768, {0x8A}, "\xC3\xA4"},
        {1200, Utf16("\xD0\xAF"), "\xD0\xAF"},
        {367, {'a', 0xFF}, "a\xEF\xBF\xBD"},
    };
    for (const auto &c : cases) {
        Bytes globals = c.nCodePage < 0 ? Bytes() : Rec(0x0042, Le16(static_cast<uint16_t>(c.nCodePage)));
        Bytes sheet = Rec(0x0204, Cat({Cell3(0, 0, 0), Le16(static_cast<uint16_t>(c.text.size())), c.text}));
        Collector got = ReadStream(Workbook(globals, {{"S", sheet}}, 0x0500));
        EXPECT_EQ(got.lines[0], "workbook - biff7 cp" + std::to_string(c.nCodePage));
        EXPECT_EQ(Cells(got), std::vector<std::string>{std::string("0:0:0 text ") + c.szUtf8}) << c.nCodePage;
    }
}

TEST(WorkbookReader, SheetsFoundByTheirOffsets)
{
    // The stream holds the sheets in one order; the BOUNDSHEETs name them in the other. B is a
    // chart sheet: what it caches of the values it plots is no cell.
    Bytes first = Cat({Bof(0x0010), Rec(0x0204, Cat({Cell3(0, 0, 0), Str16("in A")})), Eof()});
    Bytes second = Cat({Bof(0x0020), Rec(0x0204, Cat({Cell3(0, 0, 0), Str16("in B")})), Eof()});
    auto BoundSheet = [](uint32_t ib, uint8_t bState, uint8_t bType, const std::string &name) {
        return Rec(0x0085, Cat({Le32(ib), {bState, bType, uint8_t(name.size()), 0}, Latin1(name)}));
    };
    size_t cbGlobals = Bof(5).size() + 3 * (4 + 8 + 1) + Eof().size();
    uint32_t ibFirst = static_cast<uint32_t>(cbGlobals), ibSecond = ibFirst + first.size();
    Bytes stream = Cat({Bof(5), BoundSheet(ibSecond, 1, 2, "B"), BoundSheet(ibFirst, 0, 0, "A"),
                        BoundSheet(ibFirst, 0, 0, "C"), Eof(), first, second});
    Collector got = ReadStream(stream);
    EXPECT_EQ(got.lines, (std::vector<std::string>{
                             "workbook - biff8 cp-1", "sheet 0 B chart hidden", "sheet 1 A worksheet",
                             "1:0:0 text in A", "sheet 2 C worksheet",
                             "warning sheet 'C' points into data already read; it is left empty"}));
}

// A sheet whose substream never closes (a nested BOF is not ended) stops where the next sheet
// starts, which is read in full rather than lost inside it.
TEST(WorkbookReader, ASheetWithoutItsEofEndsAtTheNextSheet)
{
    Bytes number = Rec(0x0203, Cat({Cell3(0, 0, 0), Double(7)}));
    Collector got = ReadStream(Workbook({}, {{"Open", Cat({number, Bof(0x0020)})}, {"Next", number}}));
    EXPECT_EQ(got.lines,
              (std::vector<std::string>{
                  "workbook - biff8 cp-1", "sheet 0 Open worksheet", "0:0:0 number 7",
                  "warning sheet 'Open' ends before its EOF record: the workbook is cut short or damaged",
                  "sheet 1 Next worksheet", "1:0:0 number 7"}));
}

TEST(WorkbookReader, SheetsNotWantedAreWalkedNotRead)
{
    // A sheet declined is skipped to its end: its cells and notes are not visited, and a later
    // sheet that points into it is still refused.
    struct Declining : Collector {
        bool WantsSheet(const SheetInfo &info) override { return info.name != "A"; }
    };
    Bytes first = Cat({Bof(0x0010), Rec(0x0204, Cat({Cell3(0, 0, 0), Str16("in A")})),
                       Rec(0x001C, Cat({Le16(0), Le16(0), Le16(0), Le16(1), Str16("X"), {0}})), Eof()});
    Bytes second = Cat({Bof(0x0010), Rec(0x0204, Cat({Cell3(1, 2, 0), Str16("in B")})), Eof()});
    auto BoundSheet = [](uint32_t ib, const std::string &name) {
        return Rec(0x0085, Cat({Le32(ib), {0, 0, uint8_t(name.size()), 0}, Latin1(name)}));
    };
    size_t cbGlobals = Bof(5).size() + 3 * (4 + 8 + 1) + Eof().size();
    uint32_t ibFirst = static_cast<uint32_t>(cbGlobals), ibSecond = ibFirst + first.size();
    Bytes bytes = Cat({Bof(5), BoundSheet(ibFirst, "A"), BoundSheet(ibFirst, "C"), BoundSheet(ibSecond, "B"),
                       Eof(), first, second});
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    Declining got;
    WorkbookError error;
    ASSERT_TRUE(ReadWorkbook(stream, got, &error));
    EXPECT_EQ(got.lines,
              (std::vector<std::string>{"workbook - biff8 cp-1", "sheet 0 A worksheet", "sheet 1 C worksheet",
                                        "warning sheet 'C' points into data already read; it is left empty",
                                        "sheet 2 B worksheet", "2:1:2 text in B"}));
}

TEST(WorkbookReader, CommentsAndTextBoxes)
{
    auto Obj = [](uint16_t ot, uint16_t id) {
        return Rec(0x005D, Cat({Le16(0x15), Le16(18), Le16(ot), Le16(id), Bytes(14, 0), Le32(0)}));
    };
    auto Txo = [](uint16_t cch) { return Rec(0x01B6, Cat({Bytes(10, 0), Le16(cch), Le16(16), Le32(0)})); };
    Bytes sheet = Cat({
        Obj(0x19, 1),
        Txo(7),
        Rec(0x003C, Cat({{0}, Latin1("Hel")})),
        Rec(0x003C, Cat({{1}, Utf16("lo \xD0\xAF")})),
        Rec(0x003C, Bytes(16, 0)),
        Obj(6, 2),
        Txo(3),
        Rec(0x003C, Cat({{0}, Latin1("box")})),
        Rec(0x001C, Cat({Le16(4), Le16(2), Le16(0), Le16(1), Str16("\xD0\x90нна"), {0}})),
        Rec(0x001C, Cat({Le16(5), Le16(0), Le16(0), Le16(9), Str16("Nobody"), {0}})),
    });
    Collector got = ReadStream(Workbook({}, {{"S", sheet}}));
    EXPECT_EQ(got.lines, (std::vector<std::string>{"workbook - biff8 cp-1", "sheet 0 S worksheet",
                                                   "comment 4:2 \xD0\x90нна: Hello \xD0\xAF",
                                                   "warning a comment's text is missing",
                                                   "comment 5:0 Nobody: ", "textbox box"}));
}

TEST(WorkbookReader, WriterNames)
{
    struct {
        Bytes body;
        uint16_t wVers;
        const char *szAuthor;
    } cases[] = {
        {Cat({Str16("Анна"), Bytes(100, ' ')}), 0x0600, "Анна"},
        {Cat({Latin1("Olga Writer"), Bytes(101, ' ')}), 0x0600, "Olga Writer"}, // no count, no flags
        {Cat({{4}, Latin1("root"), Bytes(27, ' ')}), 0x0500, "root"},
    };
    for (const auto &c : cases) {
        Collector got = ReadStream(Workbook(Rec(0x005C, c.body), {}, c.wVers));
        EXPECT_EQ(got.lines[0].substr(0, got.lines[0].find(" biff")), std::string("workbook ") + c.szAuthor);
    }
}

TEST(WorkbookReader, ErrorsSayWhatTheInputIs)
{
    CfbLayout layout;
    std::string noWorkbook = WriteCfb({{u"Other", std::string(100, 'x'), false}}, CfbOptions(), &layout);
    Bytes book = Cat({Bof(5, 0x0500), Eof()});
    std::string bookFile =
        WriteCfb({{u"Book", std::string(book.begin(), book.end()), false}}, CfbOptions(), &layout);
    Bytes cipher = Cat({Bof(5), Rec(0x002F, Bytes(54, 7)), Rec(0x00FC, Bytes(40, 0x5A)), Eof()});
    std::string encrypted =
        WriteCfb({{u"Workbook", std::string(cipher.begin(), cipher.end()), false}}, CfbOptions(), &layout);
    Bytes big = Cat({Bof(5), Rec(0x0204, Cat({Cell3(0, 0, 0), Str16(std::string(6000, 'a'))})), Eof()});
    CfbLayout bigLayout;
    std::string bigFile =
        WriteCfb({{u"Workbook", std::string(big.begin(), big.end()), false}}, CfbOptions(), &bigLayout);
    // The directory claims more than the stream's sectors hold.
    PatchLe32(&bigFile, bigLayout.IbDirEntry(1) + ibDirSize, static_cast<uint32_t>(big.size() + 2048));
    std::string notBiff = WriteCfb({{u"Workbook", std::string(64, '\x11'), false}}, CfbOptions(), &layout);
    struct {
        const char *szWhat;
        std::string input;
        WorkbookErrorKind kind;
        const char *szMessagePart;
    } cases[] = {
        {"empty", "", WorkbookErrorKind::NotCompound, "empty"},
        {"zip", std::string("PK\x03\x04\x14\0\0\0", 8), WorkbookErrorKind::NotCompound, "an .xlsx file?"},
        {"html", "<html><table><tr><td>1</td></tr></table></html>\n", WorkbookErrorKind::NotCompound, "HTML"},
        {"csv", "a,b,c\n1,2,3\n", WorkbookErrorKind::NotCompound, "CSV"},
        {"binary", std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8), WorkbookErrorKind::NotCompound,
         "no compound document"},
        {"no stream", noWorkbook, WorkbookErrorKind::NoWorkbookStream, "without a Workbook or Book"},
        {"damaged", noWorkbook.substr(0, 600), WorkbookErrorKind::DamagedCompound, "damaged"},
        {"encrypted", encrypted, WorkbookErrorKind::Encrypted, "encrypted"},
        {"not BIFF", notBiff, WorkbookErrorKind::NotWorkbook, "BOF"},
        {"cut short", bigFile, WorkbookErrorKind::None, ""},
        {"Book stream", bookFile, WorkbookErrorKind::None, ""},
    };
    for (const auto &c : cases) {
        WorkbookStream stream;
        WorkbookError error;
        Collector collector;
        if (OpenWorkbookMemory(reinterpret_cast<const uint8_t *>(c.input.data()), c.input.size(), &stream,
                               &error)) {
            ReadWorkbook(stream, collector, &error);
        }
        EXPECT_EQ(error.kind, c.kind) << c.szWhat << ": " << error.message;
        EXPECT_NE(error.message.find(c.szMessagePart), std::string::npos)
            << c.szWhat << ": " << error.message;
        if (c.kind != WorkbookErrorKind::None) {
            EXPECT_TRUE(collector.lines.empty()) << c.szWhat;
        }
    }
    // A stream cut short gives what is there, and says so.
    WorkbookStream cut;
    WorkbookError error;
    Collector collector;
    ASSERT_TRUE(
        OpenWorkbookMemory(reinterpret_cast<const uint8_t *>(bigFile.data()), bigFile.size(), &cut, &error));
    EXPECT_TRUE(ReadWorkbook(cut, collector, &error)) << error.message;
    EXPECT_NE(
        std::find_if(collector.lines.begin(), collector.lines.end(),
                     [](const std::string &line) { return line.find("cut short") != std::string::npos; }),
        collector.lines.end());
    WorkbookStream stream;
    EXPECT_FALSE(OpenWorkbookFile(SourcePath("no-such-file.xls").c_str(), &stream, &error));
    EXPECT_EQ(error.kind, WorkbookErrorKind::FileUnreadable);
    EXPECT_EQ(error.message, "No such file or directory");
    EXPECT_EQ(error.nErrno, ENOENT);
}

// Path and memory give the same visit; every prefix of the stream and of the file reads
// without a fault (the sanitizer build catches an over-read), and a prefix gives a subset.
TEST(WorkbookReader, RealWorkbookFromPathMemoryAndEveryPrefix)
{
    std::string path = SourcePath("examples/sample.xls");
    Bytes file = ReadFileBytes(path);
    WorkbookStream fromPath, fromMemory;
    WorkbookError error;
    ASSERT_TRUE(OpenWorkbookFile(path.c_str(), &fromPath, &error)) << error.message;
    ASSERT_TRUE(OpenWorkbookMemory(file.data(), file.size(), &fromMemory, &error)) << error.message;
    Bytes stream(fromPath.pbData, fromPath.pbData + fromPath.cbData);
    EXPECT_EQ(stream, Bytes(fromMemory.pbData, fromMemory.pbData + fromMemory.cbData));
    Collector whole = ReadStream(stream);
    EXPECT_NE(std::find(whole.lines.begin(), whole.lines.end(), "0:2:0 text Кофе молотый"),
              whole.lines.end());
    EXPECT_EQ(std::count_if(whole.lines.begin(), whole.lines.end(),
                            [](const std::string &line) { return line.rfind("warning", 0) == 0; }),
              0);
    size_t cbRecords = stream.size(); // the zero padding after the last EOF left out
    while (cbRecords > 0 && stream[cbRecords - 1] == 0) {
        cbRecords--;
    }
    for (size_t cb = 0; cb < stream.size(); cb++) {
        Collector part = ReadStream(Bytes(stream.begin(), stream.begin() + cb));
        for (const std::string &line : Cells(part)) {
            ASSERT_NE(std::find(whole.lines.begin(), whole.lines.end(), line), whole.lines.end()) << cb;
        }
        // Cut inside a sheet, before its EOF: what was read, and a warning saying so.
        if (!Cells(part).empty() && cb + 3 < cbRecords) {
            EXPECT_NE(std::find_if(part.lines.begin(), part.lines.end(),
                                   [](const std::string &line) { return line.rfind("warning", 0) == 0; }),
                      part.lines.end())
                << cb;
        }
    }
    for (size_t cb = 0; cb < file.size(); cb += 7) {
        std::vector<uint8_t> prefix(file.begin(), file.begin() + cb);
        WorkbookStream partial;
        Collector collector;
        if (OpenWorkbookMemory(prefix.data(), prefix.size(), &partial, &error)) {
            ReadWorkbook(partial, collector, &error);
        }
        EXPECT_FALSE(error.message.empty() && collector.lines.empty()) << cb;
    }
}

// Files of the oldest versions: one sheet, cells with three attribute bytes (BIFF2) or in
// the later layout (BIFF3), formats numbered in the order they come.
TEST(WorkbookReader, OldestCellRecords)
{
    Bytes biff2 =
        Cat({Rec(0x0009, Cat({Le16(0x0200), Le16(0x0010)})), Rec(0x001E, Cat({{8}, Latin1("dd.mm.yy")})),
             Rec(0x0002, Cat({Le16(0), Le16(0), {0, 0, 0}, Le16(7)})),
             Rec(0x0003, Cat({Le16(0), Le16(1), {0, 0, 0}, Double(2.5)})),
             Rec(0x0003, Cat({Le16(0), Le16(2), {0, 0, 0}, Double(45352)})),
             Rec(0x0004, Cat({Le16(1), Le16(0), {0, 0, 0}, {3}, Latin1("\xC4h?")})),
             Rec(0x0005, Cat({Le16(1), Le16(1), {0, 0, 0}, {0x2A, 1}})), Eof()});
    Collector got = ReadStream(biff2);
    EXPECT_EQ(got.lines, (std::vector<std::string>{"workbook - biff2 cp-1", "sheet 0 Sheet1 worksheet",
                                                   "0:0:0 number 7", "0:0:1 number 2.5", "0:0:2 number 45352",
                                                   "0:1:0 text \xC3\x84h?", "0:1:1 error #N/A"}));
    Bytes biff3 =
        Cat({Rec(0x0209, Cat({Le16(0x0300), Le16(0x0010), Le16(0)})), Rec(0x0042, Le16(1251)),
             Rec(0x001E, Cat({{5}, Latin1("0.00%")})), Rec(0x001E, Cat({{8}, Latin1("yyyy-mm-dd")})),
             Rec(0x0243, Cat({{0, 1}, Bytes(10, 0)})), Rec(0x0203, Cat({Cell3(0, 0, 0), Double(45352)})),
             Rec(0x0204, Cat({Cell3(0, 1, 0), Le16(3), {0xCF, 0xF0, 0xE8}})), Eof()});
    got = ReadStream(biff3);
    EXPECT_EQ(Cells(got), (std::vector<std::string>{"0:0:0 date 2024-03-01", "0:0:1 text При"}));
}

// No state is shared between workbooks: threads reading different ones at once each get
// what a lone reading gives.
TEST(WorkbookReader, ThreadsReadWorkbooksAtOnce)
{
    std::vector<std::string> paths = {
        SourcePath("examples/sample.xls"), SourcePath("tests/workbook/data/gen-biff7-cp932.xls"),
        SourcePath("tests/workbook/data/gen-biff7-cp1251.xls"), SourcePath("tests/data/lo-mixed.xls")};
    auto ReadPath = [](const std::string &path) {
        WorkbookStream stream;
        WorkbookError error;
        Collector collector;
        if (OpenWorkbookFile(path.c_str(), &stream, &error)) {
            ReadWorkbook(stream, collector, &error);
        }
        collector.lines.push_back(error.message);
        return collector.lines;
    };
    std::vector<std::vector<std::string>> alone;
    for (const std::string &path : paths) {
        alone.push_back(ReadPath(path));
    }
    std::vector<std::vector<std::string>> together(paths.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < paths.size(); i++) {
        threads.emplace_back([&, i] {
            for (int n = 0; n < 50; n++) {
                together[i] = ReadPath(paths[i]);
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(together, alone);
}

// Inputs built to make a reader do more per byte than it reads: a long shared string used by
// every cell, and every BOUNDSHEET pointing at one sheet. Text and time stay linear.
TEST(WorkbookReader, AmplifyingInputsStayLinear)
{
    const size_t cchLong = 8000;
    Bytes sst = Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(cchLong), {0}, Bytes(cchLong, 'x')}));
    Bytes cells;
    for (uint16_t row = 0; row < 20000; row++) {
        cells = Cat({cells, Rec(0x00FD, Cat({Cell3(row, 0, 0), Le32(0)}))});
    }
    Bytes stream = Workbook(sst, {{"S", cells}});
    auto start = std::chrono::steady_clock::now();
    Collector got = ReadStream(stream);
    EXPECT_LE(got.cbText, 64 * stream.size() + cchLong);
    EXPECT_GT(got.cbText, 32 * stream.size()); // the budget is used, not cut early
    EXPECT_NE(std::find(got.lines.begin(), got.lines.end(),
                        "warning the workbook repeats its shared strings more than its size "
                        "justifies; repeated texts are cut"),
              got.lines.end());

    // 3000 BOUNDSHEETs, all naming the offset of one sheet of 2000 cells: it is read once.
    const size_t cSheets = 3000;
    Bytes boundSheet = Cat({{0, 0, 1, 0}, Latin1("S")});
    uint32_t ibSheet = static_cast<uint32_t>(Bof(5).size() + cSheets * (4 + 4 + boundSheet.size()) + 4);
    Bytes globals = Bof(5);
    for (size_t i = 0; i < cSheets; i++) {
        globals = Cat({globals, Rec(0x0085, Cat({Le32(ibSheet), boundSheet}))});
    }
    Bytes sheet = Bof(0x0010);
    for (uint16_t row = 0; row < 2000; row++) {
        sheet = Cat({sheet, Rec(0x0203, Cat({Cell3(row, 0, 0), Double(row)}))});
    }
    Collector repeated = ReadStream(Cat({globals, Eof(), sheet, Eof()}));
    EXPECT_EQ(Cells(repeated).size(), 2000u);
    EXPECT_EQ(repeated.lines.size(), 1 + cSheets + 2000 + 64);
    EXPECT_EQ(std::count(repeated.lines.begin(), repeated.lines.end(), "warning more warnings left out"), 1);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 20);
}

} // namespace
