// The cleaning rule, the two conversions into the output's single-byte form, and the
// test that tells UTF-16 from 8-bit text where no header says which it is.
#include "xls/RawText.h"

#include <stdlib.h>
#include <string.h>

#include "platform/Win32.h"

namespace {

// -1 until the system has been asked, then 1 for the NT family, 0 for any other.
int g_nWindowsNT = -1;

// Each byte as the cleaning rule leaves it: controls other than CR and LF become spaces.
// Zero maps to itself here; the 8-bit path turns it into a space on its own.
struct CleanTable {
    uint8_t rgb[256];
    CleanTable()
    {
        for (int b = 0; b < 256; ++b) {
            rgb[b] = static_cast<uint8_t>(b);
        }
        for (int b = 0x01; b <= 0x1F; ++b) {
            if (b != 0x0A && b != 0x0D) {
                rgb[b] = 0x20;
            }
        }
    }
};
const CleanTable g_clean;

// Counts the bytes at ib, ib + 2, ... below cb whose value is neither 0x00 nor 0x04, the
// high bytes of U+0000..U+00FF and of the Cyrillic block.
int32_t CountForeignBytes(const uint8_t *pb, int32_t cb, int32_t ib)
{
    int32_t cForeign = 0;
    for (; ib < cb; ib += 2) {
        if (pb[ib] != 0x00 && pb[ib] != 0x04) {
            ++cForeign;
        }
    }
    return cForeign;
}

} // namespace

bool IsWindowsNT()
{
    if (g_nWindowsNT != -1) {
        return g_nWindowsNT != 0;
    }
    OSVERSIONINFOA osvi;
    memset(&osvi, 0, sizeof(osvi));
    osvi.dwOSVersionInfoSize = 148;
    GetVersionExA(&osvi);
    g_nWindowsNT = osvi.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
    return g_nWindowsNT != 0;
}

bool IsUtf16Text(const uint8_t *pb, int32_t cb, bool *pbShifted)
{
    if (cb <= 0) {
        return false;
    }
    if (IsWindowsNT()) {
        int nMask = IS_TEXT_UNICODE_STATISTICS;
        if (IsTextUnicode(pb, cb, &nMask) == TRUE) {
            if (pbShifted != nullptr) {
                *pbShifted = false;
            }
            return true;
        }
        nMask = IS_TEXT_UNICODE_STATISTICS;
        if (IsTextUnicode(pb + 1, cb - 1, &nMask) == TRUE) {
            if (pbShifted != nullptr) {
                *pbShifted = true;
            }
            return true;
        }
        return false;
    }
    // Up to a tenth of all the bytes of the run may be foreign high bytes.
    int32_t cLimit = cb / 10;
    if (CountForeignBytes(pb, cb, 1) <= cLimit) {
        if (pbShifted != nullptr) {
            *pbShifted = false;
        }
        return true;
    }
    if (CountForeignBytes(pb, cb, 0) <= cLimit) {
        if (pbShifted != nullptr) {
            *pbShifted = true;
        }
        return true;
    }
    return false;
}

bool ConvertUtf16ToAnsi(const uint8_t *pbUnits, int32_t cUnits, Vstr &text)
{
    if (cUnits <= 0) {
        return false;
    }
    char *pszWork = static_cast<char *>(malloc(static_cast<size_t>(cUnits) + 1));
    if (pszWork == nullptr) {
        return false;
    }
    pszWork[0] = '\0';
    // One byte per unit: a text whose ANSI form needs more yields nothing.
    int cbOut = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(pbUnits), cUnits, pszWork, cUnits,
                                    nullptr, nullptr);
    if (cbOut == 0) {
        free(pszWork);
        return false;
    }
    pszWork[cbOut] = '\0';
    // "?" stands for what the code page lacks: a text of nothing else carries no text.
    int32_t ib = 0;
    while (ib < cUnits && pszWork[ib] == '?') {
        ++ib;
    }
    if (ib == cUnits || pszWork[ib] == '\0') {
        free(pszWork);
        return false;
    }
    for (uint8_t *pb = reinterpret_cast<uint8_t *>(pszWork); *pb != 0; ++pb) {
        *pb = g_clean.rgb[*pb];
    }
    text.Assign(pszWork);
    free(pszWork);
    return true;
}

void CopyAnsiText(const uint8_t *pb, int32_t cb, Vstr &text)
{
    if (cb < 0) {
        cb = 0;
    }
    char *pszWork = static_cast<char *>(malloc(static_cast<size_t>(cb) + 1));
    if (pszWork == nullptr) {
        return;
    }
    // Everything from the first zero byte on becomes a space, so the piece keeps its length.
    int32_t ib = 0;
    for (; ib < cb && pb[ib] != 0; ++ib) {
        pszWork[ib] = static_cast<char>(g_clean.rgb[pb[ib]]);
    }
    memset(pszWork + ib, ' ', static_cast<size_t>(cb - ib));
    pszWork[cb] = '\0';
    text.Assign(pszWork);
    free(pszWork);
}

void DecodeRawText(const uint8_t *pbData, int32_t ib, int32_t cb, Vstr &text)
{
    if (cb < 0) {
        cb = 0;
    }
    const uint8_t *pb = pbData + ib;
    bool fShifted = false;
    if (!IsUtf16Text(pb, cb, &fShifted)) {
        CopyAnsiText(pb, cb, text);
        return;
    }
    int32_t ibShift = fShifted ? 1 : 0;
    int32_t cUnits = (cb - ibShift) / 2;
    if (cUnits == 0) {
        return;
    }
    ConvertUtf16ToAnsi(pb + ibShift, cUnits, text);
}
