// Reads tests/numformat/cases/format-cases*.tsv: a header line, then one case per line.
#include "numformat/FormatCases.h"

#include <fstream>

const char *const rgszCaseLocale[4] = {"ru-RU", "de-DE", "fr-FR", "ja-JP"};

std::vector<FormatCase> ReadFormatCases(const std::string &locale)
{
    std::ifstream in(CELLSIFT_SOURCE_DIR "/tests/numformat/cases/format-cases" +
                         (locale.empty() ? std::string() : "-" + locale) + ".tsv",
                     std::ios::binary);
    std::vector<FormatCase> rgCase;
    std::string line;
    for (int nLine = 1; std::getline(in, line); nLine++) {
        if (nLine == 1 || line.empty()) {
            continue;
        }
        FormatCase c;
        c.nLine = nLine;
        std::string *rgpField[] = {&c.code, &c.value, &c.shown, &c.note};
        size_t ich = 0;
        for (std::string *pField : rgpField) {
            size_t ichTab = line.find('\t', ich);
            *pField = line.substr(ich, ichTab == std::string::npos ? std::string::npos : ichTab - ich);
            if (ichTab == std::string::npos) {
                break;
            }
            ich = ichTab + 1;
        }
        rgCase.push_back(c);
    }
    return rgCase;
}
