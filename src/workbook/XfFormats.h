// A workbook's number formats by XF: each FORMAT record and each built-in format its XFs use
// parsed once, and per XF the format its cells show and whether it makes a number a date.
#ifndef CELLSIFT_WORKBOOK_XFFORMATS_H
#define CELLSIFT_WORKBOOK_XFFORMATS_H

#include <stdint.h>

#include <deque>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "numformat/NumberFormat.h"

class XfFormats {
public:
    // Before the first FORMAT record: the locale the built-in formats and the codes show.
    void SetLocale(const FormatLocale &locale)
    {
        m_pLocale = &locale;
        m_general = NumberFormat("General", locale);
    }
    // A FORMAT record; a later one with the same index replaces it.
    void AddFormat(uint16_t ifmt, std::string_view code);
    // The next XF record, which shows format ifmt.
    void AddXf(uint16_t ifmt);
    // Once the workbook's globals are read. From BIFF5 on an index without a FORMAT record
    // is a built-in format; before, the workbook wrote every format it uses.
    void Resolve(int nBiff);

    // Whether XF ixfe makes a number a date, as the reader has always decided it.
    bool IsDate(uint16_t ixfe) const { return ixfe < m_rgfXfDate.size() && m_rgfXfDate[ixfe]; }
    // The format XF ixfe shows; General for an XF the workbook lacks.
    const NumberFormat &Format(uint16_t ixfe) const
    {
        return ixfe < m_rgpXfFormat.size() ? *m_rgpXfFormat[ixfe] : m_general;
    }

private:
    const NumberFormat *Builtin(uint16_t ifmt);

    const FormatLocale *m_pLocale = &FormatLocale::EnUs();
    CodeTagLocales m_tags;
    NumberFormat m_general;
    std::deque<NumberFormat> m_rgFormat; // stays where it is as it grows
    std::unordered_map<uint16_t, const NumberFormat *> m_mapFormat;
    std::unordered_map<uint16_t, const NumberFormat *> m_mapBuiltin;
    std::vector<uint16_t> m_rgifmtOfXf;
    std::vector<const NumberFormat *> m_rgpXfFormat;
    std::vector<bool> m_rgfXfDate;
};

#endif
