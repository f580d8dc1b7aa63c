// The reader on hostile workbook streams: strings that claim more than they hold, shared
// strings after empty CONTINUE records, repeats that would cost quadratic time, records too
// short for their fields, files that claim more bytes than exist, and code pages whose
// converters hold characters back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "ReaderFixture.h"
#include "support/CfbWriter.h"

namespace {

size_t CountPrefix(const Collector &got, const std::string &prefix)
{
    return std::count_if(got.lines.begin(), got.lines.end(),
                         [&](const std::string &line) { return line.rfind(prefix, 0) == 0; });
}

// Appends n copies of piece, in place: the streams here are built of tens of thousands.
void AppendTimes(Bytes *pBytes, const Bytes &piece, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        pBytes->insert(pBytes->end(), piece.begin(), piece.end());
    }
}

Bytes LabelSst(uint16_t row, uint16_t col, uint32_t isst)
{
    return Rec(0x00FD, Cat({Cell3(row, col, 0), Le32(isst)}));
}

// A string that claims 65,535 characters and holds three, used twice in a stream far smaller
// than that, so its repeat is cut by the budget: it is cut at its own length.
TEST(HostileInput, RepeatedStringShorterThanItsCount)
{
    Bytes sst = Rec(0x00FC, Cat({Le32(2), Le32(1), Le16(0xFFFF), {0}, Latin1("abc")}));
    Bytes stream = Workbook(sst, {{"S", Cat({LabelSst(0, 0, 0), LabelSst(0, 1, 0)})}});
    ASSERT_LT(stream.size(), 1024u);
    Collector got = ReadStream(stream);
    EXPECT_EQ(Cells(got), (std::vector<std::string>{"0:0:0 text abc", "0:0:1 text abc"}));
    EXPECT_LT(got.cbText, 10u);
}

// A string may begin at the start of any CONTINUE, after empty ones too; each is decoded from
// its own header, never from the next record's.
TEST(HostileInput, SharedStringsAfterEmptyContinues)
{
    struct {
        const char *szWhat;
        Bytes sst;
        std::vector<std::string> cells;
    } cases[] = {
        {"one empty part",
         Cat({Rec(0x00FC, Cat({Le32(3), Le32(3), Str16("one")})), Rec(0x003C, {}),
              Rec(0x003C, Cat({Str16("two"), Str16("three")}))}),
         {"0:0:0 text one", "0:0:1 text two", "0:0:2 text three"}},
        {"two empty parts, the table's first string after them",
         Cat({Rec(0x00FC, Cat({Le32(2), Le32(2)})), Rec(0x003C, {}), Rec(0x003C, {}),
              Rec(0x003C, Str16("first")), Rec(0x003C, {}), Rec(0x003C, Str16("second"))}),
         {"0:0:0 text first", "0:0:1 text second"}},
        {"empty parts inside the characters",
         Cat({Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(4), {0}, Latin1("ab")})), Rec(0x003C, {}),
              Rec(0x003C, Cat({{0}, Latin1("cd")}))}),
         {"0:0:0 text abcd"}},
        {"the table ends in empty parts",
         Cat({Rec(0x00FC, Cat({Le32(2), Le32(2), Str16("only")})), Rec(0x003C, {}), Rec(0x003C, {})}),
         {"0:0:0 text only"}},
    };
    for (const auto &c : cases) {
        Bytes cells;
        for (uint16_t i = 0; i < 3; i++) {
            cells = Cat({cells, LabelSst(0, i, i)});
        }
        Collector got = ReadStream(Workbook(c.sst, {{"S", cells}}));
        EXPECT_EQ(Cells(got), c.cells) << c.szWhat;
    }
}

// Repeats are charged for the stream bytes their decoding walks, so a string strung over
// thousands of empty CONTINUE records gets its budget's worth of repeats, not all of them;
// and the runs and phonetic block after a string are never walked again.
TEST(HostileInput, RepeatsCostTimeLinearInTheStream)
{
    const size_t cEmpty = 50000;
    Bytes sst = Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(2), {0}, Latin1("a")}));
    AppendTimes(&sst, Rec(0x003C, {}), cEmpty);
    AppendTimes(&sst, Rec(0x003C, Cat({{0}, Latin1("b")})), 1);
    Bytes cells;
    for (uint16_t row = 0; row < 20000; row++) {
        AppendTimes(&cells, LabelSst(row, 0, 0), 1);
    }
    Bytes stream = Workbook(sst, {{"S", cells}});
    auto start = std::chrono::steady_clock::now();
    Collector spread = ReadStream(stream);
    std::vector<std::string> texts = Cells(spread);
    ASSERT_EQ(texts.size(), 20000u);
    size_t cWhole = std::count_if(texts.begin(), texts.end(), [](const std::string &s) {
        return s.size() > 2 && s.substr(s.size() - 2) == "ab";
    });
    // The budget, 64 bytes per stream byte, pays for that many walks over the empty parts.
    size_t cWalks = 64 * stream.size() / (4 * cEmpty);
    EXPECT_LE(cWhole, cWalks + 1);
    EXPECT_GE(cWhole, cWalks / 2);
    EXPECT_EQ(CountPrefix(spread, "warning the workbook repeats its shared strings"), 1u);

    // A phonetic block of 40,000 one-byte parts after a one-character string.
    const size_t cbExtRst = 40000;
    Bytes phonetic = Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(1), {0x04}, Le32(cbExtRst), Latin1("x")}));
    AppendTimes(&phonetic, Rec(0x003C, {0x55}), cbExtRst);
    Collector tail = ReadStream(Workbook(phonetic, {{"S", cells}}));
    std::vector<std::string> tailTexts = Cells(tail);
    ASSERT_EQ(tailTexts.size(), 20000u);
    EXPECT_EQ(tailTexts.back(), "0:19999:0 text x");
    EXPECT_EQ(CountPrefix(tail, "warning"), 0u);
    // Walking the block once per cell would take 800 million steps.
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 20);
}

// Each field is read from its own record: a record too short for its fields gives a warning
// and no cell, never a value made of the next record's header.
TEST(HostileInput, RecordsTooShortForTheirFields)
{
    Bytes sst = Rec(0x00FC, Cat({Le32(1), Le32(1), Str16("s")}));
    Bytes good = Rec(0x0203, Cat({Cell3(9, 9, 0), Double(7)}));
    struct {
        const char *szWhat;
        Bytes record;
        uint16_t wVers;
    } cases[] = {
        {"NUMBER of 6 bytes", Rec(0x0203, Cell3(0, 0, 0)), 0x0600},
        {"NUMBER of 13 bytes", Rec(0x0203, Cat({Cell3(0, 0, 0), Bytes(7, 0x41)})), 0x0600},
        {"RK of 8 bytes", Rec(0x027E, Cat({Cell3(0, 0, 0), Le16(1)})), 0x0600},
        {"BOOLERR of 7 bytes", Rec(0x0205, Cat({Cell3(0, 0, 0), {1}})), 0x0600},
        {"LABELSST of 8 bytes", Rec(0x00FD, Cat({Cell3(0, 0, 0), Le16(0)})), 0x0600},
        {"a cell of 3 bytes", Rec(0x0203, {1, 2, 3}), 0x0600},
        {"MULRK of 4 bytes", Rec(0x00BD, Cat({Le16(0), Le16(0)})), 0x0600},
        {"FORMULA without its result", Rec(0x0006, Cat({Cell3(0, 0, 0), Bytes(7, 0)})), 0x0600},
        {"LABEL that claims 50 characters and holds 3",
         Rec(0x0204, Cat({Cell3(0, 0, 0), Le16(50), {0}, Latin1("cut")})), 0x0600},
        {"BIFF5 LABEL that claims 50 bytes and holds 3",
         Rec(0x0204, Cat({Cell3(0, 0, 0), Le16(50), Latin1("cut")})), 0x0500},
        {"OBJ of 6 bytes, then its TXO",
         Cat({Rec(0x005D, Cat({Le16(0x15), Le16(18), Le16(25)})), Rec(0x01B6, Bytes(4, 0))}), 0x0600},
    };
    for (const auto &c : cases) {
        Bytes globals = c.wVers == 0x0600 ? sst : Bytes();
        Collector got = ReadStream(Workbook(globals, {{"S", Cat({c.record, good})}}, c.wVers));
        EXPECT_EQ(Cells(got), std::vector<std::string>{"0:9:9 number 7"}) << c.szWhat;
        EXPECT_GE(CountPrefix(got, "warning"), 1u) << c.szWhat;
    }
}

// The oldest cells: three attribute bytes before the value, each length checked for it.
TEST(HostileInput, OldestCellsTooShort)
{
    Bytes bof2 = Rec(0x0009, Cat({Le16(0x0002), Le16(0x0010)}));
    Bytes cells = Cat({
        Rec(0x0003, Cat({Le16(0), Le16(0), {0, 0, 0}, Bytes(7, 0x41)})),    // NUMBER: 7 of 8 bytes
        Rec(0x0002, Cat({Le16(1), Le16(0), {0, 0, 0}, {5}})),               // INTEGER: 1 of 2
        Rec(0x0004, Cat({Le16(2), Le16(0), {0, 0, 0}, {9}, Latin1("ab")})), // LABEL: 2 of 9
        Rec(0x0002, Cat({Le16(3), Le16(0), {0, 0, 0}, Le16(42)})),
    });
    Collector got = ReadStream(Cat({bof2, cells, Eof()}));
    EXPECT_EQ(Cells(got), std::vector<std::string>{"0:3:0 number 42"});
    EXPECT_EQ(CountPrefix(got, "warning"), 3u);
}

// A file that claims more bytes than it holds: refused as too large before anything is
// allocated for it, whether it is a bare BIFF file or a compound document.
TEST(HostileInput, SparseFilesOfManyGigabytes)
{
    const off_t cbApparent = off_t(64) << 30;
    Bytes bare = Cat({Bof(0x0010, 0x0500), Rec(0x0203, Cat({Cell3(0, 0, 0), Double(1)})), Eof()});
    Bytes stream = Workbook({}, {{"S", Rec(0x0203, Cat({Cell3(0, 0, 0), Double(1)}))}});
    CfbLayout layout;
    std::string cfb =
        WriteCfb({{u"Workbook", std::string(stream.begin(), stream.end()), false}}, CfbOptions(), &layout);
    PatchLe32(&cfb, layout.IbDirEntry(1) + ibDirSize, 0xFFFFFF00u);
    struct {
        const char *szWhat;
        std::string bytes;
    } cases[] = {
        {"bare BIFF", std::string(bare.begin(), bare.end())},
        {"compound document", cfb},
    };
    for (const auto &c : cases) {
        char szPath[] = "/tmp/cellsift-sparse-XXXXXX";
        int fd = mkstemp(szPath);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, c.bytes.data(), c.bytes.size()), static_cast<ssize_t>(c.bytes.size()));
        bool fSparse = ftruncate(fd, cbApparent) == 0;
        close(fd);
        WorkbookStream opened;
        WorkbookError error;
        bool fOpened = fSparse && OpenWorkbookFile(szPath, &opened, &error);
        unlink(szPath);
        if (!fSparse) {
            GTEST_SKIP() << "no sparse files in /tmp";
        }
        EXPECT_FALSE(fOpened) << c.szWhat;
        EXPECT_EQ(error.kind, WorkbookErrorKind::TooLarge) << c.szWhat;
        EXPECT_EQ(error.message.rfind("too large", 0), 0u) << c.szWhat << ": " << error.message;
    }
}

// Converters that wait for a combining mark after each character must still give the last one;
// the EBCDIC page 37 is found under the name the system's converter knows.
TEST(HostileInput, CodePagesThatHoldCharactersBack)
{
    struct {
        uint16_t wCodePage;
        Bytes text;
        const char *szUtf8;
    } cases[] = {
        {1255, {0xF9, 0xEC, 0xE5, 0xED}, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
        {1258, {'a', 'b'}, "ab"},
        {1258, {'V', 0xEA}, "V\xC3\xAA"},
        {37, {0xC1, 0x81}, "Aa"},
    };
    for (const auto &c : cases) {
        Bytes globals = Rec(0x0042, Le16(c.wCodePage));
        Bytes sheet =
            Cat({Rec(0x0204, Cat({Cell3(0, 0, 0), Le16(static_cast<uint16_t>(c.text.size())), c.text})),
                 Rec(0x0204, Cat({Cell3(0, 1, 0), Le16(static_cast<uint16_t>(c.text.size())), c.text}))});
        Collector got = ReadStream(Workbook(globals, {{"S", sheet}}, 0x0500));
        std::string sText = c.szUtf8;
        EXPECT_EQ(Cells(got), (std::vector<std::string>{"0:0:0 text " + sText, "0:0:1 text " + sText}))
            << c.wCodePage;
    }
}

} // namespace
