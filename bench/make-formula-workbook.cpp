// make-formula-workbook: writes a formula-heavy workbook for the formula benchmark: per row
// three numbers and three formulas of the common kinds (a sum over a range, a condition with
// a string and a nested function, a lookup in an absolute range), their results cached.
//   make-formula-workbook OUT.xls ROWS
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "WorkbookStream.h"
#include "support/Biff.h"

namespace {

const uint16_t wBof = 0x0809, wEof = 0x000A, wBoundSheet = 0x0085, wNumber = 0x0203, wFormula = 0x0006;
const uint16_t grbitRelative = 0xC000; // a column's row and column relative flags
const uint8_t ptgRef = 0x24, ptgArea = 0x25, ptgNum = 0x1F, ptgInt = 0x1E, ptgStr = 0x17, ptgBool = 0x1D,
              ptgMul = 0x05, ptgGt = 0x0D, ptgFunc = 0x41, ptgFuncVar = 0x42;
const uint16_t iftabIf = 1, iftabSum = 4, iftabRound = 27, iftabVlookup = 102;

Bytes Double(double d)
{
    Bytes b(8);
    memcpy(b.data(), &d, 8);
    return b;
}

Bytes Ref(uint16_t row, uint16_t col)
{
    return Cat({{ptgRef}, Le16(row), Le16(col | grbitRelative)});
}

Bytes FuncVar(uint8_t cArgs, uint16_t iftab)
{
    return Cat({{ptgFuncVar, cArgs}, Le16(iftab)});
}

// =SUM(A1:C1)*2, =IF(A1>B1,"more",ROUND(C1*1.5,2)), =VLOOKUP(A1,$A$1:$C$100,2,FALSE)
Bytes Tokens(int iKind, uint16_t row)
{
    switch (iKind) {
    case 0:
        return Cat({{ptgArea},
                    Le16(row),
                    Le16(row),
                    Le16(grbitRelative),
                    Le16(2 | grbitRelative),
                    FuncVar(1, iftabSum),
                    {ptgNum},
                    Double(2),
                    {ptgMul}});
    case 1:
        return Cat({Ref(row, 0),
                    Ref(row, 1),
                    {ptgGt},
                    {ptgStr, 4, 0},
                    Ascii("more"),
                    Ref(row, 2),
                    {ptgNum},
                    Double(1.5),
                    {ptgMul, ptgInt},
                    Le16(2),
                    {ptgFunc},
                    Le16(iftabRound),
                    FuncVar(3, iftabIf)});
    default:
        return Cat({Ref(row, 0),
                    {ptgArea},
                    Le16(0),
                    Le16(99),
                    Le16(0),
                    Le16(2),
                    {ptgInt},
                    Le16(2),
                    {ptgBool, 0},
                    FuncVar(4, iftabVlookup)});
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: make-formula-workbook OUT.xls ROWS\n");
        return 2;
    }
    long cRows = atol(argv[2]);
    if (cRows < 1) {
        fprintf(stderr, "ROWS is at least 1\n");
        return 2;
    }
    // A sheet holds 65,536 rows: as many sheets as the rows need.
    const long cRowsPerSheet = 65536;
    long cSheets = (cRows + cRowsPerSheet - 1) / cRowsPerSheet;
    BiffStream s;
    s.Record(wBof, Cat({Le16(0x0600), Le16(0x0005), Bytes(12, 0)}));
    std::vector<size_t> rgibSheetPos;
    for (long iSheet = 0; iSheet < cSheets; iSheet++) {
        std::string sName = "Sheet" + std::to_string(iSheet + 1);
        rgibSheetPos.push_back(s.bytes.size() + 4);
        s.Record(wBoundSheet,
                 Cat({Le32(0), Le16(0), {static_cast<uint8_t>(sName.size()), 0x00}, Ascii(sName)}));
    }
    s.Record(wEof, {});
    for (long iSheet = 0; iSheet < cSheets; iSheet++) {
        uint32_t ibSheet = static_cast<uint32_t>(s.bytes.size());
        for (int i = 0; i < 4; i++) {
            s.bytes[rgibSheetPos[iSheet] + i] = static_cast<uint8_t>(ibSheet >> (8 * i));
        }
        s.Record(wBof, Cat({Le16(0x0600), Le16(0x0010), Bytes(12, 0)}));
        long cSheetRows = iSheet + 1 < cSheets ? cRowsPerSheet : cRows - iSheet * cRowsPerSheet;
        for (long iRow = 0; iRow < cSheetRows; iRow++) {
            uint16_t row = static_cast<uint16_t>(iRow);
            for (uint16_t col = 0; col < 3; col++) {
                s.Record(wNumber,
                         Cat({Le16(row), Le16(col), Le16(15), Double(static_cast<double>(iRow % 97 + col))}));
            }
            for (int iKind = 0; iKind < 3; iKind++) {
                Bytes rgce = Tokens(iKind, row);
                s.Record(wFormula,
                         Cat({Le16(row), Le16(static_cast<uint16_t>(3 + iKind)), Le16(15), Double(iRow),
                              Le16(0), Le32(0), Le16(static_cast<uint16_t>(rgce.size())), rgce}));
            }
        }
        s.Record(wEof, {});
    }
    if (!WriteWorkbookFile(argv[1], s.bytes)) {
        return 1;
    }
    printf("%s: %ld rows, %ld formulas, stream %zu bytes\n", argv[1], cRows, cRows * 3, s.bytes.size());
    return 0;
}
