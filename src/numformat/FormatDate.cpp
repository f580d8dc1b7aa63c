// Dates, times and elapsed times through a format's date sections, in the format's locale. A value is
// rounded to the shown fraction of a second first, then cut into its parts; the 1900 system
// keeps its day 0 (January 0) and its 29th of February 1900.
#include "numformat/NumberFormat.h"

#include <math.h>

#include <charconv>

#include "numformat/CellValue.h"
#include "numformat/ShownBuffer.h"

namespace {

// The bytes of the first character of a UTF-8 name: mmmmm writes the month's initial.
size_t Utf8Lead(const std::string &name)
{
    size_t cb = name.empty() ? 0 : 1;
    while (cb < name.size() && (static_cast<uint8_t>(name[cb]) & 0xC0) == 0x80) {
        cb++;
    }
    return cb;
}

void AppendNumberPadded(int64_t n, uint32_t cWidth, ShownBuffer *pOut)
{
    if (n >= 0 && n < 100 && cWidth <= 2) { // every part of a date but its year and elapsed times
        if (n >= 10 || cWidth == 2) {
            pOut->Put(static_cast<char>('0' + n / 10));
        }
        pOut->Put(static_cast<char>('0' + n % 10));
        return;
    }
    char rgch[24];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), n);
    for (size_t cch = static_cast<size_t>(result.ptr - rgch); cch < cWidth; cch++) {
        pOut->Put('0');
    }
    pOut->Put(std::string_view(rgch, static_cast<size_t>(result.ptr - rgch)));
}

struct DateParts {
    int nYear = 0;
    unsigned nMonth = 1, nDay = 0, nWeekday = 0;
    int64_t nDays = 0;     // whole days
    int64_t nSecond = 0;   // of the day
    int64_t nFraction = 0; // of the second, in units of 10^-cDecimals
};

} // namespace

bool RenderDateSection(const NumberFormat &format, const FormatSection &section, double d, bool fDate1904,
                       std::string *ps)
{
    bool fElapsed = section.fElapsed, fDate = section.fDateParts, fTime = section.fTimeParts;
    // Day 2958465 of the 1900 system is 9999-12-31; the 1904 system counts 1462 fewer. Only an
    // elapsed time may be negative, and it may be long, but not past what 64 bits count; a
    // time of day takes the fraction of any day.
    const int64_t nLastDay = fDate1904 ? 2957003 : 2958465;
    if (fElapsed ? !(fabs(d) < 1e9) : !(d >= 0 && (!fDate || d < static_cast<double>(nLastDay + 1)))) {
        return false;
    }
    int64_t nUnitsPerSecond = 1;
    for (uint32_t i = 0; i < section.cSecondDecimals; i++) {
        nUnitsPerSecond *= 10;
    }
    double dDays = floor(fabs(d));
    const int64_t nUnitsPerDay = 86400 * nUnitsPerSecond;
    // A date without a time is the day the value falls in, not the nearest one.
    int64_t nUnits = fTime || fElapsed ? llround((fabs(d) - dDays) * static_cast<double>(nUnitsPerDay)) : 0;
    DateParts parts;
    parts.nDays = dDays < 1e9 ? static_cast<int64_t>(dDays) : 0;
    if (nUnits == nUnitsPerDay) {
        parts.nDays++;
        nUnits = 0;
    }
    parts.nSecond = nUnits / nUnitsPerSecond;
    parts.nFraction = nUnits % nUnitsPerSecond;
    if (fDate && parts.nDays > nLastDay) {
        return false;
    }
    if (fDate) {
        CivilFromSerial(parts.nDays, fDate1904, &parts.nYear, &parts.nMonth, &parts.nDay);
        parts.nWeekday = static_cast<unsigned>((parts.nDays + (fDate1904 ? 5 : 6)) % 7);
    }
    const FormatLocale &locale = format.Locale();
    ShownBuffer out(ps);
    if (d < 0 && (parts.nDays != 0 || nUnits != 0)) {
        out.Put('-');
    }
    int64_t nHour = parts.nSecond / 3600;
    for (uint32_t i = section.iFirst; i < section.iEnd; i++) {
        const FormatToken &token = format.Token(i);
        uint32_t n = token.n;
        switch (token.kind) {
        case FormatTokenKind::Year:
            AppendNumberPadded(n <= 2 ? parts.nYear % 100 : parts.nYear, n <= 2 ? 2 : 4, &out);
            break;
        case FormatTokenKind::Month:
            if (n <= 2) {
                AppendNumberPadded(parts.nMonth, n, &out);
            } else if (n == 3) {
                out.Put(locale.rgMonthAbbr[parts.nMonth - 1]);
            } else {
                const std::string &name =
                    (section.fDayOfMonth ? locale.rgMonth : locale.rgMonthAlone)[parts.nMonth - 1];
                out.Put(n == 5 ? std::string_view(name).substr(0, Utf8Lead(name)) : std::string_view(name));
            }
            break;
        case FormatTokenKind::Day:
            if (n <= 2) {
                AppendNumberPadded(parts.nDay, n, &out);
            } else {
                out.Put(n == 3 ? locale.rgDayAbbr[parts.nWeekday] : locale.rgDay[parts.nWeekday]);
            }
            break;
        case FormatTokenKind::Hour:
            AppendNumberPadded(section.fAmPm ? (nHour % 12 == 0 ? 12 : nHour % 12) : nHour, n < 2 ? 1 : 2,
                               &out);
            break;
        case FormatTokenKind::Minute: AppendNumberPadded(parts.nSecond / 60 % 60, n < 2 ? 1 : 2, &out); break;
        case FormatTokenKind::Second: AppendNumberPadded(parts.nSecond % 60, n < 2 ? 1 : 2, &out); break;
        case FormatTokenKind::SecondFraction: {
            out.Put(format.NumberLocale().decimal);
            int64_t nFraction = parts.nFraction;
            for (uint32_t k = n; k < section.cSecondDecimals; k++) {
                nFraction /= 10;
            }
            AppendNumberPadded(nFraction, n, &out);
            break;
        }
        case FormatTokenKind::AmPm:
            if (n == 0) {
                out.Put(nHour < 12 ? locale.am : locale.pm);
            } else {
                out.Put(n == 2 ? (nHour < 12 ? 'a' : 'p') : (nHour < 12 ? 'A' : 'P'));
            }
            break;
        case FormatTokenKind::ElapsedHour: AppendNumberPadded(parts.nDays * 24 + nHour, n, &out); break;
        case FormatTokenKind::ElapsedMinute:
            AppendNumberPadded((parts.nDays * 24 + nHour) * 60 + parts.nSecond / 60 % 60, n, &out);
            break;
        case FormatTokenKind::ElapsedSecond:
            AppendNumberPadded(parts.nDays * 86400 + parts.nSecond, n, &out);
            break;
        default: out.Put(format.Literal(token)); break;
        }
    }
    out.Flush();
    return true;
}
