// UTF-8 from UTF-16LE and Latin-1, decoded here, and from other code pages' bytes, which iconv
// converts so that the system's tables decide every character.
#include "unicode/TextDecode.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "biff/ByteCursor.h"
#include "unicode/Utf8Blocks.h"

namespace {

const char szReplacement[] = "\xEF\xBF\xBD";
const iconv_t cdNone = reinterpret_cast<iconv_t>(-1);

// Windows code page numbers that iconv knows by another name than "CP" and the number. Property
// sets may be in any of them; workbooks are in the Windows and Mac pages.
struct CodePageName {
    int nCodePage;
    const char *pszName;
};

const CodePageName rgCodePageName[] = {
    {367, "ASCII"},
    {1201, "UTF-16BE"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10017, "MAC-UK"}, // Mac Ukrainian
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},
    {20127, "ASCII"},
    {20866, "KOI8-R"},
    {20932, "EUC-JP"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {32768, "MACINTOSH"}, // how older writers say Mac Roman
    {32769, "CP1252"},    // and this Windows Latin-1
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {65001, "UTF-8"},
};

// The iconv name of a CODEPAGE value, or null for UTF-16LE, which is decoded here.
const char *IconvName(int nCodePage, char *pszBuf, size_t cchBuf)
{
    if (nCodePage == 1200) {
        return nullptr;
    }
    for (const CodePageName &name : rgCodePageName) {
        if (name.nCodePage == nCodePage) {
            return name.pszName;
        }
    }
    // iconv spells the EBCDIC pages with three digits: CP037, not CP37.
    snprintf(pszBuf, cchBuf, "CP%03d", nCodePage);
    return pszBuf;
}

// The converters this thread has opened, by name, kept until the thread ends: opening and
// closing one per workbook loads and unloads the system's module for every file, under the
// loader's process-wide lock, so threads reading workbooks side by side would wait on each
// other there. Each use starts from a reset state, so the decoders of a thread can share one.
// At most one per name the system knows, as failed opens are not kept.
class ConverterCache {
public:
    ~ConverterCache()
    {
        for (auto &entry : m_rgEntry) {
            iconv_close(entry.second);
        }
    }
    iconv_t Open(const char *pszName)
    {
        for (auto &entry : m_rgEntry) {
            if (entry.first == pszName) {
                return entry.second;
            }
        }
        iconv_t cd = iconv_open("UTF-8", pszName);
        if (cd != cdNone) {
            m_rgEntry.emplace_back(pszName, cd);
        }
        return cd;
    }

private:
    std::vector<std::pair<std::string, iconv_t>> m_rgEntry;
};

iconv_t OpenConverter(const char *pszName)
{
    thread_local ConverterCache cache;
    return cache.Open(pszName);
}

} // namespace

// Characters are gathered in a buffer on the stack and appended in pieces: appending them one
// by one to the string costs more than decoding them. Blocks below U+0800 go through the
// vector forms; where one stops, the next sixteen units are decoded here before it is tried
// again, so text of other scripts does not pay for a failed block at every unit.
void Utf8Writer::AppendUtf16Le(const uint8_t *pb, size_t cUnits)
{
    // The room kept free past the vector forms' bytes: what sixteen units can take here.
    const size_t cchSpare = 64;
    char rgch[4096];
    size_t ich = 0;
    size_t iVector = 0;
    size_t i = 0;
    while (i < cUnits) {
        if (ich > sizeof(rgch) - cchSpare) {
            m_ps->append(rgch, ich);
            ich = 0;
        }
        if (m_wHigh == 0 && i >= iVector) {
            size_t cch;
            i += Utf16BlocksToUtf8(pb + 2 * i, cUnits - i, rgch + ich, sizeof(rgch) - cchSpare - ich, &cch);
            ich += cch;
            iVector = i + 16;
            continue;
        }
        // Four units at a time while they are below U+0800 (Latin, Greek, Cyrillic, Hebrew,
        // Arabic): no surrogate can be among them.
        uint64_t qw;
        if (m_wHigh == 0 && i + 4 <= cUnits) {
            memcpy(&qw, pb + 2 * i, 8);
            if ((qw & 0xFF80FF80FF80FF80ull) == 0) {
                rgch[ich++] = static_cast<char>(pb[2 * i]);
                rgch[ich++] = static_cast<char>(pb[2 * i + 2]);
                rgch[ich++] = static_cast<char>(pb[2 * i + 4]);
                rgch[ich++] = static_cast<char>(pb[2 * i + 6]);
                i += 4;
                continue;
            }
            if ((qw & 0xF800F800F800F800ull) == 0) {
                // Without branches: both bytes are written, the second kept only when needed,
                // since text that mixes scripts defeats any prediction.
                for (size_t k = 0; k < 4; k++) {
                    uint32_t wSmall = static_cast<uint32_t>(qw >> (16 * k)) & 0xFFFF;
                    bool fTwo = wSmall >= 0x80;
                    rgch[ich] = static_cast<char>(fTwo ? 0xC0 | (wSmall >> 6) : wSmall);
                    rgch[ich + 1] = static_cast<char>(0x80 | (wSmall & 0x3F));
                    ich += 1 + fTwo;
                }
                i += 4;
                continue;
            }
        }
        uint32_t w = Le16At(pb + 2 * i);
        i++;
        if (m_wHigh != 0) {
            uint32_t wHigh = m_wHigh;
            m_wHigh = 0;
            if (w >= 0xDC00 && w <= 0xDFFF) {
                uint32_t cp = 0x10000 + ((wHigh - 0xD800) << 10) + (w - 0xDC00);
                rgch[ich++] = static_cast<char>(0xF0 | (cp >> 18));
                rgch[ich++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                rgch[ich++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                rgch[ich++] = static_cast<char>(0x80 | (cp & 0x3F));
                continue;
            }
            memcpy(rgch + ich, szReplacement, 3);
            ich += 3;
        }
        if (w < 0x80) {
            rgch[ich++] = static_cast<char>(w);
        } else if (w < 0x800) {
            rgch[ich++] = static_cast<char>(0xC0 | (w >> 6));
            rgch[ich++] = static_cast<char>(0x80 | (w & 0x3F));
        } else if (w >= 0xD800 && w <= 0xDBFF) {
            m_wHigh = static_cast<uint16_t>(w);
        } else if (w >= 0xDC00 && w <= 0xDFFF) {
            memcpy(rgch + ich, szReplacement, 3);
            ich += 3;
        } else {
            rgch[ich++] = static_cast<char>(0xE0 | (w >> 12));
            rgch[ich++] = static_cast<char>(0x80 | ((w >> 6) & 0x3F));
            rgch[ich++] = static_cast<char>(0x80 | (w & 0x3F));
        }
    }
    m_ps->append(rgch, ich);
}

// Most 8-bit strings are all ASCII: their bytes are appended as they are, without a copy
// through the buffer.
void Utf8Writer::AppendLatin1(const uint8_t *pb, size_t cb)
{
    if (m_wHigh != 0) {
        m_ps->append(szReplacement, 3);
        m_wHigh = 0;
    }
    size_t i = CbAsciiPrefix(pb, cb);
    m_ps->append(reinterpret_cast<const char *>(pb), i);
    char rgch[4096];
    size_t ich = 0;
    while (i < cb) {
        if (ich > sizeof(rgch) - 8) {
            m_ps->append(rgch, ich);
            ich = 0;
        }
        size_t cch;
        i += Latin1BlocksToUtf8(pb + i, cb - i, rgch + ich, sizeof(rgch) - 8 - ich, &cch);
        ich += cch;
        // What the blocks leave: a tail shorter than one, or a block of SSE2 with a high byte.
        size_t iStop = i + 16 < cb ? i + 16 : cb;
        for (; i < iStop && ich <= sizeof(rgch) - 8; i++) {
            uint8_t b = pb[i];
            if (b < 0x80) {
                rgch[ich++] = static_cast<char>(b);
            } else {
                rgch[ich++] = static_cast<char>(0xC0 | (b >> 6));
                rgch[ich++] = static_cast<char>(0x80 | (b & 0x3F));
            }
        }
    }
    m_ps->append(rgch, ich);
}

void Utf8Writer::Finish()
{
    if (m_wHigh != 0) {
        m_ps->append(szReplacement, 3);
    }
    m_wHigh = 0;
}

CodePageDecoder::CodePageDecoder() : m_cd(OpenConverter("CP1252")), m_fUtf16(false) {}

CodePageDecoder::~CodePageDecoder() = default;

bool CodePageDecoder::SetCodePage(int nCodePage)
{
    char szName[16];
    const char *pszName = IconvName(nCodePage, szName, sizeof(szName));
    if (pszName == nullptr) {
        m_fUtf16 = true;
        return true;
    }
    iconv_t cd = OpenConverter(pszName);
    if (cd == cdNone) {
        return false;
    }
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
    iconv_t cd = static_cast<iconv_t>(m_cd);
    if (cd == cdNone) {
        Utf8Writer(ps).AppendLatin1(pb, cb);
        return;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *pchIn = const_cast<char *>(reinterpret_cast<const char *>(pb)); // iconv takes no const
    size_t cbIn = cb;
    char rgchOut[1024];
    while (cbIn > 0) {
        char *pchOut = rgchOut;
        size_t cbOut = sizeof(rgchOut);
        size_t nResult = iconv(cd, &pchIn, &cbIn, &pchOut, &cbOut);
        ps->append(rgchOut, static_cast<size_t>(pchOut - rgchOut));
        if (nResult != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // An undefined byte, or a double-byte character cut off at the end: one replacement
        // character, and on from the next byte.
        ps->append(szReplacement, 3);
        pchIn++;
        cbIn--;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Converters for scripts with combining marks (1255, 1258) hold the last character back
    // in case a mark follows; the string ends here, so it is let out.
    char *pchOut = rgchOut;
    size_t cbOut = sizeof(rgchOut);
    iconv(cd, nullptr, nullptr, &pchOut, &cbOut);
    ps->append(rgchOut, static_cast<size_t>(pchOut - rgchOut));
}
