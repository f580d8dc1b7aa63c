// The host program path on Windows: the C runtime's first argument of the process, or the
// program file's path when the command line is empty.
#include <string.h>

#include "platform/Win32.h"

int GetHostProgramPath(char *pszPath, size_t cbPath)
{
    if (pszPath == nullptr || cbPath == 0)
        return 0;
    pszPath[0] = '\0';

    // The runtime splits the command line by its own rules, so a quoted first argument
    // arrives without its quotes.
    if (__argc > 0 && __argv != nullptr && __argv[0] != nullptr && __argv[0][0] != '\0') {
        size_t cch = strlen(__argv[0]);
        if (cch >= cbPath)
            return 0;
        memcpy(pszPath, __argv[0], cch + 1);
        return (int)cch;
    }

    DWORD cchMax = cbPath > 0x7FFFFFFF ? 0x7FFFFFFF : (DWORD)cbPath;
    DWORD cch = GetModuleFileNameA(NULL, pszPath, cchMax);
    // A full buffer means the name was cut.
    if (cch == 0 || cch >= cchMax) {
        pszPath[0] = '\0';
        return 0;
    }
    return (int)cch;
}
