// What the reader's locale changes in shown values: separators, month and day names, day periods,
// and the codes of the formats whose meaning is the system's. en-US is built in; others are ICU's.
#ifndef CELLSIFT_NUMFORMAT_FORMATLOCALE_H
#define CELLSIFT_NUMFORMAT_FORMATLOCALE_H

#include <stdint.h>

#include <string>
#include <string_view>
#include <unordered_map>

struct FormatLocale {
    std::string tag; // BCP 47: en-US, ru-RU
    std::string decimal, group;
    std::string dateSeparator; // what an unquoted / shows in a date
    // mmmm: a date with its day of the month writes rgMonth (Russian's genitive, "5 марта"); a
    // month on its own, rgMonthAlone ("Март 2023").
    std::string rgMonth[12], rgMonthAlone[12], rgMonthAbbr[12];
    std::string rgDay[7], rgDayAbbr[7]; // Sunday first
    std::string am, pm;
    // The codes of the system's formats: the short date (built-in 14, four-digit year), the
    // 24-hour times 20 and 21, the long date ([$-F800]) and time ([$-F400]), and the currency
    // formats 5-8 and 41-44.
    std::string shortDate, shortTime, time, longDate, longTime;
    std::string rgCurrencyCode[8];
    // The widest of each kind of text, for what a format may show at most.
    size_t cbMonthMax = 0, cbMonthAbbrMax = 0, cbDayMax = 0, cbDayAbbrMax = 0, cbAmPmMax = 0;

    bool IsEnUs() const { return this == &EnUs(); }
    // The reader's default, as the formats' own documentation writes them.
    static const FormatLocale &EnUs();
};

// The locale a tag names (en-US, ru_RU, de-DE.UTF-8's language and region), from ICU's data;
// nullptr when ICU has none for its language. Each locale is made once and kept for the life of
// the process: a tag resolves to the data ICU holds, so their number is bounded by ICU's.
const FormatLocale *FindFormatLocale(std::string_view tag);
// A format code's locale tag: an LCID ([$-407]) or a name ([$-ja-JP]); nullptr for what names
// no specific locale (the system's F800, a language without its country).
const FormatLocale *FormatLocaleOfCodeTag(std::string_view tag);
// The locale tags of one workbook's codes, each looked up once. A workbook has the reader look
// up at most cTagsMax distinct ones (a lookup costs ICU's data some microseconds); codes with
// others show in the reader's locale.
class CodeTagLocales {
public:
    static const size_t cTagsMax = 64;
    const FormatLocale *Find(std::string_view tag);

private:
    std::unordered_map<std::string, const FormatLocale *> m_map;
};

// --locale auto: LC_ALL, then LC_NUMERIC, LC_TIME, LANG, as POSIX programs read them; en-US
// for C, POSIX or nothing set.
std::string LocaleTagFromEnvironment();

#endif
