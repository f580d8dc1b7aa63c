// Tests of the written forms on hostile content: every control character off the text form's
// lines, names of any bytes in headers and JSON, the real cause when no sheet could be read,
// and output that stays proportionate to the stream whatever the escapes cost.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "FormCheck.h"
#include "ReaderFixture.h"
#include "output/OutputEscape.h"
#include "output/OutputForms.h"
#include "workbook/Workbook.h"

namespace {

// A LABEL cell at row, col holding the text.
Bytes Label(uint16_t row, uint16_t col, const std::string &sUtf8)
{
    return Rec(0x0204, Cat({Cell3(row, col, 0), Str16(sUtf8)}));
}

struct Written {
    bool fOk;
    std::string out;
    std::string warnings;
    std::string error;
};

void AppendWarning(void *pContext, std::string_view message)
{
    static_cast<std::string *>(pContext)->append(message).append("\n");
}

// The form as the tool writes it to a file, for a stream held in a block of its own size.
Written Write(const Bytes &bytes, OutputFormat format, const std::string &name = "book.xls",
              const std::string &sheet = "")
{
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    char *pch = nullptr;
    size_t cch = 0;
    FILE *pf = open_memstream(&pch, &cch);
    WorkbookSelection selection;
    selection.sheet = sheet;
    Written written;
    WorkbookError error;
    written.fOk =
        WriteWorkbookSelection(stream, format, selection, name, pf, AppendWarning, &written.warnings, &error);
    fclose(pf);
    written.out.assign(pch, cch);
    free(pch);
    written.error = error.message;
    return written;
}

const char *const rgszControl[] = {"\x01",     "\t",       "\n",       "\x1F",         "\x7F",
                                   "\xC2\x80", "\xC2\x85", "\xC2\x9F", "\xE2\x80\xA8", "\xE2\x80\xA9"};

TEST(OutputEscape, TextFormPutsEveryControlCharacterOffTheLine)
{
    // At every place of a text long enough for the 16-byte scan and its tail.
    for (const char *pszControl : rgszControl) {
        for (size_t ib = 0; ib < 40; ib++) {
            std::string text = std::string(ib, 'a') + pszControl + std::string(40 - ib, 'b');
            std::string line;
            AppendOneLine(text, &line);
            EXPECT_EQ(line, std::string(ib, 'a') + " " + std::string(40 - ib, 'b')) << ib;
        }
    }
    struct {
        const char *szIn;
        const char *szOut;
    } rgCase[] = {
        {"\xC2\xA0 no-break space and \xC2\xA9 stay", "\xC2\xA0 no-break space and \xC2\xA9 stay"},
        {"\xE2\x80\xA6 ellipsis and \xE2\x80\xAA stay", "\xE2\x80\xA6 ellipsis and \xE2\x80\xAA stay"},
        {"cut at the end \xE2\x80", "cut at the end \xE2\x80"},
        {"\xC2", "\xC2"},
    };
    for (const auto &c : rgCase) {
        std::string line;
        AppendOneLine(c.szIn, &line);
        EXPECT_EQ(line, c.szOut);
    }
}

TEST(OutputEscape, NamesOfAnyBytes)
{
    struct {
        std::string name;
        const char *szPrintable;
        const char *szValid;
    } rgCase[] = {
        {"plain/путь.xls", "plain/путь.xls", "plain/путь.xls"},
        {"a\n==> b <==\r\t.xls", "a\\n==> b <==\\r\\t.xls", "a\n==> b <==\r\t.xls"},
        {"\x1B[2Jbad\x7F", "\\x1B[2Jbad\\x7F", "\x1B[2Jbad\x7F"},
        {"latin1 \xE9t\xE9", "latin1 \\xE9t\\xE9", "latin1 \xEF\xBF\xBDt\xEF\xBF\xBD"},
        {"c1 \xC2\x9B sep \xE2\x80\xA8", "c1 \\u009B sep \\u2028", "c1 \xC2\x9B sep \xE2\x80\xA8"},
        {"overlong \xC0\xAF surrogate \xED\xA0\x80", "overlong \\xC0\\xAF surrogate \\xED\\xA0\\x80",
         "overlong \xEF\xBF\xBD\xEF\xBF\xBD surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::string("nul\0inside", 10), "nul\\x00inside", "nul"},
    };
    for (const auto &c : rgCase) {
        EXPECT_EQ(PrintableName(c.name), c.szPrintable);
        std::string json;
        AppendJsonString(ValidUtf8(c.name), &json);
        EXPECT_TRUE(IsJsonText(json)) << json;
        if (c.name.find('\0') == std::string::npos) {
            EXPECT_EQ(ValidUtf8(c.name), c.szValid);
        }
    }
}

TEST(WorkbookFormat, HostileTextAndNames)
{
    Bytes book = Workbook({}, {{"S", Cat({Label(0, 0,
                                                "a\xC2\x85"
                                                "b\xE2\x80\xA8"
                                                "c\x7F"
                                                "d\te"),
                                          Label(0, 1, "q\"uote,\r\nline")})}});
    Written text = Write(book, OutputFormat::Text);
    ASSERT_TRUE(text.fOk) << text.error;
    EXPECT_EQ(text.out, "Sheet: S\na b c d e\tq\"uote,  line\n");

    Written csv = Write(book, OutputFormat::Csv);
    EXPECT_TRUE(IsCsv(csv.out)) << csv.out;

    // A name that is no UTF-8 and holds a line break still makes one valid JSON line.
    Written json = Write(book, OutputFormat::Jsonl, "bad\xFF\n.xls");
    EXPECT_TRUE(IsJsonLines(json.out)) << json.out;
    EXPECT_NE(json.out.find("\"file\":\"bad\xEF\xBF\xBD\\n.xls\""), std::string::npos) << json.out;
}

TEST(WorkbookFormat, NoSheetSaysWhy)
{
    Bytes bof = Bof(0x0005);
    struct {
        const char *szWhat;
        Bytes stream;
        const char *szSheet;
        const char *szError;
    } rgCase[] = {
        {"globals cut", Cat({bof, Le16(0x0085), Le16(100), Latin1("abc")}), "",
         "no sheet could be read: the workbook stream ends inside a record of the workbook globals"},
        {"no sheets", Cat({bof, Eof()}), "", "the workbook has no sheets"},
        {"sheet asked for", Workbook({}, {{"S", {}}}), "1", "no sheet named or numbered '1'"},
    };
    for (const auto &c : rgCase) {
        for (OutputFormat format : {OutputFormat::Text, OutputFormat::Csv, OutputFormat::Jsonl}) {
            Written got = Write(c.stream, format, "book.xls", c.szSheet);
            EXPECT_FALSE(got.fOk) << c.szWhat;
            EXPECT_EQ(got.error, c.szError) << c.szWhat;
        }
    }
}

// A shared string of control characters used by every cell: the reader's repeat budget lets
// 64 bytes of text per stream byte through, which JSON writes six times over.
TEST(WorkbookFormat, WrittenBytesStayProportionate)
{
    const uint16_t cchString = 8000, cCells = 3000;
    Bytes sst = Rec(0x00FC, Cat({Le32(1), Le32(1), Le16(cchString), {0}, Bytes(cchString, 0x01)}));
    Bytes cells;
    for (uint16_t row = 0; row < cCells; row++) {
        Bytes cell = Rec(0x00FD, Cat({Cell3(row, 0, 0), Le32(0)}));
        cells.insert(cells.end(), cell.begin(), cell.end());
    }
    Bytes book = Workbook(sst, {{"S", cells}});
    for (OutputFormat format : {OutputFormat::Text, OutputFormat::Csv, OutputFormat::Jsonl}) {
        Written got = Write(book, format);
        ASSERT_TRUE(got.fOk) << got.error;
        EXPECT_LE(got.out.size(), 128 * book.size() + (1 << 20) + 6 * cchString + 256);
        EXPECT_GT(got.out.size(), 16 * book.size()); // the output is cut, not left out
        bool fCut =
            got.warnings.find("the output reached 128 bytes per byte of the workbook stream; the rest is "
                              "left out") != std::string::npos;
        EXPECT_EQ(fCut, format == OutputFormat::Jsonl);
        if (format == OutputFormat::Jsonl) {
            EXPECT_TRUE(IsJsonLines(got.out));
        }
    }
}

} // namespace
