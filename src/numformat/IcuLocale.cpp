// Locales made from ICU's CLDR data: their separators, names and the system's format codes, with
// the spreadsheet's own rules where they differ from CLDR's (a four-digit year in the short date).
#include "numformat/IcuLocale.h"

#include <set>

#include <unicode/calendar.h>
#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/dtptngen.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/udisplaycontext.h>
#include <unicode/uloc.h>

namespace {

std::string Utf8(const icu::UnicodeString &s)
{
    std::string out;
    s.toUTF8String(out);
    return out;
}

bool IsPatternLetter(char16_t ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

// An ICU date or time pattern as a format code: each field as the code's letters (years in four
// digits, as the spreadsheet's short date has them), its text quoted; eras and zones left out.
std::string CodeOfPattern(const icu::UnicodeString &pattern)
{
    std::string code;
    icu::UnicodeString quoted;
    auto flush = [&] {
        if (!quoted.isEmpty()) {
            code += '"' + Utf8(quoted) + '"';
            quoted.remove();
        }
    };
    const int32_t cch = pattern.length();
    for (int32_t i = 0; i < cch;) {
        char16_t ch = pattern[i];
        if (ch == '\'') { // 'text', and '' a quote inside or outside it
            int32_t j = i + 1;
            if (j < cch && pattern[j] == '\'') {
                quoted += u'\'';
                i = j + 1;
                continue;
            }
            for (; j < cch; j++) {
                if (pattern[j] == '\'') {
                    if (j + 1 < cch && pattern[j + 1] == '\'') {
                        quoted += u'\'';
                        j++;
                        continue;
                    }
                    break;
                }
                quoted += pattern[j];
            }
            i = j + 1;
            continue;
        }
        if (!IsPatternLetter(ch)) {
            if (ch == '/' || ch == '.' || ch == ',' || ch == '-' || ch == ' ' || ch == ':') {
                flush();
                code += static_cast<char>(ch);
            } else {
                quoted += ch;
            }
            i++;
            continue;
        }
        int32_t c = 1;
        while (i + c < cch && pattern[i + c] == ch) {
            c++;
        }
        i += c;
        flush();
        switch (ch) {
        case 'y':
        case 'u':
        case 'Y': code += "yyyy"; break;
        case 'M':
        case 'L': code += c == 1 ? "m" : c == 2 ? "mm" : c == 3 ? "mmm" : "mmmm"; break;
        case 'd': code += c == 1 ? "d" : "dd"; break;
        case 'E':
        case 'c':
        case 'e': code += c <= 3 ? "ddd" : "dddd"; break;
        case 'H':
        case 'k':
        case 'h':
        case 'K': code += c == 1 ? "h" : "hh"; break;
        case 'm': code += c == 1 ? "m" : "mm"; break;
        case 's': code += c == 1 ? "s" : "ss"; break;
        case 'a':
        case 'b':
        case 'B': code += "AM/PM"; break;
        default: break;
        }
    }
    flush();
    size_t ichFirst = code.find_first_not_of(' '), ichLast = code.find_last_not_of(' ');
    return ichFirst == std::string::npos ? std::string() : code.substr(ichFirst, ichLast - ichFirst + 1);
}

icu::UnicodeString PatternOf(icu::DateFormat *pFormat)
{
    icu::UnicodeString pattern;
    if (icu::SimpleDateFormat *pSimple = dynamic_cast<icu::SimpleDateFormat *>(pFormat)) {
        pSimple->toPattern(pattern);
    }
    delete pFormat;
    return pattern;
}

// A month's name standing alone, as CLDR capitalizes it there: Russian's "Март" where the
// list of names has "март"; the weekdays' short names stand alone too ("So", not "So.").
bool FillMonthsAlone(const icu::Locale &locale, std::string *rgMonth)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(icu::UnicodeString(u"LLLL"), locale, status);
    format.setContext(UDISPCTX_CAPITALIZATION_FOR_STANDALONE, status);
    icu::GregorianCalendar calendar(icu::TimeZone::getGMT()->clone(), locale, status);
    format.setTimeZone(*icu::TimeZone::getGMT());
    for (int i = 0; i < 12 && U_SUCCESS(status); i++) {
        calendar.clear();
        calendar.set(2023, i, 15);
        icu::UnicodeString name;
        format.format(calendar.getTime(status), name);
        rgMonth[i] = Utf8(name);
    }
    return U_SUCCESS(status);
}

// The currency formats 5-8 and 41-44, with the locale's symbol where its currency pattern puts
// it, and the negative sign before the number.
void FillCurrencyCodes(const icu::Locale &locale, const std::string &symbol, FormatLocale *pLocale)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString pattern;
    std::unique_ptr<icu::NumberFormat> pFormat(icu::NumberFormat::createCurrencyInstance(locale, status));
    if (icu::DecimalFormat *pDecimal = dynamic_cast<icu::DecimalFormat *>(pFormat.get())) {
        pDecimal->toPattern(pattern);
    }
    int32_t ichSymbol = pattern.indexOf(u'\u00A4');
    int32_t ichDigits = pattern.indexOf(u'#');
    bool fFirst = ichSymbol >= 0 && ichDigits >= 0 && ichSymbol < ichDigits;
    std::string space;
    int32_t ichNext = fFirst ? ichSymbol + 1 : ichSymbol - 1;
    if (ichSymbol >= 0 && ichNext >= 0 && ichNext < pattern.length()) {
        char16_t ch = pattern[ichNext];
        if (ch == u' ' || ch == u'\u00A0' || ch == u'\u202F') {
            space = Utf8(icu::UnicodeString(ch));
        }
    }
    auto shown = [&](const std::string &number) {
        return fFirst ? "\"" + symbol + space + "\"" + number : number + "\"" + space + symbol + "\"";
    };
    const std::string rgNumber[] = {"#,##0", "#,##0.00"};
    const std::string rgZero[] = {"\"-\"", "\"-\"??"};
    for (int i = 0; i < 2; i++) {
        std::string positive = shown(rgNumber[i]);
        pLocale->rgCurrencyCode[i * 2] = positive + ";-" + positive;
        pLocale->rgCurrencyCode[i * 2 + 1] = positive + ";[Red]-" + positive;
        pLocale->rgCurrencyCode[4 + i * 2] =
            "_-* " + rgNumber[i] + "_-;-* " + rgNumber[i] + "_-;_-* " + rgZero[i] + "_-;_-@_-";
        pLocale->rgCurrencyCode[5 + i * 2] =
            "_-* " + positive + "_-;-* " + positive + "_-;_-* " + shown(rgZero[i]) + "_-;_-@_-";
    }
}

} // namespace

std::string IcuDataLocaleName(const std::string &tag)
{
    static const std::set<std::string> available = [] {
        std::set<std::string> names;
        int32_t c = 0;
        const icu::Locale *rgLocale = icu::Locale::getAvailableLocales(c);
        for (int32_t i = 0; i < c; i++) {
            names.insert(rgLocale[i].getName());
        }
        return names;
    }();
    std::string name = tag;
    for (char &ch : name) {
        ch = ch == '-' ? '_' : ch;
    }
    icu::Locale locale(name.c_str());
    UErrorCode status = U_ZERO_ERROR;
    locale.addLikelySubtags(status); // zh_TW is zh_Hant_TW, de is de_Latn_DE
    if (locale.isBogus() || *locale.getLanguage() == '\0' || U_FAILURE(status)) {
        return std::string();
    }
    std::string language = locale.getLanguage(), script = locale.getScript(), country = locale.getCountry();
    for (const std::string &candidate : {language + "_" + script + "_" + country, language + "_" + country,
                                         language + "_" + script, language}) {
        if (available.count(candidate) != 0) {
            return candidate;
        }
    }
    return std::string();
}

std::unique_ptr<FormatLocale> MakeIcuFormatLocale(const std::string &dataName)
{
    icu::Locale locale(dataName.c_str());
    UErrorCode status = U_ZERO_ERROR;
    icu::DecimalFormatSymbols numbers(locale, status);
    icu::DateFormatSymbols dates(locale, status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    auto pLocale = std::make_unique<FormatLocale>();
    FormatLocale &result = *pLocale;
    std::string languageTag = locale.toLanguageTag<std::string>(status);
    result.tag = U_SUCCESS(status) ? languageTag : dataName;
    result.decimal = Utf8(numbers.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol));
    result.group = Utf8(numbers.getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol));
    int32_t c = 0;
    const icu::UnicodeString *rgName =
        dates.getMonths(c, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
    for (int i = 0; i < 12 && i < c; i++) {
        result.rgMonth[i] = Utf8(rgName[i]);
    }
    rgName = dates.getMonths(c, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::ABBREVIATED);
    for (int i = 0; i < 12 && i < c; i++) {
        result.rgMonthAbbr[i] = Utf8(rgName[i]);
    }
    // The weekdays count from 1, Sunday.
    rgName = dates.getWeekdays(c, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
    for (int i = 0; i < 7 && i + 1 < c; i++) {
        result.rgDay[i] = Utf8(rgName[i + 1]);
    }
    rgName = dates.getWeekdays(c, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::ABBREVIATED);
    for (int i = 0; i < 7 && i + 1 < c; i++) {
        result.rgDayAbbr[i] = Utf8(rgName[i + 1]);
    }
    rgName = dates.getAmPmStrings(c);
    if (c >= 2) {
        result.am = Utf8(rgName[0]);
        result.pm = Utf8(rgName[1]);
    }
    if (!FillMonthsAlone(locale, result.rgMonthAlone)) {
        return nullptr;
    }
    // Only a language that writes a month otherwise in a date (Russian's "5 марта") makes the
    // name standing alone a title; French writes "janvier" either way.
    rgName = dates.getMonths(c, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::WIDE);
    bool fInflected = false;
    for (int i = 0; i < 12 && i < c; i++) {
        fInflected = fInflected || Utf8(rgName[i]) != result.rgMonth[i];
    }
    for (int i = 0; i < 12 && i < c && !fInflected; i++) {
        result.rgMonthAlone[i] = Utf8(rgName[i]);
    }
    icu::UnicodeString shortDate =
        PatternOf(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale));
    result.shortDate = CodeOfPattern(shortDate);
    result.longDate =
        CodeOfPattern(PatternOf(icu::DateFormat::createDateInstance(icu::DateFormat::kFull, locale)));
    result.longTime =
        CodeOfPattern(PatternOf(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale)));
    // 20 and 21 are times of a 24-hour clock in every locale: the locale's form of one.
    std::unique_ptr<icu::DateTimePatternGenerator> pGenerator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    result.shortTime = CodeOfPattern(pGenerator->getBestPattern(icu::UnicodeString(u"Hm"), status));
    result.time = CodeOfPattern(pGenerator->getBestPattern(icu::UnicodeString(u"Hms"), status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    // The date separator is what the short date writes between its first two fields.
    result.dateSeparator = "/";
    for (int32_t i = 0; i + 1 < shortDate.length(); i++) {
        if (IsPatternLetter(shortDate[i]) && !IsPatternLetter(shortDate[i + 1]) && shortDate[i + 1] != '\'') {
            result.dateSeparator = Utf8(icu::UnicodeString(shortDate[i + 1]));
            break;
        }
    }
    FillCurrencyCodes(locale, Utf8(numbers.getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol)), &result);
    MeasureFormatLocale(&result);
    return pLocale;
}

std::string IcuLocaleNameOfLcid(uint32_t lcid)
{
    char rgch[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t cch = uloc_getLocaleForLCID(lcid, rgch, sizeof(rgch), &status);
    return U_SUCCESS(status) && cch > 0 && cch < static_cast<int32_t>(sizeof(rgch)) ? std::string(rgch, cch)
                                                                                    : std::string();
}
