// Real workbooks written by spreadsheet programs: the exports give the text checked by hand
// against what the programs show, and none of the numbers or formula results.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cellsift.h"
#include "log/ErrorFlag.h"
#include "support/Scandeck.h"

namespace {

namespace fs = std::filesystem;

// The values listed after "--- absent" in NAME.cells.txt, up to the next section.
std::vector<std::string> AbsentValues(const fs::path &cells)
{
    std::vector<std::string> values;
    std::istringstream in(ReadFileBytes(cells.string()));
    bool fInSection = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("--- ", 0) == 0) {
            fInSection = line == "--- absent";
        } else if (fInSection && !line.empty()) {
            values.push_back(line);
        }
    }
    return values;
}

std::string Extract(const fs::path &path, int *pnResult)
{
    std::string sPath = path.string();
    int cb = GetLengthOfTextPortion(sPath.c_str(), 0);
    std::vector<char> buffer(static_cast<size_t>(cb) + 1, '\x7F');
    testing::internal::CaptureStderr();
    *pnResult = GetTextPortionOfDocument(sPath.c_str(), buffer.data(), cb);
    testing::internal::GetCapturedStderr();
    return std::string(buffer.data());
}

TEST(RealWorkbooks, GiveTheirCheckedTextAndNoNumbers)
{
    std::vector<fs::path> workbooks;
    for (const char *pszDir : {"/tests/data", "/examples"}) {
        for (const fs::directory_entry &entry :
             fs::directory_iterator(fs::path(CELLSIFT_SOURCE_DIR) / (pszDir + 1))) {
            if (entry.path().extension() == ".xls") {
                workbooks.push_back(entry.path());
            }
        }
    }
    ASSERT_GE(workbooks.size(), 10u);
    for (const fs::path &workbook : workbooks) {
        SCOPED_TRACE(workbook.filename().string());
        fs::path expected = fs::path(workbook).replace_extension(".expected");
        std::string sExpected = ReadFileBytes(expected.string());
        ASSERT_FALSE(sExpected.empty());
        int nResult = 0;
        std::string sText = Extract(workbook, &nResult);
        EXPECT_EQ(0, g_bError);
        EXPECT_EQ(static_cast<int>(sText.size()), nResult);
#ifdef _WIN32
        // Characters outside Windows-1251 may come out as the system's nearest letter there.
        if (sExpected.find('?') != std::string::npos) {
            continue;
        }
#endif
        EXPECT_EQ(sExpected, sText);
        for (const std::string &sValue : AbsentValues(fs::path(workbook).replace_extension(".cells.txt"))) {
            EXPECT_EQ(std::string::npos, sText.find(sValue)) << sValue;
        }
    }
}

#ifndef _WIN32
// Paths are the host's bytes: every byte of the code page, the unassigned 0x98 included,
// survives the trip through the storage call's UTF-16 name.
TEST(RealWorkbooks, OpenUnderNamesWithEveryHighByte)
{
    fs::path source = fs::path(CELLSIFT_SOURCE_DIR) / "examples" / "sample.xls";
    fs::path dir = fs::temp_directory_path() / ("cellsift-names-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string sName = "\x98\xC0\xFF\xA8 \xD0\x9E";
    fs::path copy = dir / (sName + ".xls");
    fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
    EXPECT_EQ(GetLengthOfTextPortion(source.string().c_str(), 0),
              GetLengthOfTextPortion(copy.string().c_str(), 0));
    EXPECT_EQ(0, g_bError);
    fs::remove_all(dir);
}
#endif

} // namespace
