// Locales by name, by a format code's tag and from the environment, and what a code's own tag
// changes in a cell beyond the frozen LibreOffice cases.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "numformat/NumberFormat.h"

namespace {

std::string Shown(const char *pszCode, double d, const FormatLocale &locale = FormatLocale::EnUs())
{
    NumberFormat format(pszCode, locale);
    std::string out;
    format.Render(d, false, &out);
    EXPECT_LE(out.size(), format.NumberShownMax()) << pszCode;
    return out;
}

TEST(FormatLocale, NamesOfOneLocaleFindTheSameOne)
{
    const FormatLocale *pGerman = FindFormatLocale("de-DE");
    ASSERT_NE(pGerman, nullptr);
    EXPECT_EQ(pGerman->tag, "de-DE");
    EXPECT_EQ(FindFormatLocale("de_DE.UTF-8"), pGerman);
    EXPECT_EQ(FindFormatLocale("de_DE@euro"), pGerman);
    EXPECT_EQ(FindFormatLocale("en-US"), &FormatLocale::EnUs());
    EXPECT_EQ(FindFormatLocale("en_US.UTF-8"), &FormatLocale::EnUs());
    EXPECT_NE(FindFormatLocale("en-GB"), &FormatLocale::EnUs());
    for (const char *pszName :
         {"xx-YY", "", "qq", "../de", "de DE", "de-DE-and-a-tag-far-too-long-for-one"}) {
        EXPECT_EQ(FindFormatLocale(pszName), nullptr) << pszName;
    }
    for (const char *pszName : {"en-GB", "es-ES", "it-IT", "pt-BR", "uk-UA", "pl-PL", "cs-CZ", "tr-TR",
                                "nl-NL", "sv-SE", "zh-CN", "zh-TW", "ko-KR"}) {
        const FormatLocale *pLocale = FindFormatLocale(pszName);
        ASSERT_NE(pLocale, nullptr) << pszName;
        EXPECT_FALSE(pLocale->decimal.empty() || pLocale->rgMonth[0].empty() || pLocale->shortDate.empty())
            << pszName;
        EXPECT_NE(Shown(pLocale->shortDate.c_str(), 45000, *pLocale).find("2023"), std::string::npos)
            << pszName;
    }
}

TEST(FormatLocale, EnvironmentAsPosixProgramsReadIt)
{
    const char *rgszName[] = {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"};
    for (const char *pszName : rgszName) {
        unsetenv(pszName);
    }
    EXPECT_EQ(LocaleTagFromEnvironment(), "en-US");
    setenv("LANG", "fr_FR.UTF-8", 1);
    EXPECT_EQ(LocaleTagFromEnvironment(), "fr_FR");
    setenv("LC_TIME", "ja_JP.UTF-8", 1);
    EXPECT_EQ(LocaleTagFromEnvironment(), "ja_JP");
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(LocaleTagFromEnvironment(), "en-US");
    for (const char *pszName : rgszName) {
        unsetenv(pszName);
    }
}

TEST(FormatLocale, CodeTagsShowTheirCellInTheirLocale)
{
    const FormatLocale &russian = *FindFormatLocale("ru-RU");
    // 45000.75 is Wednesday, March 15, 2023, 6 PM.
    EXPECT_EQ(Shown("[$-407]mmmm", 45000.75), "März");
    EXPECT_EQ(Shown("[$-1000407]dddd", 45000.75), "Mittwoch"); // calendar bits above the LCID
    EXPECT_EQ(Shown("[$-de-DE]dddd", 45000.75), "Mittwoch");
    EXPECT_EQ(Shown("[$-419]mmmm", 45000.75), "Март");
    EXPECT_EQ(Shown("[$-419]d mmmm", 45000.75), "15 марта");
    EXPECT_EQ(Shown("[$-409]mmmm", 45000.75, russian), "March");
    EXPECT_EQ(Shown("[$-409]m/d/yyyy", 45000.75, russian), "3/15/2023");
    EXPECT_EQ(Shown("m/d/yyyy", 45000.75, russian), "3.15.2023"); // / is the locale's date separator
    EXPECT_EQ(Shown("m\\/d\\/yyyy", 45000.75, russian), "3/15/2023");
    EXPECT_EQ(Shown("# ?/8", 1.25, russian), "1 2/8"); // a fraction bar is no date separator
    // A plain tag brings its separators; a currency tag only its symbol and names.
    EXPECT_EQ(Shown("[$-407]#,##0.00", 1234.5), "1.234,50");
    EXPECT_EQ(Shown("[$€-407]#,##0.00", 1234.5), "€1,234.50");
    EXPECT_EQ(Shown("[$€-407]#,##0.00", 1234.5, russian), "€1\u00A0234,50");
    // Neutral languages, the system's tags and unknown ones leave the cell in the reader's locale.
    EXPECT_EQ(Shown("[$-7]mmmm", 45000.75), "March");
    EXPECT_EQ(Shown("[$-FFFF]mmmm", 45000.75), "March");
    EXPECT_EQ(Shown("[$-xx-YY]mmmm", 45000.75), "March");
    EXPECT_EQ(Shown("[$-ZZZZZZZZZ]mmmm", 45000.75), "March");
    EXPECT_EQ(Shown("[$-F800]", 45000.75, russian), "среда, 15 марта 2023\u202Fг.");
    EXPECT_EQ(Shown("[$-x-sysdate]dddd", 45000.75), "Wednesday, March 15, 2023");
    EXPECT_EQ(Shown("[$-F400]", 45000.75, russian), "18:00:00");
}

TEST(FormatLocale, SeparatorsGeneralAndDayPeriods)
{
    const FormatLocale &french = *FindFormatLocale("fr-FR");
    const FormatLocale &japanese = *FindFormatLocale("ja-JP");
    EXPECT_EQ(Shown("General", -1234.5, french), "-1234,5");
    EXPECT_EQ(Shown("General", 1.5e-12, french), "1,5E-12");
    EXPECT_EQ(Shown("0.00E+00", 1234.5, french), "1,23E+03");
    EXPECT_EQ(Shown("#,##0", 1234567, french), "1\u202F234\u202F567");
    EXPECT_EQ(Shown("h:mm:ss.00", 0.5, french), "12:00:00,00");
    EXPECT_EQ(Shown("h:mm AM/PM", 0.75, japanese), "6:00 午後");
    EXPECT_EQ(Shown("h:mm A/P", 0.75, japanese), "6:00 P");
    EXPECT_EQ(Shown("mmmmm", 45000, *FindFormatLocale("ru-RU")), "М");
    // A number no section takes shows as General, with the locale's point.
    EXPECT_EQ(Shown("[>100]0", 2.5, french), "2,5");
}

// A hostile workbook may name a different locale in every code, and a code many: only a code's
// first tag is looked up, and a workbook's first CodeTagLocales::cTagsMax distinct ones.
TEST(FormatLocale, TagsLookedUpStayBounded)
{
    EXPECT_EQ(Shown("[$-407][$-40C]mmmm", 45000.75), "März");
    CodeTagLocales tags;
    auto shown = [&tags](const std::string &code) {
        NumberFormat format(code, FormatLocale::EnUs(), &tags);
        std::string out;
        format.Render(45000.75, false, &out);
        return out;
    };
    EXPECT_EQ(shown("[$-407]mmmm"), "März");
    for (size_t i = 1; i < CodeTagLocales::cTagsMax; i++) {
        EXPECT_EQ(shown("[$-de-X" + std::to_string(i) + "]mmmm"), "März");
    }
    EXPECT_EQ(shown("[$-407]mmmm"), "März");  // looked up before
    EXPECT_EQ(shown("[$-40C]mmmm"), "March"); // one too many
    std::string code;
    while (code.size() < 200000) {
        code += "[$-de-DE]";
    }
    EXPECT_EQ(Shown((code + "mmmm").c_str(), 45000.75), "März");
}

} // namespace
