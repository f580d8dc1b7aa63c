// The sheet's structure in the written forms: formulas beside or in place of values, the
// workbook's names and links in the readable block, hidden spans and merges as JSON lines.
#include <gtest/gtest.h>

#include <string>

#include "output/JsonPrinter.h"
#include "output/RowPrinters.h"

namespace {

void Keep(void *pContext, std::string *ps)
{
    static_cast<std::string *>(pContext)->append(*ps);
    ps->clear();
}

Cell FormulaCell(uint32_t row, uint32_t col, std::string_view value, std::string_view formula)
{
    Cell cell = {0, row, col, CellKind::Number, 0, false, value, value, {}};
    cell.formula = formula;
    return cell;
}

SheetInfo Sheet(uint32_t iSheet, std::string_view name)
{
    SheetInfo sheet{};
    sheet.iSheet = iSheet;
    sheet.name = name;
    sheet.kind = SheetKind::Worksheet;
    return sheet;
}

// A sheet's hidden rows and columns come one span at a time and leave as one line, before the
// line that follows them or at the end; a formula cell carries its formula beside its value.
TEST(JsonStructure, HiddenSpansJoinOneLineBeforeTheNext)
{
    std::string out;
    {
        BufferedOutput buffer(1 << 16, Keep, &out);
        JsonPrinter printer(&buffer, "f.xls");
        printer.OnSheet(Sheet(0, "S"));
        printer.OnCell(FormulaCell(0, 0, "3", "=SUM(B1:B2)"));
        printer.OnHidden(HiddenSpan{0, false, 3, 5});
        printer.OnHidden(HiddenSpan{0, true, 1, 2});
        printer.OnHidden(HiddenSpan{0, false, 9, 9});
        printer.OnMerge(MergedRange{0, 0, 0, 1, 27});
        printer.OnSheet(Sheet(1, "T"));
        printer.OnHidden(HiddenSpan{1, true, 26, 26});
        printer.Finish();
    }
    EXPECT_EQ(out, "{\"type\":\"sheet\",\"sheet\":0,\"name\":\"S\",\"kind\":\"worksheet\",\"hidden\":false}\n"
                   "{\"type\":\"cell\",\"sheet\":0,\"row\":0,\"col\":0,\"kind\":\"number\",\"value\":3,"
                   "\"shown\":\"3\",\"formula\":\"=SUM(B1:B2)\"}\n"
                   "{\"type\":\"hidden\",\"sheet\":0,\"rows\":[\"4:6\",\"10:10\"],\"columns\":[\"B:C\"]}\n"
                   "{\"type\":\"merge\",\"sheet\":0,\"range\":\"A1:AB2\"}\n"
                   "{\"type\":\"sheet\",\"sheet\":1,\"name\":\"T\",\"kind\":\"worksheet\",\"hidden\":false}\n"
                   "{\"type\":\"hidden\",\"sheet\":1,\"rows\":[],\"columns\":[\"AA:AA\"]}\n");
}

// --formulas shows a formula cell's formula and every other cell's value; the workbook's links
// and names stand in the block before the sheets, a sheet's own names under its heading, and
// the add-in functions' table, which names no document, is not a link anyone reads.
TEST(TextStructure, FormulasInPlaceOfValuesAndNamesWhereTheyApply)
{
    std::string out;
    {
        BufferedOutput buffer(1 << 16, Keep, &out);
        TextPrinter printer(&buffer);
        printer.Choose(CellChoice{false, true});
        printer.OnWorkbook(WorkbookInfo{false, {}, 8, 1200, false, false});
        printer.OnExternalLink(ExternalLink{1, ExternalKind::AddIn, {}});
        printer.OnExternalLink(ExternalLink{2, ExternalKind::Workbook, "C:\\Reports\\budget.xls"});
        printer.OnExternalLink(ExternalLink{3, ExternalKind::Dde, "server|topic"});
        printer.OnName(DefinedName{"Total", DefinedName::iSheetBook, false, false, "=S!$B$3"});
        printer.OnName(DefinedName{"Print_Area", 0, false, true, "=S!$A$1:$B$3"});
        printer.OnName(DefinedName{"_FilterDatabase", 1, true, true, "=T!$A$1"});
        printer.OnSheet(Sheet(0, "S"));
        Cell text = FormulaCell(0, 0, "plain", {});
        text.kind = CellKind::Text;
        printer.OnCell(text);
        printer.OnCell(FormulaCell(0, 1, "3", "=1+2"));
        printer.OnSheet(Sheet(1, "T"));
        printer.Finish();
    }
    EXPECT_EQ(out, "External link [2]: C:\\Reports\\budget.xls\n"
                   "External link [3] (DDE): server|topic\n"
                   "Name: Total =S!$B$3\n"
                   "Sheet: S\n"
                   "Name: Print_Area =S!$A$1:$B$3\n"
                   "plain\t=1+2\n"
                   "Sheet: T\n"
                   "Name: _FilterDatabase (hidden) =T!$A$1\n");
}

// Without --formulas the value stays, whatever formula the cell has.
TEST(TextStructure, ValuesUnlessFormulasAreAskedFor)
{
    EXPECT_EQ(CellChoice{}.TextOf(FormulaCell(0, 0, "3", "=1+2")), "3");
    EXPECT_EQ((CellChoice{true, false}.TextOf(FormulaCell(0, 0, "3", "=1+2"))), "3");
    EXPECT_EQ((CellChoice{true, true}.TextOf(FormulaCell(0, 0, "3", {}))), "3");
}

} // namespace
