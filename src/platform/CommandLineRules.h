// The C runtime's rule for the program name at the head of a command line; inline and free of
// system calls, so that every build can test it on command lines of its own making.
#ifndef CELLSIFT_PLATFORM_COMMANDLINERULES_H
#define CELLSIFT_PLATFORM_COMMANDLINERULES_H

#include <stddef.h>

#include "platform/SplitPathRules.h"

// Copies the first argument of pszCommandLine into pszOut (cbOut bytes) as the C runtime
// takes the program name: a double quote anywhere toggles quoting and is dropped, a space or
// tab outside quotes ends the name, and a backslash is an ordinary character even before a
// quote, since a path cannot hold a quote of its own. The trail byte of a double-byte
// character is never taken for a quote or a space. False, with pszOut empty, when the name
// does not fit.
inline bool FirstCommandLineArgument(const char *pszCommandLine, char *pszOut, size_t cbOut)
{
    if (cbOut == 0) {
        return false;
    }
    size_t cch = 0;
    bool fInQuotes = false;
    for (const char *pch = pszCommandLine; *pch != '\0'; pch++) {
        if (*pch == '"') {
            fInQuotes = !fInQuotes;
            continue;
        }
        if (!fInQuotes && (*pch == ' ' || *pch == '\t')) {
            break;
        }
        size_t cb = IsAnsiLeadByte((unsigned char)*pch) && pch[1] != '\0' ? 2 : 1;
        if (cch + cb >= cbOut) {
            pszOut[0] = '\0';
            return false;
        }
        for (size_t ib = 0; ib < cb; ib++) {
            pszOut[cch++] = pch[ib];
        }
        pch += cb - 1;
    }
    pszOut[cch] = '\0';
    return true;
}

#endif
