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
    const FormatLocale *m_pLocale = &FormatLocale::EnUs();

    const FormatLocale &Locale() const override { return *m_pLocale; }
    void OnCell(const Cell &cell) override
    {
        if (cell.col == 0) {
            m_mapCell[cell.row] = {std::string(cell.shown), std::string(cell.text)};
        }
    }
};

std::map<uint32_t, ShownCell> ReadShown(const char *pszName,
                                        const FormatLocale &locale = FormatLocale::EnUs())
{
    std::string path = std::string(CELLSIFT_SOURCE_DIR "/tests/numformat/cases/") + pszName;
    WorkbookStream stream;
    WorkbookError error;
    ShownCollector collector;
    collector.m_pLocale = &locale;
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

// The built-in formats come without FORMAT records in the locale workbook: the reader gives
// them the locale's codes, and its raw text is the same in every locale.
TEST(ReaderShown, LocaleCaseWorkbookShowsWhatLibreOfficeShowsInThatLocale)
{
    std::map<uint32_t, ShownCell> mapEnUs = ReadShown("locale-cases.xls");
    for (const char *pszLocale : rgszCaseLocale) {
        std::vector<FormatCase> rgCase = ReadFormatCases(pszLocale);
        std::map<uint32_t, ShownCell> mapCell = ReadShown("locale-cases.xls", *FindFormatLocale(pszLocale));
        ASSERT_EQ(mapCell.size(), rgCase.size()) << pszLocale;
        int cFailed = 0;
        for (uint32_t row = 0; row < rgCase.size(); row++) {
            const FormatCase &c = rgCase[row];
            EXPECT_EQ(mapCell[row].text, mapEnUs[row].text) << pszLocale << " line " << c.nLine;
            if (mapCell[row].shown != c.shown && ++cFailed <= 20) {
                ADD_FAILURE() << pszLocale << " line " << c.nLine << ": [" << c.code << "] " << c.value
                              << " shows \"" << mapCell[row].shown << "\", expected \"" << c.shown << "\"";
            }
        }
        EXPECT_EQ(cFailed, 0) << pszLocale;
    }
}

} // namespace
