// Conversion between UTF-16 and Windows-1251 for the portable build: the mapping of the
// code page, with "?" for every character it lacks, as the Windows calls give it.
#include "platform/portable/CodePage.h"

#include <string.h>

namespace {

// Bytes 0x80 to 0xFF. 0x98 is unassigned: read as U+0098, never written for text.
const uint16_t rgwHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

const uint16_t wUnassigned = 0x0098;

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
            rgb[rgwHighHalf[i]] = static_cast<uint8_t>(0x80 + i);
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
    const uint8_t *pb = reinterpret_cast<const uint8_t *>(pwsz) + 2 * static_cast<size_t>(i);
    return static_cast<uint16_t>(pb[0] | (pb[1] << 8));
}

bool IsHighSurrogate(uint16_t w) { return w >= 0xD800 && w <= 0xDBFF; }
bool IsLowSurrogate(uint16_t w) { return w >= 0xDC00 && w <= 0xDFFF; }

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
        lpWideCharStr[i] = b < 0x80 ? b : rgwHighHalf[b - 0x80];
    }
    return static_cast<int>(cb);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar)
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
        uint8_t b = w == wUnassigned ? 0x98 : map.rgb[w];
        if (b == 0) {
            return false;
        }
        pszOut[i] = static_cast<char>(b);
    }
}
