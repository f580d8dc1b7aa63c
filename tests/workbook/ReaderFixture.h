// Workbook streams built record by record for the reader's tests, and a visitor that writes
// down everything it is given, one line per item.
#ifndef CELLSIFT_TESTS_WORKBOOK_READERFIXTURE_H
#define CELLSIFT_TESTS_WORKBOOK_READERFIXTURE_H

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "output/OutputForms.h"
#include "support/Biff.h"
#include "workbook/Workbook.h"

inline Bytes Rec(uint16_t wType, const Bytes &body)
{
    return Cat({Le16(wType), Le16(static_cast<uint16_t>(body.size())), body});
}

inline Bytes Bof(uint16_t wDt, uint16_t wVers = 0x0600)
{
    return Rec(0x0809, Cat({Le16(wVers), Le16(wDt), Le16(0), Le16(1997), Le32(0), Le32(0)}));
}

inline Bytes Eof()
{
    return Rec(0x000A, {});
}

inline Bytes Latin1(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

// A BIFF8 string with a two-byte count: 8-bit when every character fits, else 16-bit.
inline Bytes Str16(const std::string &sUtf8)
{
    Bytes units = Utf16(sUtf8);
    bool fWide = false;
    for (size_t i = 1; i < units.size(); i += 2) {
        fWide = fWide || units[i] != 0;
    }
    Bytes chars;
    for (size_t i = 0; i < units.size(); i += 2) {
        chars.push_back(units[i]);
        if (fWide) {
            chars.push_back(units[i + 1]);
        }
    }
    return Cat({Le16(static_cast<uint16_t>(units.size() / 2)), {uint8_t(fWide ? 1 : 0)}, chars});
}

inline Bytes Cell3(uint16_t row, uint16_t col, uint16_t ixfe)
{
    return Cat({Le16(row), Le16(col), Le16(ixfe)});
}

inline Bytes Double(double d)
{
    uint64_t qw;
    memcpy(&qw, &d, sizeof(qw));
    return Cat({Le32(static_cast<uint32_t>(qw)), Le32(static_cast<uint32_t>(qw >> 32))});
}

struct SheetDesc {
    std::string name;
    Bytes records;
    uint8_t bState = 0;
    uint8_t bType = 0;
};

// A workbook stream: globals, then the sheets, each BOUNDSHEET holding its sheet's offset.
inline Bytes Workbook(const Bytes &globals, const std::vector<SheetDesc> &sheets, uint16_t wVers = 0x0600)
{
    std::vector<Bytes> boundSheets;
    size_t cbBoundSheets = 0;
    for (const SheetDesc &sheet : sheets) {
        Bytes name = wVers == 0x0600 ? Cat({{uint8_t(sheet.name.size()), 0}, Latin1(sheet.name)})
                                     : Cat({{uint8_t(sheet.name.size())}, Latin1(sheet.name)});
        boundSheets.push_back(name);
        cbBoundSheets += 4 + 6 + name.size();
    }
    Bytes bof = Bof(0x0005, wVers);
    size_t ibSheet = bof.size() + globals.size() + cbBoundSheets + 4;
    Bytes out = Cat({bof, globals});
    Bytes body;
    for (size_t i = 0; i < sheets.size(); i++) {
        out = Cat({out, Rec(0x0085, Cat({Le32(static_cast<uint32_t>(ibSheet)),
                                         {sheets[i].bState, sheets[i].bType},
                                         boundSheets[i]}))});
        Bytes sheet = Cat({Bof(0x0010, wVers), sheets[i].records, Eof()});
        body = Cat({body, sheet});
        ibSheet += sheet.size();
    }
    return Cat({out, Eof(), body});
}

// Everything visited, one line per item.
class Collector : public WorkbookVisitor {
public:
    std::vector<std::string> lines;
    size_t cbText = 0;

    void OnWorkbook(const WorkbookInfo &info) override
    {
        lines.push_back("workbook " + std::string(info.fAuthor ? info.author : "-") + " biff" +
                        std::to_string(info.nBiff) + " cp" + std::to_string(info.nCodePage) +
                        (info.fDate1904 ? " 1904" : ""));
    }
    void OnSheet(const SheetInfo &sheet) override
    {
        lines.push_back("sheet " + std::to_string(sheet.iSheet) + " " + std::string(sheet.name) + " " +
                        KindName(sheet.kind) + (sheet.fHidden ? " hidden" : ""));
    }
    void OnCell(const Cell &cell) override
    {
        cbText += cell.text.size();
        lines.push_back(std::to_string(cell.iSheet) + ":" + std::to_string(cell.row) + ":" +
                        std::to_string(cell.col) + " " + KindName(cell.kind) + " " + std::string(cell.text));
    }
    void OnComment(const Comment &comment) override
    {
        lines.push_back("comment " + std::to_string(comment.row) + ":" + std::to_string(comment.col) + " " +
                        std::string(comment.author) + ": " + std::string(comment.text));
    }
    void OnTextBox(const TextBox &box) override { lines.push_back("textbox " + std::string(box.text)); }
    void OnWarning(std::string_view message) override { lines.push_back("warning " + std::string(message)); }
};

// Reads a stream held in a block of exactly its size, so an over-read is caught.
inline Collector ReadStream(const Bytes &bytes, WorkbookError *pError = nullptr)
{
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    Collector collector;
    WorkbookError error;
    if (!ReadWorkbook(stream, collector, &error)) {
        collector.lines.push_back("error " + error.message);
    }
    if (pError != nullptr) {
        *pError = error;
    }
    return collector;
}

inline std::vector<std::string> Cells(const Collector &collector)
{
    std::vector<std::string> cells;
    for (const std::string &line : collector.lines) {
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
            cells.push_back(line);
        }
    }
    return cells;
}

inline std::string SourcePath(const std::string &rel)
{
    return std::string(CELLSIFT_SOURCE_DIR) + "/" + rel;
}

inline Bytes ReadFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

#endif
