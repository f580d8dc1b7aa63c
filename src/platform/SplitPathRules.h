// The project's own path splitter, with the rules of the C runtime's _splitpath; inline so
// that the Windows tests can hold it against the real _splitpath on the same cases.
#ifndef CELLSIFT_PLATFORM_SPLITPATHRULES_H
#define CELLSIFT_PLATFORM_SPLITPATHRULES_H

#include <string.h>

#include "platform/Win32.h"

// The trail byte of a double-byte character may look like '\' or '.', so it is skipped.
// The portable build's ANSI code page, Windows-1251, has no double-byte characters.
inline bool IsAnsiLeadByte(unsigned char b)
{
#ifdef _WIN32
    return IsDBCSLeadByte(b) != 0;
#else
    (void)b;
    return false;
#endif
}

// Copies cb bytes of pch into pszOut, cut to cbOut - 1, and terminates it; null pszOut is
// skipped. The cut is silent, as the C runtime's is.
inline void CopySplitPiece(char *pszOut, size_t cbOut, const char *pch, size_t cb)
{
    if (pszOut == nullptr) {
        return;
    }
    if (cb > cbOut - 1) {
        cb = cbOut - 1;
    }
    memcpy(pszOut, pch, cb);
    pszOut[cb] = '\0';
}

// Same contract as SplitPath in Services.h.
inline void SplitPathByRules(const char *pszPath, char *pszDrive, char *pszDir, char *pszFname, char *pszExt)
{
    const char *pch = pszPath;
    if (pch[0] != '\0' && pch[1] == ':') {
        CopySplitPiece(pszDrive, cbDriveMax, pch, 2);
        pch += 2;
    } else {
        CopySplitPiece(pszDrive, cbDriveMax, pch, 0);
    }

    const char *pchAfterSlash = nullptr;
    const char *pchDot = nullptr;
    const char *pchEnd = pch;
    for (; *pchEnd != '\0'; pchEnd++) {
        if (IsAnsiLeadByte((unsigned char)*pchEnd)) {
            if (pchEnd[1] == '\0') {
                break;
            }
            pchEnd++;
        } else if (*pchEnd == '\\' || *pchEnd == '/') {
            pchAfterSlash = pchEnd + 1;
        } else if (*pchEnd == '.') {
            pchDot = pchEnd;
        }
    }
    // A lone lead byte at the end still belongs to the name.
    if (*pchEnd != '\0') {
        pchEnd++;
    }

    if (pchAfterSlash != nullptr) {
        CopySplitPiece(pszDir, cbDirMax, pch, (size_t)(pchAfterSlash - pch));
        pch = pchAfterSlash;
    } else {
        CopySplitPiece(pszDir, cbDirMax, pch, 0);
    }

    if (pchDot != nullptr && pchDot >= pch) {
        CopySplitPiece(pszFname, cbFnameMax, pch, (size_t)(pchDot - pch));
        CopySplitPiece(pszExt, cbExtMax, pchDot, (size_t)(pchEnd - pchDot));
    } else {
        CopySplitPiece(pszFname, cbFnameMax, pch, (size_t)(pchEnd - pch));
        CopySplitPiece(pszExt, cbExtMax, pch, 0);
    }
}

#endif
