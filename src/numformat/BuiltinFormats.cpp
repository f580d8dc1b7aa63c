// The number formats a workbook may use by index without a FORMAT record, as the reader's
// locale defines them, how it shows the indexes other locales define, and the system's.
#include "numformat/NumberFormat.h"

std::string SystemFormatCode(std::string_view code, const FormatLocale &locale)
{
    // The code after the tag is the writer's own long date or time; a reader shows its own
    // (LibreOffice shows Sunday, March 5, 2023 for [$-F800]dddd, mmmm dd, yyyy).
    const struct {
        const char *pszTag;
        const std::string &code;
    } rgSystem[] = {{"[$-f800]", locale.longDate},
                    {"[$-f400]", locale.longTime},
                    {"[$-x-sysdate]", locale.longDate},
                    {"[$-x-systime]", locale.longTime}};
    for (const auto &system : rgSystem) {
        std::string_view tag = system.pszTag;
        bool fMatch = code.size() >= tag.size();
        for (size_t i = 0; fMatch && i < tag.size(); i++) {
            fMatch = (code[i] >= 'A' && code[i] <= 'Z' ? code[i] + 32 : code[i]) == tag[i];
        }
        if (fMatch) {
            return std::string(code.substr(0, tag.size())) + system.code;
        }
    }
    return std::string(code);
}

std::string BuiltinFormatCode(uint16_t ifmt, const FormatLocale &locale)
{
    // The system's short date, times and currency; 22 is the short date and the short time.
    switch (ifmt) {
    case 14: return locale.shortDate;
    case 20: return locale.shortTime;
    case 21: return locale.time;
    case 22: return locale.shortDate + " " + locale.shortTime;
    default: break;
    }
    if ((ifmt >= 5 && ifmt <= 8) || (ifmt >= 41 && ifmt <= 44)) {
        return locale.rgCurrencyCode[ifmt <= 8 ? ifmt - 5 : ifmt - 41 + 4];
    }
    static const char *const rgszCode[] = {
        "General", "0",        "0.00",  "#,##0",  "#,##0.00",   nullptr,         nullptr,
        nullptr,   nullptr,    "0%",    "0.00%",  "0.00E+00",   "# ?/?",         "# ?\?/?\?",
        nullptr,   "d-mmm-yy", "d-mmm", "mmm-yy", "h:mm AM/PM", "h:mm:ss AM/PM",
    };
    static const char *const rgszCode37[] = {
        "#,##0_);(#,##0)",
        "#,##0_);[Red](#,##0)",
        "#,##0.00_);(#,##0.00)",
        "#,##0.00_);[Red](#,##0.00)",
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        "mm:ss",
        "[h]:mm:ss",
        "mm:ss.0",
        "##0.0E+0",
        "@",
    };
    // 27-36 and 50-58 are East Asian dates and times: other locales show 32-35 as a time of
    // day and the others as their short date, as LibreOffice does.
    if ((ifmt >= 27 && ifmt <= 36) || (ifmt >= 50 && ifmt <= 58)) {
        return ifmt >= 32 && ifmt <= 35 ? locale.time : locale.shortDate;
    }
    // 59-81 are Thai numbers, dates and times: en-US shows each as one of its own, as
    // LibreOffice does.
    static const uint8_t rgifmtThai[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 12, 13,
                                         14, 14, 15, 16, 17, 20, 21, 22, 45, 46, 47};
    if (ifmt >= 59 && ifmt <= 81) {
        return BuiltinFormatCode(rgifmtThai[ifmt - 59], locale);
    }
    if (ifmt < sizeof(rgszCode) / sizeof(rgszCode[0])) {
        return rgszCode[ifmt];
    }
    if (ifmt >= 37 && ifmt < 37 + sizeof(rgszCode37) / sizeof(rgszCode37[0])) {
        return rgszCode37[ifmt - 37];
    }
    return std::string();
}
