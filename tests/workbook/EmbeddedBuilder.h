// Test support: a workbook whose compound document embeds a workbook (with its own title and,
// inside it, a packaged file) and, in ObjectPool, a document of another kind.
#ifndef CELLSIFT_TESTS_WORKBOOK_EMBEDDEDBUILDER_H
#define CELLSIFT_TESTS_WORKBOOK_EMBEDDEDBUILDER_H

#include <string>
#include <vector>

#include "properties/PropertyStreams.h"
#include "support/CfbWriter.h"
#include "workbook/ReaderFixture.h"

inline std::string Str(const Bytes &b)
{
    return std::string(b.begin(), b.end());
}

// A \001CompObj stream naming the user type: a 28-byte header, then the length-prefixed string.
inline std::string CompObj(const std::string &userType)
{
    return Str(
        Cat({Bytes(28), Le32(static_cast<uint32_t>(userType.size() + 1)), Latin1(userType), {0}, Le32(0)}));
}

inline std::string TitleStream(const std::string &title)
{
    return Str(Stream({{fmtidSummary, Section({{1, I2(1252)}, {2, Lpstr(Latin1(title))}})}}));
}

inline std::string OneCellWorkbook(const std::string &sheet, double d)
{
    return Str(Workbook({}, {{sheet, Rec(0x0203, Cat({Cell3(0, 0, 0), Double(d)}))}}));
}

// Entry i is directory id i + 1: MBD00000001 is 2, the package's storage 6, ObjectPool 8.
inline std::vector<CfbEntryDesc> EmbeddingEntries()
{
    std::string native =
        Str(Cat({Le32(40), Le16(2), Latin1("report.txt"), {0}, Latin1("C:\\tmp\\report.txt"), {0}}));
    return {
        {u"Workbook", OneCellWorkbook("Outer", 1), false},
        {u"MBD00000001", "", true},
        {u"\001CompObj", CompObj("Test Worksheet"), false, 2},
        {u"\005SummaryInformation", TitleStream("Inner budget"), false, 2},
        {u"Workbook", OneCellWorkbook("Inner", 42), false, 2},
        {u"MBD00000002", "", true, 2},
        {u"\001Ole10Native", native, false, 6},
        {u"ObjectPool", "", true},
        {u"_1234567890", "", true, 8},
        {u"\001CompObj", CompObj("Test Document"), false, 9},
        {u"\005SummaryInformation", TitleStream("Minutes"), false, 9},
    };
}

// A compound document of a workbook stream and, when given, its summary information.
inline std::string WriteCfbOf(const std::string &workbook, const std::string &summary = "")
{
    std::vector<CfbEntryDesc> entries = {{u"Workbook", workbook, false}};
    if (!summary.empty()) {
        entries.push_back({u"\005SummaryInformation", summary, false});
    }
    CfbLayout layout;
    return WriteCfb(entries, CfbOptions(), &layout);
}

inline std::string EmbeddingFile()
{
    CfbLayout layout;
    return WriteCfb(EmbeddingEntries(), CfbOptions(), &layout);
}

#endif
