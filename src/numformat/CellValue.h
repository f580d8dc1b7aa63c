// How a cell's stored value reads as text: shortest decimal numbers, ISO 8601 dates and
// times, error codes; and which number formats make a number a date.
#ifndef CELLSIFT_NUMFORMAT_CELLVALUE_H
#define CELLSIFT_NUMFORMAT_CELLVALUE_H

#include <stdint.h>

#include <string>
#include <string_view>

// Appends the shortest decimal text that reads back as d ("1", "0.1", "1e+21"); whole
// numbers below 10^16 in full ("1000000").
void AppendNumber(double d, std::string *ps);

// A date serial split into its day (0: a time alone), the calendar date of that day and the
// seconds into it, rounded to the second as every written form shows them.
struct SerialDate {
    long long nDays;
    unsigned nSeconds;
    int nYear; // with nMonth and nDay, 0 when nDays is
    unsigned nMonth;
    unsigned nDay;
};

// False when d is no date (negative, or past the year 9999).
bool SerialDateOf(double d, bool fDate1904, SerialDate *pDate);

// Appends d, a date serial of the 1900 or 1904 system, as 2024-03-01, 2024-03-01T13:45:00,
// or 13:45:00 when it has no day part (day 0 of either system). False, appending nothing, when it is no date
// (negative, or past the year 9999).
bool AppendDate(double d, bool fDate1904, std::string *ps);

// The calendar date of day nDays of the 1900 or 1904 system; day 0 of the 1900 system is
// January 0, 1900, and its day 60 the 29th of February 1900.
void CivilFromSerial(long long nDays, bool fDate1904, int *pnYear, unsigned *pnMonth, unsigned *pnDay);

// The built-in number formats that show dates or times.
bool IsBuiltInDateFormat(uint16_t ifmt);

// A format string is a date or time format when, outside quoted text, bracketed parts and
// escaped characters, its day, month, year, hour or second letters outnumber its digit
// placeholders.
bool IsDateFormatString(std::string_view format);

// "#NULL!", "#DIV/0!" and the others; "#ERR" for a code no program defines.
const char *ErrorCodeText(uint8_t bCode);

#endif
