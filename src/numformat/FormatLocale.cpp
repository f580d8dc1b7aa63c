// The built-in en-US locale, the registry of the others (made once each from ICU, kept for the
// process), and the names a user, the environment or a format code gives a locale.
#include "numformat/FormatLocale.h"

#include <stdlib.h>

#include <map>
#include <memory>
#include <mutex>

#include "numformat/IcuLocale.h"

void MeasureFormatLocale(FormatLocale *pLocale)
{
    auto widest = [](const std::string *rg, size_t c) {
        size_t cb = 0;
        for (size_t i = 0; i < c; i++) {
            cb = rg[i].size() > cb ? rg[i].size() : cb;
        }
        return cb;
    };
    FormatLocale &locale = *pLocale;
    size_t cbMonth = widest(locale.rgMonth, 12), cbAlone = widest(locale.rgMonthAlone, 12);
    locale.cbMonthMax = cbMonth > cbAlone ? cbMonth : cbAlone;
    locale.cbMonthAbbrMax = widest(locale.rgMonthAbbr, 12);
    locale.cbDayMax = widest(locale.rgDay, 7);
    locale.cbDayAbbrMax = widest(locale.rgDayAbbr, 7);
    locale.cbAmPmMax = locale.am.size() > locale.pm.size() ? locale.am.size() : locale.pm.size();
}

const FormatLocale &FormatLocale::EnUs()
{
    static const FormatLocale enUs = [] {
        static const char *const rgszMonth[] = {"January",   "February", "March",    "April",
                                                "May",       "June",     "July",     "August",
                                                "September", "October",  "November", "December"};
        static const char *const rgszDay[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};
        FormatLocale locale;
        locale.tag = "en-US";
        locale.decimal = ".";
        locale.group = ",";
        locale.dateSeparator = "/";
        for (int i = 0; i < 12; i++) {
            locale.rgMonth[i] = locale.rgMonthAlone[i] = rgszMonth[i];
            locale.rgMonthAbbr[i] = locale.rgMonth[i].substr(0, 3);
        }
        for (int i = 0; i < 7; i++) {
            locale.rgDay[i] = rgszDay[i];
            locale.rgDayAbbr[i] = locale.rgDay[i].substr(0, 3);
        }
        locale.am = "AM";
        locale.pm = "PM";
        locale.shortDate = "m/d/yyyy";
        locale.shortTime = "h:mm";
        locale.time = "h:mm:ss";
        locale.longDate = "dddd, mmmm d, yyyy";
        locale.longTime = "h:mm:ss AM/PM";
        static const char *const rgszCurrency[] = {
            "$#,##0_);($#,##0)",
            "$#,##0_);[Red]($#,##0)",
            "$#,##0.00_);($#,##0.00)",
            "$#,##0.00_);[Red]($#,##0.00)",
            "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",
            "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)",
            "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)",
            "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)",
        };
        for (int i = 0; i < 8; i++) {
            locale.rgCurrencyCode[i] = rgszCurrency[i];
        }
        MeasureFormatLocale(&locale);
        return locale;
    }();
    return enUs;
}

namespace {

std::mutex g_mutexLocales;

// Locales by the name of the ICU data they are made of (de_DE): many names (de-DE, de_DE.UTF-8,
// LCID 0x407) find one, and there are no more of them than ICU has locales, each made once.
// A name ICU could not make stays, as null, so that it is not tried again.
std::map<std::string, std::unique_ptr<FormatLocale>> &LocalesByData()
{
    static std::map<std::string, std::unique_ptr<FormatLocale>> map;
    return map;
}

// The part of a POSIX locale name ICU reads: ru_RU.UTF-8@euro is ru_RU.
std::string_view WithoutCodeset(std::string_view tag)
{
    size_t ich = tag.find_first_of(".@");
    return ich == std::string_view::npos ? tag : tag.substr(0, ich);
}

} // namespace

const FormatLocale *FindFormatLocale(std::string_view tagAsked)
{
    std::string_view tag = WithoutCodeset(tagAsked);
    // A hostile code's tag may be anything: only a short tag of letters, digits, - and _ is
    // handed to ICU, which names the data it has for it without making anything.
    if (tag.empty() || tag.size() > 32 ||
        tag.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                              "0123456789-_") != std::string_view::npos) {
        return nullptr;
    }
    std::string dataName = IcuDataLocaleName(std::string(tag));
    if (dataName.empty()) {
        return nullptr;
    }
    if (dataName == "en" || dataName == "en_US") {
        return &FormatLocale::EnUs();
    }
    std::lock_guard<std::mutex> lock(g_mutexLocales);
    auto &byData = LocalesByData();
    auto it = byData.find(dataName);
    if (it == byData.end()) {
        it = byData.emplace(dataName, MakeIcuFormatLocale(dataName)).first;
    }
    return it->second.get();
}

const FormatLocale *FormatLocaleOfCodeTag(std::string_view tag)
{
    bool fHex = !tag.empty() && tag.size() <= 8 &&
                tag.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos;
    if (!fHex) {
        return tag.find('-') != std::string_view::npos && tag.substr(0, 2) != "x-" ? FindFormatLocale(tag)
                                                                                   : nullptr;
    }
    // The low 16 bits are the LCID; above them, the calendar and digits. An LCID below 0x400
    // names a language without its country, and F400/F800 the system's own formats.
    uint32_t lcid = static_cast<uint32_t>(strtoul(std::string(tag).c_str(), nullptr, 16)) & 0xFFFF;
    if (lcid < 0x400 || lcid >= 0xF000) {
        return nullptr;
    }
    std::string name = IcuLocaleNameOfLcid(lcid);
    return name.empty() ? nullptr : FindFormatLocale(name);
}

const FormatLocale *CodeTagLocales::Find(std::string_view tag)
{
    auto it = m_map.find(std::string(tag));
    if (it != m_map.end()) {
        return it->second;
    }
    if (m_map.size() >= cTagsMax) {
        return nullptr;
    }
    const FormatLocale *pLocale = FormatLocaleOfCodeTag(tag);
    m_map.emplace(std::string(tag), pLocale);
    return pLocale;
}

std::string LocaleTagFromEnvironment()
{
    for (const char *pszName : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"}) {
        const char *pszValue = getenv(pszName);
        if (pszValue != nullptr && *pszValue != '\0') {
            std::string_view value = WithoutCodeset(pszValue);
            return value == "C" || value == "POSIX" ? "en-US" : std::string(value);
        }
    }
    return "en-US";
}
