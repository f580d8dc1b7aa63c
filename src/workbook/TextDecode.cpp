// UTF-8 from UTF-16LE, Latin-1 and code-page bytes. Code pages are converted by iconv, so the
// system's tables decide every character; only UTF-16 is decoded here.
#include "workbook/TextDecode.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>

namespace {

const char szReplacement[] = "\xEF\xBF\xBD";
const iconv_t cdNone = (iconv_t)-1;

void AppendCodePoint(std::string *ps, uint32_t cp)
{
    if (cp < 0x80) {
        ps->push_back((char)cp);
    } else if (cp < 0x800) {
        char rgch[2] = {(char)(0xC0 | (cp >> 6)), (char)(0x80 | (cp & 0x3F))};
        ps->append(rgch, 2);
    } else if (cp < 0x10000) {
        char rgch[3] = {(char)(0xE0 | (cp >> 12)), (char)(0x80 | ((cp >> 6) & 0x3F)),
                        (char)(0x80 | (cp & 0x3F))};
        ps->append(rgch, 3);
    } else {
        char rgch[4] = {(char)(0xF0 | (cp >> 18)), (char)(0x80 | ((cp >> 12) & 0x3F)),
                        (char)(0x80 | ((cp >> 6) & 0x3F)), (char)(0x80 | (cp & 0x3F))};
        ps->append(rgch, 4);
    }
}

// The iconv name of a CODEPAGE value, or null for UTF-16LE, which is decoded here.
const char *IconvName(int nCodePage, char *pszBuf, size_t cchBuf)
{
    switch (nCodePage) {
    case 1200: return nullptr;
    case 367: return "ASCII";
    case 10000:
    case 32768: return "MACINTOSH"; // 32768 is how older writers say Mac Roman
    case 32769: return "CP1252";    // and this Windows Latin-1
    case 1361: return "JOHAB";
    case 65001: return "UTF-8";
    default:
        snprintf(pszBuf, cchBuf, "CP%d", nCodePage);
        return pszBuf;
    }
}

} // namespace

void Utf8Writer::AppendUtf16Le(const uint8_t *pb, size_t cUnits)
{
    std::string *ps = m_ps;
    for (size_t i = 0; i < cUnits; i++) {
        uint16_t w = (uint16_t)(pb[2 * i] | (pb[2 * i + 1] << 8));
        if (m_wHigh != 0) {
            if (w >= 0xDC00 && w <= 0xDFFF) {
                AppendCodePoint(ps, 0x10000 + (((uint32_t)m_wHigh - 0xD800) << 10) + (w - 0xDC00));
                m_wHigh = 0;
                continue;
            }
            ps->append(szReplacement, 3);
            m_wHigh = 0;
        }
        if (w < 0x80)
            ps->push_back((char)w);
        else if (w >= 0xD800 && w <= 0xDBFF)
            m_wHigh = w;
        else if (w >= 0xDC00 && w <= 0xDFFF)
            ps->append(szReplacement, 3);
        else
            AppendCodePoint(ps, w);
    }
}

void Utf8Writer::AppendLatin1(const uint8_t *pb, size_t cb)
{
    if (m_wHigh != 0) {
        m_ps->append(szReplacement, 3);
        m_wHigh = 0;
    }
    for (size_t i = 0; i < cb; i++) {
        if (pb[i] < 0x80)
            m_ps->push_back((char)pb[i]);
        else
            AppendCodePoint(m_ps, pb[i]);
    }
}

void Utf8Writer::Finish()
{
    if (m_wHigh != 0)
        m_ps->append(szReplacement, 3);
    m_wHigh = 0;
}

CodePageDecoder::CodePageDecoder() : m_cd(iconv_open("UTF-8", "CP1252")), m_fUtf16(false) {}

CodePageDecoder::~CodePageDecoder()
{
    if ((iconv_t)m_cd != cdNone)
        iconv_close((iconv_t)m_cd);
}

bool CodePageDecoder::SetCodePage(int nCodePage)
{
    char szName[16];
    const char *pszName = IconvName(nCodePage, szName, sizeof(szName));
    if (pszName == nullptr) {
        m_fUtf16 = true;
        return true;
    }
    iconv_t cd = iconv_open("UTF-8", pszName);
    if (cd == cdNone)
        return false;
    if ((iconv_t)m_cd != cdNone)
        iconv_close((iconv_t)m_cd);
    m_cd = cd;
    m_fUtf16 = false;
    return true;
}

void CodePageDecoder::Append(const uint8_t *pb, size_t cb, std::string *ps)
{
    if (m_fUtf16) {
        Utf8Writer writer(ps);
        writer.AppendUtf16Le(pb, cb / 2);
        writer.Finish();
        return;
    }
    iconv_t cd = (iconv_t)m_cd;
    if (cd == cdNone) {
        Utf8Writer(ps).AppendLatin1(pb, cb);
        return;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *pchIn = (char *)pb;
    size_t cbIn = cb;
    char rgchOut[1024];
    while (cbIn > 0) {
        char *pchOut = rgchOut;
        size_t cbOut = sizeof(rgchOut);
        size_t nResult = iconv(cd, &pchIn, &cbIn, &pchOut, &cbOut);
        ps->append(rgchOut, (size_t)(pchOut - rgchOut));
        if (nResult != (size_t)-1)
            break;
        if (errno == E2BIG)
            continue;
        // An undefined byte, or a double-byte character cut off at the end: one replacement
        // character, and on from the next byte.
        ps->append(szReplacement, 3);
        pchIn++;
        cbIn--;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}
