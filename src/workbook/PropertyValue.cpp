// A property set's typed values as text: strings decoded and cut to their section, FILETIMEs
// as ISO 8601, numbers and booleans as a reader shows them, each charged to the stream's budget.
#include "workbook/PropertyValue.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "numformat/CellValue.h"

namespace {

enum : uint16_t {
    vtI2 = 2,
    vtI4 = 3,
    vtR4 = 4,
    vtR8 = 5,
    vtBstr = 8,
    vtBool = 11,
    vtI1 = 16,
    vtUi1 = 17,
    vtUi2 = 18,
    vtUi4 = 19,
    vtI8 = 20,
    vtUi8 = 21,
    vtInt = 22,
    vtUint = 23,
    vtLpstr = 30,
    vtLpwstr = 31,
    vtFiletime = 64
};

// Appends a FILETIME (100 ns ticks since 1601) as ISO 8601 UTC, whole seconds.
void AppendFiletime(uint64_t qwTicks, std::string *ps)
{
    uint64_t cSeconds = qwTicks / 10000000;
    int64_t z = static_cast<int64_t>(cSeconds / 86400) - 134774 + 719468; // days from 0000-03-01
    uint32_t nSecondOfDay = static_cast<uint32_t>(cSeconds % 86400);
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t nDay = doy - (153 * mp + 2) / 5 + 1;
    int64_t nMonth = mp < 10 ? mp + 3 : mp - 9;
    int64_t nYear = yoe + era * 400 + (nMonth <= 2);
    // 2^64 ticks reach the year 60056: every field fits its unsigned form. A year past 9999
    // takes ISO 8601's expanded form, whose sign tells a reader the year has more digits.
    char sz[64];
    snprintf(sz, sizeof(sz), "%s%04u-%02u-%02uT%02u:%02u:%02uZ", nYear > 9999 ? "+" : "",
             static_cast<unsigned>(nYear), static_cast<unsigned>(nMonth), static_cast<unsigned>(nDay),
             nSecondOfDay / 3600 % 24, nSecondOfDay / 60 % 60, nSecondOfDay % 60);
    ps->append(sz);
}

void EraseNuls(std::string *ps)
{
    ps->erase(std::remove(ps->begin(), ps->end(), '\0'), ps->end());
}

} // namespace

PropertyBudget::PropertyBudget(size_t cbStream, std::vector<std::string> *prgWarning)
        : m_cbText(cbStream), m_cbOther(cbStream <= SIZE_MAX / 4 ? 4 * cbStream : SIZE_MAX),
          m_prgWarning(prgWarning)
{}

void PropertyBudget::Warn(const char *psz)
{
    if (std::find(m_prgWarning->begin(), m_prgWarning->end(), psz) == m_prgWarning->end()) {
        m_prgWarning->push_back(psz);
    }
}

bool PropertyBudget::Charge(size_t *pcbLeft, size_t cb)
{
    if (cb > *pcbLeft) {
        if (*pcbLeft != 0) {
            Warn("damaged document properties: their values overlap; the rest are left out");
        }
        *pcbLeft = 0;
        return false;
    }
    *pcbLeft -= cb;
    return true;
}

bool PropertyText::AppendCodePageText(const uint8_t *pb, size_t cb, std::string *ps)
{
    if (!m_pBudget->ChargeText(cb)) {
        return false;
    }
    m_decoder.Append(pb, cb, ps);
    EraseNuls(ps);
    return true;
}

bool PropertyText::AppendWideText(const uint8_t *pb, size_t cb, std::string *ps)
{
    if (!m_pBudget->ChargeText(cb)) {
        return false;
    }
    Utf8Writer writer(ps);
    writer.AppendUtf16Le(pb, cb / 2);
    writer.Finish();
    EraseNuls(ps);
    return true;
}

bool PropertyText::AppendValue(ByteCursor value, std::string *ps)
{
    uint16_t vt = value.Le16();
    size_t cbFixed = vt == vtI8 || vt == vtUi8 || vt == vtR8 || vt == vtFiletime ? 8 : 4;
    if (!value.Skip(2) || value.CbLeft() < cbFixed) {
        m_pBudget->Warn("damaged document properties: a value runs past the end of its section");
        return false;
    }
    uint32_t dw = value.Le32();
    if (vt == vtLpstr || vt == vtBstr || vt == vtLpwstr) {
        size_t cbThere = value.CbLeft();
        size_t cbText = vt == vtLpwstr ? (dw <= cbThere / 2 ? static_cast<size_t>(dw) * 2 : cbThere + 1) : dw;
        if (cbText > cbThere) {
            m_pBudget->Warn("damaged document properties: a string runs past the end of its section");
            cbText = cbThere;
        }
        const uint8_t *pbText = value.Bytes(cbText);
        return vt == vtLpwstr ? AppendWideText(pbText, cbText, ps) : AppendCodePageText(pbText, cbText, ps);
    }
    // The high half is there only for the 8-byte types, the only ones that use it.
    uint64_t qw = dw | (static_cast<uint64_t>(value.Le32()) << 32);
    std::string text;
    switch (vt) {
    case vtFiletime:
        if (qw != 0) {
            AppendFiletime(qw, &text);
        }
        break;
    case vtBool: text = static_cast<uint16_t>(dw) != 0 ? "TRUE" : "FALSE"; break;
    case vtI1: text = std::to_string(static_cast<int8_t>(dw)); break;
    case vtUi1: text = std::to_string(static_cast<uint8_t>(dw)); break;
    case vtI2: text = std::to_string(static_cast<int16_t>(dw)); break;
    case vtUi2: text = std::to_string(static_cast<uint16_t>(dw)); break;
    case vtI4:
    case vtInt: text = std::to_string(static_cast<int32_t>(dw)); break;
    case vtUi4:
    case vtUint: text = std::to_string(dw); break;
    case vtI8: text = std::to_string(static_cast<int64_t>(qw)); break;
    case vtUi8: text = std::to_string(qw); break;
    case vtR4: {
        float f;
        memcpy(&f, &dw, sizeof(f));
        AppendNumber(f, &text);
        break;
    }
    case vtR8: {
        double d;
        memcpy(&d, &qw, sizeof(d));
        AppendNumber(d, &text);
        break;
    }
    default: return false; // pictures, lists, blobs: nothing a reader shows as text
    }
    if (!m_pBudget->ChargeOther(text.size())) {
        return false;
    }
    ps->append(text);
    return true;
}
