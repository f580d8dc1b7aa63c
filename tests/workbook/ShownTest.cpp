// The reader shows every cell of the LibreOffice case workbooks (tests/numformat/cases) as
// LibreOffice's as-shown CSV froze it, but where a case's note says why not.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "numformat/FormatCases.h"
#include "workbook/Workbook.h"

namespace {

struct ShownCell {
    std::string shown, text;
};

class ShownCollector : public WorkbookVisitor {
public:
    std::map<uint32_t, ShownCell> m_mapCell; // by row: the case workbooks have one cell a row

    void OnCell(const Cell &cell) override
    {
        if (cell.col == 0) {
            m_mapCell[cell.row] = {std::string(cell.shown), std::string(cell.text)};
        }
    }
};

std::map<uint32_t, ShownCell> ReadShown(const char *pszName)
{
    std::string path = std::string(CELLSIFT_SOURCE_DIR "/tests/numformat/cases/") + pszName;
    WorkbookStream stream;
    WorkbookError error;
    ShownCollector collector;
    EXPECT_TRUE(OpenWorkbookFile(path.c_str(), &stream, &error)) << error.message;
    EXPECT_TRUE(ReadWorkbook(stream, collector, &error)) << error.message;
    return collector.m_mapCell;
}

TEST(ReaderShown, CaseWorkbooksShowWhatLibreOfficeShows)
{
    std::vector<FormatCase> rgCase = ReadFormatCases();
    std::vector<const FormatCase *> rgp1900, rgp1904;
    for (const FormatCase &c : rgCase) {
        (c.value.compare(0, 5, "1904:") == 0 ? rgp1904 : rgp1900).push_back(&c);
    }
    ASSERT_GT(rgp1900.size(), 2000u);
    ASSERT_GT(rgp1904.size(), 50u);
    int cFailed = 0;
    for (bool f1904 : {false, true}) {
        const std::vector<const FormatCase *> &rgp = f1904 ? rgp1904 : rgp1900;
        std::map<uint32_t, ShownCell> mapCell = ReadShown(f1904 ? "cases-1904.xls" : "cases-1900.xls");
        ASSERT_EQ(mapCell.size(), rgp.size());
        for (uint32_t row = 0; row < rgp.size(); row++) {
            const FormatCase &c = *rgp[row];
            const ShownCell &cell = mapCell[row];
            if (c.value.compare(0, 5, "text:") == 0) {
                EXPECT_EQ(cell.text, c.value.substr(5)) << "line " << c.nLine; // the value is the text
            }
            if (cell.shown != c.shown && ++cFailed <= 40) {
                ADD_FAILURE() << "line " << c.nLine << ": [" << c.code << "] " << c.value << " shows \""
                              << cell.shown << "\", expected \"" << c.shown << "\"";
            }
        }
    }
    EXPECT_EQ(cFailed, 0);
}

} // namespace
