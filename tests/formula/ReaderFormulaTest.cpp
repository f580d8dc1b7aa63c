// The reader's formulas, names and links on workbooks built record by record: formula text of
// cells (own, shared, array, table), defined names, linked documents of BIFF8 and BIFF5, and
// the damage each may carry.
#include <gtest/gtest.h>

#include "recordtext/VirtualPath.h"
#include "workbook/ReaderFixture.h"

namespace {

// What a visitor that wants formulas is given beyond the values, one line per item.
class FormulaCollector : public Collector {
public:
    bool WantsFormulas() const override { return fWants; }
    void OnCell(const Cell &cell) override
    {
        lines.push_back(std::to_string(cell.row) + ":" + std::to_string(cell.col) + " " +
                        std::string(cell.text) + " " + std::string(cell.formula));
    }
    void OnName(const DefinedName &name) override
    {
        lines.push_back(
            "name " + std::string(name.name) +
            (name.iSheet == DefinedName::iSheetBook ? "" : " local" + std::to_string(name.iSheet)) +
            (name.fHidden ? " hidden" : "") + (name.fBuiltIn ? " builtin" : "") + " " +
            std::string(name.formula));
    }
    void OnExternalLink(const ExternalLink &link) override
    {
        static const char *rgszKind[] = {"workbook", "dde", "ole", "addin"};
        lines.push_back("link " + std::to_string(link.index) + " " + rgszKind[static_cast<int>(link.kind)] +
                        " " + std::string(link.path));
    }
    bool fWants = true;
};

// Every line; the cells' lines only when fCells.
std::vector<std::string> Read(const Bytes &bytes, bool fWants = true, bool fCells = false)
{
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    FormulaCollector collector;
    collector.fWants = fWants;
    WorkbookError error;
    EXPECT_TRUE(ReadWorkbook(stream, collector, &error)) << error.message;
    return fCells ? Cells(collector) : collector.lines;
}

// A BIFF8 FORMULA: a number result, then the tokens.
Bytes Formula(uint16_t row, uint16_t col, const Bytes &rgce, double d = 0)
{
    return Rec(0x0006,
               Cat({Cell3(row, col, 0), Double(d), Le16(0), Le32(0), Le16(uint16_t(rgce.size())), rgce}));
}

Bytes PtgExp(uint16_t row, uint16_t col)
{
    return Cat({{0x01}, Le16(row), Le16(col)});
}

// BIFF8 references: absolute unless the flags say otherwise.
Bytes Ref3d(uint16_t ixti, uint16_t row, uint16_t col)
{
    return Cat({{0x3A}, Le16(ixti), Le16(row), Le16(col)});
}

Bytes Area3d(uint16_t ixti, uint16_t row1, uint16_t row2, uint16_t col1, uint16_t col2)
{
    return Cat({{0x3B}, Le16(ixti), Le16(row1), Le16(row2), Le16(col1), Le16(col2)});
}

Bytes Name8(uint16_t grbit, const Bytes &name, uint16_t itab, const Bytes &rgce, uint16_t cce)
{
    return Rec(0x0018, Cat({Le16(grbit),
                            {0, uint8_t(name.size())},
                            Le16(cce),
                            Le16(0),
                            Le16(itab),
                            Le32(0),
                            {0},
                            name,
                            rgce}));
}

Bytes SupBook(uint16_t ctab, const std::string &path, const std::vector<std::string> &sheets)
{
    Bytes body = Cat({Le16(ctab), Le16(uint16_t(path.size())), {0}, Latin1(path)});
    for (const std::string &sheet : sheets) {
        body = Cat({body, Str16(sheet)});
    }
    return Rec(0x01AE, body);
}

Bytes ExternName8(uint16_t grbit, const std::string &name)
{
    return Rec(0x0023, Cat({Le16(grbit), Le32(0), {uint8_t(name.size()), 0}, Latin1(name), Le16(0)}));
}

} // namespace

// The globals' links and names come before the first sheet; references through them show the
// sheets and books they name, each document numbered as formulas show it.
TEST(ReaderFormulas, NamesAndLinkedDocuments)
{
    Bytes globals = Cat({
        Rec(0x01AE, Cat({Le16(2), Le16(0x0401)})), // this workbook
        SupBook(1, std::string("\x01\x01") + "CReports\x03" + "budget.xls", {"Data"}),
        ExternName8(0, "Total"),
        Rec(0x01AE, Cat({Le16(1), Le16(0x3A01)})), // add-in functions
        ExternName8(0, "EUROCONVERT"),
        SupBook(0, "excel\x03topic", {}),
        ExternName8(0, "R1C1"),
        SupBook(0,
                "Word.Document.8\x03"
                "C:\\doc.doc",
                {}),
        ExternName8(0x0010, "obj"),
        Rec(0x0017,
            Cat({Le16(3), Le16(0), Le16(0), Le16(0), Le16(0), Le16(0), Le16(1), Le16(1), Le16(0), Le16(0)})),
        Name8(0x0020, {0x06}, 1, Area3d(0, 0, 8, 0, 2), 11),
        Name8(0x0001, Latin1("Secret"), 0, Ref3d(2, 1, 1), 7),
        Name8(0, Latin1("Span"), 0, Area3d(1, 0, 1, 0, 0), 11),
    });
    Bytes sheet = Cat({
        // =Secret+Total: a defined name and an external one.
        Formula(0, 0, Cat({{0x23}, Le16(2), Le16(0), {0x39}, Le16(2), Le16(1), Le16(0), {0x03}})),
    });
    std::vector<std::string> lines = Read(Workbook(globals, {{"Data", sheet}, {"Other Sheet", {}}}));
    std::vector<std::string> expected = {
        "workbook - biff8 cp-1",
        "link 1 workbook C:\\Reports\\budget.xls",
        "link 2 addin ",
        "link 3 dde excel|topic",
        "link 4 ole C:\\doc.doc",
        "name Print_Area local0 builtin =Data!$A$1:$C$9",
        "name Secret hidden =[1]Data!$B$2",
        "name Span ='Data:Other Sheet'!$A$1:$A$2",
        "sheet 0 Data worksheet",
        "0:0 0 =Secret+[1]!Total",
        "sheet 1 Other Sheet worksheet",
    };
    EXPECT_EQ(lines, expected);
}

// BIFF5 names each linked sheet in an EXTERNSHEET record, the book in brackets; a sheet's
// formulas use the sheet's own records, the workbook's own sheets by a negative index.
TEST(ReaderFormulas, Biff5ExternSheets)
{
    std::string path = std::string("\x01\x01") + "CReports\x03[budget.xls]Data";
    Bytes externBook = Rec(0x0017, Cat({{uint8_t(path.size())}, Latin1(path)}));
    Bytes globals = Cat({externBook, Rec(0x0017, Cat({{1}, {0x03}, Latin1("S")}))});
    auto formula5 = [](uint16_t col, const Bytes &rgce) {
        return Rec(0x0006,
                   Cat({Cell3(0, col, 0), Double(0), Le16(0), Le32(0), Le16(uint16_t(rgce.size())), rgce}));
    };
    Bytes sheet = Cat({
        externBook,
        formula5(0, Cat({{0x3A}, Le16(1), Bytes(8, 0), Le16(0), Le16(0), Le16(0), {0}})),
        formula5(1, Cat({{0x3A}, Le16(0xFFFF), Bytes(8, 0), Le16(0), Le16(0), Le16(0xC000), {0}})),
    });
    std::vector<std::string> lines = Read(Workbook(globals, {{"S", sheet}}, 0x0500));
    std::vector<std::string> expected = {
        "workbook - biff7 cp-1", "link 1 workbook C:\\Reports\\budget.xls",
        "sheet 0 S worksheet",   "0:0 0 =[1]Data!$A$1",
        "0:1 0 =S!A1",
    };
    EXPECT_EQ(lines, expected);
}

// A shared formula's relative references move with each cell, its anchor's FORMULA coming
// before it (with a string result after both); an array's cells show its formula in braces,
// a data table's the TABLE call.
TEST(ReaderFormulas, SharedArrayAndTableFormulas)
{
    Bytes refN = Cat({{0x2C}, Le16(0), Le16(0xC0FF)}); // the cell to the left
    Bytes stringResult = Rec(0x0006, Cat({Cell3(0, 1, 0), Bytes{0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, Le16(0),
                                          Le32(0), Le16(5), PtgExp(0, 1)}));
    Bytes sheet = Cat({
        stringResult,
        Rec(0x04BC, Cat({Le16(0), Le16(2), {1, 1, 0, 3}, Le16(9), refN, {0x1E}, Le16(2), {0x05}})),
        Rec(0x0207, Str16("x")),
        Formula(1, 1, PtgExp(0, 1), 4),
        Formula(2, 1, PtgExp(0, 1), 6),
        Formula(0, 2, PtgExp(0, 2), 1),
        Rec(0x0221, Cat({Le16(0),
                         Le16(1),
                         {2, 2},
                         Le16(0),
                         Le32(0),
                         Le16(9),
                         Cat({{0x25}, Le16(0), Le16(1), Le16(0xC000), Le16(0xC000)})})),
        Formula(1, 2, PtgExp(0, 2), 2),
        Formula(0, 3, Cat({{0x02}, Le16(0), Le16(3)})),
        Rec(0x0236, Cat({Le16(0), Le16(1), {3, 3}, Le16(0), Le16(0), Le16(1), Le16(0), Le16(0)})),
    });
    std::vector<std::string> cells = Read(Workbook({}, {{"S", sheet}}), true, true);
    std::vector<std::string> expected = {
        "0:1 x =A1*2",    "1:1 4 =A2*2",    "2:1 6 =A3*2",
        "0:2 1 {=A1:A2}", "1:2 2 {=A1:A2}", "0:3 0 {=TABLE(,B1)}",
    };
    EXPECT_EQ(cells, expected);
    // Without formulas wanted, the same cells and no warning.
    std::vector<std::string> plain = Read(Workbook({}, {{"S", sheet}}), false);
    EXPECT_EQ(plain[2], "0:1 x ");
    EXPECT_EQ(
        std::count_if(plain.begin(), plain.end(), [](const std::string &s) { return s.find('=') != s.npos; }),
        0);
}

// A macro sheet is read as a worksheet: its cells' formulas are the macro's code, its own
// functions (EXEC, HALT) by name.
TEST(ReaderFormulas, MacroSheetCellsAreTheMacroCode)
{
    Bytes exec = Cat({{0x17, 8, 0}, Ascii("calc.exe"), {0x22, 1}, Le16(110)});
    Bytes halt = Cat({{0x22, 0}, Le16(54)});
    SheetDesc macro = {"Macro1", Cat({Formula(0, 0, exec), Formula(1, 0, halt)}), 0, 1};
    std::vector<std::string> expected = {"0:0 0 =EXEC(\"calc.exe\")", "1:0 0 =HALT()"};
    EXPECT_EQ(Read(Workbook({}, {macro}), true, true), expected);
}

// A shared formula over the whole grid costs only the cells that use it; tokens that point at
// no shared record, or are cut, show the mark, with one warning a sheet; a name cut short
// keeps what was read.
TEST(ReaderFormulas, DamageShowsTheMarkOnce)
{
    Bytes sheet = Cat({
        Formula(0, 0, PtgExp(0, 0)),
        Rec(0x04BC, Cat({Le16(0), Le16(0xFFFF), {0, 0xFF, 0, 1}, Le16(3), {0x1E}, Le16(7)})),
        Formula(60000, 200, PtgExp(0, 0)), Formula(5, 5, PtgExp(9, 9)), Formula(6, 6, PtgExp(9, 9)),
        Formula(7, 7, Bytes{0x1E, 1}), // cut inside its integer
    });
    Bytes globals = Name8(0, Latin1("Cut"), 0, Bytes{0x1E, 1, 0}, 20);
    std::vector<std::string> lines = Read(Workbook(globals, {{"S", sheet}}));
    std::vector<std::string>::iterator itName = std::find_if(
        lines.begin(), lines.end(), [](const std::string &s) { return s.rfind("name Cut =", 0) == 0; });
    ASSERT_NE(itName, lines.end());
    EXPECT_NE(itName->find("#FORMULA?"), std::string::npos);
    std::vector<std::string> cells = Read(Workbook(globals, {{"S", sheet}}), true, true);
    ASSERT_EQ(cells.size(), 5u);
    std::vector<std::string> whole = {"0:0 0 =7", "60000:200 0 =7", "5:5 0 =#FORMULA?", "6:6 0 =#FORMULA?"};
    EXPECT_EQ(std::vector<std::string>(cells.begin(), cells.begin() + 4), whole);
    EXPECT_EQ(cells[4].rfind("7:7 0 =", 0), 0u);
    EXPECT_EQ(cells[4].substr(cells[4].size() - 9), "#FORMULA?");
    size_t cWarnings = std::count_if(lines.begin(), lines.end(),
                                     [](const std::string &s) { return s.rfind("warning", 0) == 0; });
    EXPECT_EQ(cWarnings, 2u) << ::testing::PrintToString(lines); // the name's, the sheet's
}

// Each code of an encoded path: a drive, a UNC server, the drive's root, parent folders, a URL
// with its length, the startup folder; a path without the leading code is taken as it is.
TEST(ReaderFormulas, EncodedPathsDecoded)
{
    const std::pair<std::string, std::string> rgCase[] = {
        {std::string("\x01\x01@srv\x03share\x03"
                     "a.xls"),
         "\\\\srv\\share\\a.xls"},
        {std::string("\x01\x02"
                     "dir\x03"
                     "a.xls"),
         "\\dir\\a.xls"},
        {std::string("\x01\x04\x04"
                     "sub\x03"
                     "a.xls"),
         "..\\..\\sub\\a.xls"},
        {std::string("\x01\x05\x12"
                     "http://x.org/a.xls"),
         "http://x.org/a.xls"},
        {std::string("\x01\x06"
                     "a.xls"),
         "a.xls"},
        {std::string("C:\\plain.xls"), "C:\\plain.xls"},
        // A code's argument that is not ASCII is one character, never cut inside: a URL's
        // length of 0xE9 and a drive letter 'é' (UTF-8 here, as the string reader gives them).
        {std::string("\x01\x05\xC3\xA9"
                     "http://x.org/a.xls"),
         "http://x.org/a.xls"},
        {std::string("\x01\x01\xC3\xA9\x03"
                     "a.xls"),
         "\xC3\xA9:\\a.xls"},
    };
    for (const auto &test : rgCase) {
        std::string path;
        DecodeVirtualPath(test.first, &path);
        EXPECT_EQ(path, test.second);
    }
}
