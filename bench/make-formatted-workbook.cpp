// make-formatted-workbook: writes a workbook of formatted numbers, dates and times for the
// number-format benchmark, 24 codes (built-in and the workbook's own) over NUMBER cells.
//   make-formatted-workbook OUT.xls CELLS [SEED]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>

#include "WorkbookStream.h"
#include "support/Biff.h"

namespace {

const uint16_t wBof = 0x0809, wEof = 0x000A, wBoundSheet = 0x0085, wFormat = 0x041E, wXf = 0x00E0,
               wNumber = 0x0203;
const int cSheets = 4;
const int cColumns = 8;

struct Code {
    uint16_t ifmt;   // a built-in index, or 164 and up for the workbook's own
    const char *psz; // the workbook's own code; nullptr for a built-in
    bool fDate;
};

const Code rgCode[] = {
    {2, nullptr, false},
    {4, nullptr, false},
    {7, nullptr, false},
    {10, nullptr, false},
    {11, nullptr, false},
    {13, nullptr, false},
    {14, nullptr, true},
    {15, nullptr, true},
    {18, nullptr, true},
    {22, nullptr, true},
    {38, nullptr, false},
    {44, nullptr, false},
    {46, nullptr, true},
    {48, nullptr, false},
    {164, "0.0%", false},
    {165, "#,##0.00 [$\xe2\x82\xac-407];[Red]-#,##0.00 [$\xe2\x82\xac-407]", false},
    {166, "00000", false},
    {167, "0.0,,\"M\"", false},
    {168, "# ?/8", false},
    {169, "yyyy-mm-dd hh:mm:ss", true},
    {170, "dddd, mmmm d, yyyy", true},
    {171, "[h]:mm:ss.00", true},
    {172, "[>=1000]#,##0,\"K\";[<=-1000]-#,##0,\"K\";0", false},
    {173, "General", false},
};
const int cCodes = sizeof(rgCode) / sizeof(rgCode[0]);

Bytes Double(double d)
{
    Bytes b(8);
    memcpy(b.data(), &d, 8);
    return b;
}

void Patch32(Bytes &bytes, size_t ib, uint32_t dw)
{
    for (int i = 0; i < 4; i++) {
        bytes[ib + i] = static_cast<uint8_t>(dw >> (8 * i));
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: make-formatted-workbook OUT.xls CELLS [SEED]\n");
        return 2;
    }
    long cCells = atol(argv[2]);
    std::mt19937 rng(argc > 3 ? static_cast<unsigned>(atoi(argv[3])) : 1);
    BiffStream s;
    s.Record(wBof, Cat({Le16(0x0600), Le16(0x0005), Bytes(12, 0)}));
    for (const Code &code : rgCode) {
        if (code.psz != nullptr) {
            std::string sCode = code.psz;
            s.Record(wFormat,
                     Cat({Le16(code.ifmt), Le16(static_cast<uint16_t>(sCode.size())), {0x00}, Ascii(sCode)}));
        }
    }
    // 15 style XFs and the default cell XF, then one cell XF per code (XF 16 + i).
    for (int i = 0; i < 16 + cCodes; i++) {
        uint16_t ifmt = i < 16 ? 0 : rgCode[i - 16].ifmt;
        s.Record(wXf, Cat({Le16(0), Le16(ifmt), Le16(i < 15 ? 0xFFF5 : 0x0001), Bytes(14, 0)}));
    }
    size_t rgibSheetPos[cSheets];
    for (int i = 0; i < cSheets; i++) {
        std::string sName = "Sheet" + std::to_string(i + 1);
        rgibSheetPos[i] = s.bytes.size() + 4;
        s.Record(wBoundSheet,
                 Cat({Le32(0), Le16(0), {static_cast<uint8_t>(sName.size()), 0x00}, Ascii(sName)}));
    }
    s.Record(wEof, {});
    long iCell = 0;
    std::uniform_real_distribution<double> number(-1e6, 1e6), date(30000.0, 50000.0);
    for (int iSheet = 0; iSheet < cSheets; iSheet++) {
        Patch32(s.bytes, rgibSheetPos[iSheet], static_cast<uint32_t>(s.bytes.size()));
        s.Record(wBof, Cat({Le16(0x0600), Le16(0x0010), Bytes(12, 0)}));
        long iEnd = cCells / cSheets * (iSheet + 1) + (iSheet == cSheets - 1 ? cCells % cSheets : 0);
        for (long iSheetCell = 0; iCell < iEnd; iCell++, iSheetCell++) {
            int iCode = static_cast<int>(rng() % cCodes);
            double d = rgCode[iCode].fDate ? date(rng) : number(rng);
            if (rng() % 4 == 0) {
                d = static_cast<double>(static_cast<long>(d)); // whole numbers and midnights too
            }
            s.Record(wNumber, Cat({Le16(static_cast<uint16_t>(iSheetCell / cColumns)),
                                   Le16(static_cast<uint16_t>(iSheetCell % cColumns)),
                                   Le16(static_cast<uint16_t>(16 + iCode)), Double(d)}));
        }
        s.Record(wEof, {});
    }
    if (!WriteWorkbookFile(argv[1], s.bytes)) {
        return 1;
    }
    printf("%s: %ld cells in %d codes, stream %zu bytes\n", argv[1], iCell, cCodes, s.bytes.size());
    return 0;
}
