// The number-format engine against what LibreOffice shows for several thousand (format code,
// value) pairs (tests/workbook/formats), and the parser's limits on hostile codes.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "workbook/NumberFormat.h"

namespace {

struct FormatCase {
    int nLine;
    std::string code, value, shown, note;
};

std::vector<FormatCase> ReadCases()
{
    std::ifstream in(CELLSIFT_SOURCE_DIR "/tests/workbook/formats/format-cases.tsv", std::ios::binary);
    std::vector<FormatCase> rgCase;
    std::string line;
    for (int nLine = 1; std::getline(in, line); nLine++) {
        if (nLine == 1 || line.empty())
            continue;
        FormatCase c;
        c.nLine = nLine;
        std::string *rgpField[] = {&c.code, &c.value, &c.shown, &c.note};
        size_t ich = 0;
        for (std::string *pField : rgpField) {
            size_t ichTab = line.find('\t', ich);
            *pField = line.substr(ich, ichTab == std::string::npos ? std::string::npos : ichTab - ich);
            if (ichTab == std::string::npos)
                break;
            ich = ichTab + 1;
        }
        rgCase.push_back(c);
    }
    return rgCase;
}

std::string Shown(const FormatCase &c)
{
    std::string code = c.code;
    if (code.compare(0, 8, "builtin:") == 0) {
        const char *pszCode = BuiltinFormatCode((uint16_t)atoi(code.c_str() + 8));
        code = pszCode != nullptr ? pszCode : "General";
    }
    NumberFormat format(code);
    std::string out;
    if (c.value.compare(0, 5, "text:") == 0)
        format.RenderText(c.value.substr(5), &out);
    else if (c.value.compare(0, 5, "1904:") == 0)
        format.Render(strtod(c.value.c_str() + 5, nullptr), true, &out);
    else
        format.Render(strtod(c.value.c_str(), nullptr), false, &out);
    return out;
}

TEST(NumberFormat, ShowsWhatLibreOfficeShows)
{
    std::vector<FormatCase> rgCase = ReadCases();
    ASSERT_GT(rgCase.size(), 2000u);
    int cFailed = 0;
    for (const FormatCase &c : rgCase) {
        std::string shown = Shown(c);
        if (shown != c.shown && ++cFailed <= 60) {
            ADD_FAILURE() << "line " << c.nLine << ": [" << c.code << "] " << c.value << " shows \"" << shown
                          << "\", expected \"" << c.shown << "\"" << (c.note.empty() ? "" : " (") << c.note
                          << (c.note.empty() ? "" : ")");
        }
    }
    EXPECT_EQ(cFailed, 0) << "of " << rgCase.size() << " cases";
}

} // namespace
