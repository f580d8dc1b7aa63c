// The number formats a workbook may use by index without a FORMAT record, as the en-US
// programs define them, how they show the indexes other locales define, and the system's.
#include "numformat/NumberFormat.h"

std::string SystemFormatCode(std::string_view code)
{
    // The code after the tag is the writer's own long date or time; a reader shows its own
    // (LibreOffice shows Sunday, March 5, 2023 for [$-F800]dddd, mmmm dd, yyyy).
    static const struct {
        const char *pszTag, *pszCode;
    } rgSystem[] = {{"[$-F800]", "dddd, mmmm d, yyyy"}, {"[$-F400]", "h:mm:ss AM/PM"}};
    for (const auto &system : rgSystem) {
        std::string_view tag = system.pszTag;
        bool fMatch = code.size() >= tag.size();
        for (size_t i = 0; fMatch && i < tag.size(); i++) {
            fMatch = (code[i] == 'f' ? 'F' : code[i]) == tag[i];
        }
        if (fMatch) {
            return std::string(tag) + system.pszCode;
        }
    }
    return std::string(code);
}

const char *BuiltinFormatCode(uint16_t ifmt)
{
    static const char *const rgszCode[] = {
        "General",
        "0",
        "0.00",
        "#,##0",
        "#,##0.00",
        "$#,##0_);($#,##0)",
        "$#,##0_);[Red]($#,##0)",
        "$#,##0.00_);($#,##0.00)",
        "$#,##0.00_);[Red]($#,##0.00)",
        "0%",
        "0.00%",
        "0.00E+00",
        "# ?/?",
        "# ?\?/?\?",
        "m/d/yyyy",
        "d-mmm-yy",
        "d-mmm",
        "mmm-yy",
        "h:mm AM/PM",
        "h:mm:ss AM/PM",
        "h:mm",
        "h:mm:ss",
        "m/d/yyyy h:mm",
    };
    static const char *const rgszCode37[] = {
        "#,##0_);(#,##0)",
        "#,##0_);[Red](#,##0)",
        "#,##0.00_);(#,##0.00)",
        "#,##0.00_);[Red](#,##0.00)",
        "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",
        "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)",
        "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)",
        "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)",
        "mm:ss",
        "[h]:mm:ss",
        "mm:ss.0",
        "##0.0E+0",
        "@",
    };
    // 27-36 and 50-58 are East Asian dates and times: en-US shows 32-35 as a time of day and
    // the others as its short date, as LibreOffice does.
    if ((ifmt >= 27 && ifmt <= 36) || (ifmt >= 50 && ifmt <= 58)) {
        return ifmt >= 32 && ifmt <= 35 ? "h:mm:ss" : "m/d/yyyy";
    }
    // 59-81 are Thai numbers, dates and times: en-US shows each as one of its own, as
    // LibreOffice does.
    static const uint8_t rgifmtThai[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 12, 13,
                                         14, 14, 15, 16, 17, 20, 21, 22, 45, 46, 47};
    if (ifmt >= 59 && ifmt <= 81) {
        return BuiltinFormatCode(rgifmtThai[ifmt - 59]);
    }
    if (ifmt < sizeof(rgszCode) / sizeof(rgszCode[0])) {
        return rgszCode[ifmt];
    }
    if (ifmt >= 37 && ifmt < 37 + sizeof(rgszCode37) / sizeof(rgszCode37[0])) {
        return rgszCode37[ifmt - 37];
    }
    return nullptr;
}
