// Numbers, dates and error codes as text, and the date test for number formats. The date
// rules follow the spreadsheet programs: day 60 of the 1900 system is the 29th of February
// 1900 that never was, and days before it are one off from a plain count.
#include "numformat/CellValue.h"

#include <math.h>

#include <charconv>

#include "biff/ErrorCodes.h"

void AppendNumber(double d, std::string *ps)
{
    if (d == 0) {
        ps->push_back('0'); // also for -0, which no one means
        return;
    }
    char rgch[32];
    // Whole numbers a person would type stay in full ("1000000", not "1e+06").
    bool fWhole = fabs(d) < 1e16 && d == trunc(d);
    std::to_chars_result result = fWhole
                                      ? std::to_chars(rgch, rgch + sizeof(rgch), d, std::chars_format::fixed)
                                      : std::to_chars(rgch, rgch + sizeof(rgch), d);
    ps->append(rgch, static_cast<size_t>(result.ptr - rgch));
}

namespace {

void AppendDigits(unsigned n, int cDigits, std::string *ps)
{
    char rgch[8];
    for (int i = cDigits - 1; i >= 0; i--) {
        rgch[i] = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    ps->append(rgch, static_cast<size_t>(cDigits));
}

// Civil date of a day count from 1970-01-01 (proleptic Gregorian).
void CivilFromDays(long long z, int *pnYear, unsigned *pnMonth, unsigned *pnDay)
{
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = static_cast<long long>(yoe) + era * 400;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    *pnDay = doy - (153 * mp + 2) / 5 + 1;
    *pnMonth = mp < 10 ? mp + 3 : mp - 9;
    *pnYear = static_cast<int>(y + (*pnMonth <= 2));
}

} // namespace

void CivilFromSerial(long long nDays, bool fDate1904, int *pnYear, unsigned *pnMonth, unsigned *pnDay)
{
    if (fDate1904) {
        CivilFromDays(nDays - 24107, pnYear, pnMonth, pnDay); // 1904-01-01 is day 0
    } else if (nDays == 0) {
        *pnYear = 1900, *pnMonth = 1, *pnDay = 0;
    } else if (nDays == 60) {
        *pnYear = 1900, *pnMonth = 2, *pnDay = 29;
    } else {
        // Day 1 is 1900-01-01; from day 61 on the count is one ahead of the calendar.
        CivilFromDays(nDays - (nDays < 60 ? 25568 : 25569), pnYear, pnMonth, pnDay);
    }
}

bool SerialDateOf(double d, bool fDate1904, SerialDate *pDate)
{
    // Day 2958465 of the 1900 system is 9999-12-31; the 1904 system counts 1462 fewer.
    const double dLast = fDate1904 ? 2957003.0 : 2958465.0;
    if (!(d >= 0) || d >= dLast + 1) {
        return false;
    }
    long long nDays = static_cast<long long>(d);
    long long nSeconds = llround((d - static_cast<double>(nDays)) * 86400.0);
    if (nSeconds == 86400) {
        nDays++;
        nSeconds = 0;
    }
    if (nDays > static_cast<long long>(dLast)) {
        return false;
    }
    pDate->nDays = nDays;
    pDate->nSeconds = static_cast<unsigned>(nSeconds);
    pDate->nYear = 0, pDate->nMonth = 0, pDate->nDay = 0;
    if (nDays != 0) {
        CivilFromSerial(nDays, fDate1904, &pDate->nYear, &pDate->nMonth, &pDate->nDay);
    }
    return true;
}

bool AppendDate(double d, bool fDate1904, std::string *ps)
{
    SerialDate date;
    if (!SerialDateOf(d, fDate1904, &date)) {
        return false;
    }
    if (date.nDays != 0) {
        AppendDigits(static_cast<unsigned>(date.nYear), 4, ps);
        ps->push_back('-');
        AppendDigits(date.nMonth, 2, ps);
        ps->push_back('-');
        AppendDigits(date.nDay, 2, ps);
        if (date.nSeconds == 0) {
            return true;
        }
        ps->push_back('T');
    }
    AppendDigits(date.nSeconds / 3600, 2, ps);
    ps->push_back(':');
    AppendDigits(date.nSeconds / 60 % 60, 2, ps);
    ps->push_back(':');
    AppendDigits(date.nSeconds % 60, 2, ps);
    return true;
}

bool IsBuiltInDateFormat(uint16_t ifmt)
{
    // 14-22 and 45-47 everywhere; 27-36, 50-58 and 71-81 in the East Asian and Thai locales.
    return (ifmt >= 14 && ifmt <= 22) || (ifmt >= 27 && ifmt <= 36) || (ifmt >= 45 && ifmt <= 47) ||
           (ifmt >= 50 && ifmt <= 58) || (ifmt >= 71 && ifmt <= 81);
}

bool IsDateFormatString(std::string_view format)
{
    if (format == "General" || format == "GENERAL" || format == "general" || format == "@" ||
        format == "0.00E+00" || format == "##0.0E+0") {
        return false;
    }
    int nDate = 0, nNumber = 0;
    bool fQuoted = false, fEscaped = false;
    int nBracket = 0;
    for (char ch : format) {
        if (fEscaped) {
            fEscaped = false;
        } else if (fQuoted) {
            fQuoted = ch != '"';
        } else if (ch == '"') {
            fQuoted = true;
        } else if (ch == '\\' || ch == '_' || ch == '*') {
            fEscaped = true; // the next character is shown, a fill or a space width
        } else if (ch == '[') {
            nBracket++;
        } else if (ch == ']') {
            nBracket = nBracket > 0 ? nBracket - 1 : 0;
        } else if (nBracket == 0) {
            switch (ch) {
            case 'y':
            case 'm':
            case 'd':
            case 'h':
            case 's':
            case 'Y':
            case 'M':
            case 'D':
            case 'H':
            case 'S': nDate++; break;
            case '0':
            case '#':
            case '?': nNumber++; break;
            default: break;
            }
        }
    }
    return nDate > nNumber;
}

const char *ErrorCodeText(uint8_t bCode)
{
    const char *psz = BiffErrorText(bCode);
    return psz != nullptr ? psz : "#ERR";
}
