// Conversion between UTF-16 and Windows-1251 for the portable build: the mapping of the
// code page, with "?" for every character it lacks, as the Windows calls give it.
#include "platform/portable/CodePage.h"

#include <string.h>

#include "biff/ByteCursor.h"
#include "text/Cp1251Table.h"

namespace {

const uint16_t wUnassigned = rgwCp1251HighHalf[bCp1251Unassigned - 0x80];

// Byte for each UTF-16 unit; 0 where the code page has none (U+0000 itself maps to 0 too,
// and is told apart by the caller).
struct ReverseMap {
    uint8_t rgb[0x10000];
    ReverseMap()
    {
        memset(rgb, 0, sizeof(rgb));
        for (unsigned u = 1; u < 0x80; ++u) {
            rgb[u] = static_cast<uint8_t>(u);
        }
        for (unsigned i = 0; i < 128; ++i) {
            rgb[rgwCp1251HighHalf[i]] = static_cast<uint8_t>(0x80 + i);
        }
    }
};

const ReverseMap &Reverse()
{
    static const ReverseMap map;
    return map;
}

uint16_t ReadUnit(LPCWSTR pwsz, int i)
{
    // The units may lie at any byte position of a record, so they are read byte-wise.
    return Le16At(reinterpret_cast<const uint8_t *>(pwsz) + 2 * static_cast<size_t>(i));
}

bool IsHighSurrogate(uint16_t w)
{
    return w >= 0xD800 && w <= 0xDBFF;
}
bool IsLowSurrogate(uint16_t w)
{
    return w >= 0xDC00 && w <= 0xDFFF;
}

} // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar)
{
    if (CodePage != CP_ACP || dwFlags != 0 || lpMultiByteStr == nullptr || cbMultiByte == 0 ||
        cchWideChar < 0) {
        SetLastError(87); // ERROR_INVALID_PARAMETER
        return 0;
    }
    size_t cb = cbMultiByte < 0 ? strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    if (cchWideChar == 0) {
        return static_cast<int>(cb);
    }
    if (cb > static_cast<size_t>(cchWideChar)) {
        SetLastError(122); // ERROR_INSUFFICIENT_BUFFER
        return 0;
    }
    for (size_t i = 0; i < cb; ++i) {
        uint8_t b = static_cast<uint8_t>(lpMultiByteStr[i]);
        lpWideCharStr[i] = b < 0x80 ? b : rgwCp1251HighHalf[b - 0x80];
    }
    return static_cast<int>(cb);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    if (CodePage != CP_ACP || dwFlags != 0 || lpWideCharStr == nullptr || cchWideChar == 0 ||
        cbMultiByte < 0 || lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
        SetLastError(87);
        return 0;
    }
    int cch = cchWideChar;
    if (cch < 0) {
        cch = 0;
        while (ReadUnit(lpWideCharStr, cch) != 0) {
            ++cch;
        }
        ++cch;
    }
    const ReverseMap &map = Reverse();
    int cbOut = 0;
    for (int i = 0; i < cch; ++i) {
        uint16_t w = ReadUnit(lpWideCharStr, i);
        char ch;
        if (w == 0) {
            ch = '\0';
        } else if (w != wUnassigned && map.rgb[w] != 0) {
            ch = static_cast<char>(map.rgb[w]);
        } else {
            // A valid surrogate pair is one character, and one "?" stands for it.
            if (IsHighSurrogate(w) && i + 1 < cch && IsLowSurrogate(ReadUnit(lpWideCharStr, i + 1))) {
                ++i;
            }
            ch = '?';
        }
        if (cbMultiByte != 0) {
            if (cbOut >= cbMultiByte) {
                SetLastError(122);
                return 0;
            }
            lpMultiByteStr[cbOut] = ch;
        }
        ++cbOut;
    }
    return cbOut;
}

bool WidePathToBytes(LPCWSTR pwszName, char *pszOut, size_t cbOut)
{
    const ReverseMap &map = Reverse();
    for (size_t i = 0;; ++i) {
        if (i >= cbOut) {
            return false;
        }
        uint16_t w = ReadUnit(pwszName, static_cast<int>(i));
        if (w == 0) {
            pszOut[i] = '\0';
            return true;
        }
        uint8_t b = w == wUnassigned ? bCp1251Unassigned : map.rgb[w];
        if (b == 0) {
            return false;
        }
        pszOut[i] = static_cast<char>(b);
    }
}
