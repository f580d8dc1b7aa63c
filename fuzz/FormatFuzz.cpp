// Fuzz target: the number-format parser and renderers. The first 8 bytes are a value, the rest
// a format code; the value's first byte also picks the reader's locale. What a code shows must
// stay within what it says it shows at most, linear in its length, and valid UTF-8 when the
// code is.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <string_view>

#include "FuzzUtf8.h"
#include "numformat/NumberFormat.h"

namespace {

// The widest a token shows for the bytes it takes: a "d" shows "31", "[s]" 14 digits.
const size_t cbOutPerCodeByte = 6;
const size_t cbOutFixed = 1024; // the digits of 1e308, its separators, a General value
// The reader's budget for repeated text is 64 bytes a stream byte; a cell's text is at most
// 65,535 characters of three bytes.
const size_t cbBudgetPerByte = 64;
const size_t cbTextMax = 65535 * 3;

// A text cell of every length the budget lets the format show: the lengths by doubling, and
// the longest that fits. Each shows exactly what the format said before rendering it.
void CheckTexts(const NumberFormat &format, size_t cbCode, bool fUtf8)
{
    const size_t cbBudget = cbBudgetPerByte * (cbCode + 8);
    size_t cbLiterals = format.TextShownSize(0);
    size_t cAt = format.TextShownSize(1) - cbLiterals;
    // Without a text section a text shows as it is; with one, its literals and its @ are
    // each at least a byte of the code.
    if (format.HasTextSection() ? cbLiterals > cbCode || cAt > cbCode : cbLiterals != 0 || cAt != 1) {
        abort();
    }
    size_t cbLongest = cAt == 0 || cbLiterals > cbBudget ? cbTextMax : (cbBudget - cbLiterals) / cAt;
    cbLongest = cbLongest < cbTextMax ? cbLongest : cbTextMax;
    std::string text, out;
    for (size_t cb = 0;; cb = cb == 0 ? 1 : cb * 2 < cbLongest ? cb * 2 : cbLongest) {
        text.assign(cb, 'x');
        for (size_t i = 0; i + 3 <= cb; i += 7) {
            memcpy(&text[i], "\xE4\xB8\xAD", 3); // one CJK character in three bytes
        }
        out.clear();
        format.RenderText(text, &out);
        if (out.size() != format.TextShownSize(cb) || (fUtf8 && !IsUtf8(out))) {
            abort();
        }
        if (cb == cbLongest) {
            break;
        }
    }
}

// The most a byte of the code may show in a locale: a digit and its separator, or a name of
// the locale's for the letters that ask for it (mmmm: September, or a longer one elsewhere).
size_t OutPerCodeByte(const FormatLocale &names, const FormatLocale &numbers)
{
    size_t cb = cbOutPerCodeByte;
    for (size_t cbOther : {names.cbMonthMax, names.cbDayMax, names.cbAmPmMax, names.dateSeparator.size() + 1,
                           numbers.group.size() + 1, numbers.decimal.size() + 1}) {
        cb = cbOther > cb ? cbOther : cb;
    }
    return cb;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData)
{
    double dInput = 0;
    const size_t iLocale = cbData > 0 ? pbData[0] % 4 : 0;
    if (cbData >= sizeof(dInput)) {
        memcpy(&dInput, pbData, sizeof(dInput));
        pbData += sizeof(dInput);
        cbData -= sizeof(dInput);
    }
    static const FormatLocale *const rgpLocale[] = {&FormatLocale::EnUs(), FindFormatLocale("ru-RU"),
                                                    FindFormatLocale("fr-FR"), FindFormatLocale("ja-JP")};
    const FormatLocale &locale = *rgpLocale[iLocale];
    std::string_view code((const char *)pbData, cbData);
    NumberFormat format(code, locale);
    bool fUtf8 = IsUtf8(code);
    size_t cbPerByte = OutPerCodeByte(format.Locale(), format.NumberLocale());
    if (format.NumberShownMax() > cbPerByte * cbData + cbOutFixed) {
        abort();
    }
    const double rgd[] = {dInput, 0.0, -1.5, 45000.75, 1e300, -1e-300, 0.5, 2958465.999999, NAN, -INFINITY};
    std::string out;
    for (double d : rgd) {
        for (bool fDate1904 : {false, true}) {
            out.clear();
            format.Render(d, fDate1904, &out);
            if (out.size() > format.NumberShownMax() || (fUtf8 && !IsUtf8(out))) {
                abort();
            }
        }
    }
    CheckTexts(format, cbData, fUtf8);
    (void)format.IsDate();
    return 0;
}
