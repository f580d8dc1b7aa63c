// The formats of a workbook's XFs. Codes come from the file: each is parsed once however many
// XFs and cells use it, so the work stays linear in the workbook's size.
#include "workbook/XfFormats.h"

#include "numformat/CellValue.h"

void XfFormats::AddFormat(uint16_t ifmt, std::string_view code)
{
    m_rgFormat.emplace_back(code, *m_pLocale, &m_tags);
    m_mapFormat[ifmt] = &m_rgFormat.back();
}

void XfFormats::AddXf(uint16_t ifmt)
{
    m_rgifmtOfXf.push_back(ifmt);
}

// The locale's code of a built-in index; an index with none shows as General.
const NumberFormat *XfFormats::Builtin(uint16_t ifmt)
{
    std::unordered_map<uint16_t, const NumberFormat *>::const_iterator it = m_mapBuiltin.find(ifmt);
    if (it != m_mapBuiltin.end()) {
        return it->second;
    }
    std::string code = BuiltinFormatCode(ifmt, *m_pLocale);
    const NumberFormat *pFormat = &m_general;
    if (!code.empty()) {
        m_rgFormat.emplace_back(code, *m_pLocale);
        pFormat = &m_rgFormat.back();
    }
    m_mapBuiltin[ifmt] = pFormat;
    return pFormat;
}

void XfFormats::Resolve(int nBiff)
{
    m_rgpXfFormat.resize(m_rgifmtOfXf.size());
    m_rgfXfDate.resize(m_rgifmtOfXf.size());
    for (size_t i = 0; i < m_rgifmtOfXf.size(); i++) {
        uint16_t ifmt = m_rgifmtOfXf[i];
        std::unordered_map<uint16_t, const NumberFormat *>::const_iterator it = m_mapFormat.find(ifmt);
        if (it != m_mapFormat.end()) {
            m_rgpXfFormat[i] = it->second;
            m_rgfXfDate[i] = it->second->IsDate();
        } else {
            // Before BIFF5 the built-in numbers meant other formats.
            m_rgpXfFormat[i] = nBiff >= 5 ? Builtin(ifmt) : &m_general;
            m_rgfXfDate[i] = nBiff >= 5 && IsBuiltInDateFormat(ifmt);
        }
    }
}
