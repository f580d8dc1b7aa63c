// The host program path on Windows: the first argument of the process's command line as the
// C runtime takes it, or the program file's path when that argument is empty.
#include <string.h>

#include "platform/CommandLineRules.h"
#include "platform/Win32.h"

int GetHostProgramPath(char *pszPath, size_t cbPath)
{
    if (pszPath == nullptr || cbPath == 0) {
        return 0;
    }
    pszPath[0] = '\0';

    // Split here rather than taken from the runtime's __argv, which only a host started
    // through msvcrt's own start-up code fills: hosts built with another runtime, a static
    // one or a wide main leave it empty.
    const char *pszCommandLine = GetCommandLineA();
    if (pszCommandLine != nullptr && !FirstCommandLineArgument(pszCommandLine, pszPath, cbPath)) {
        return 0;
    }
    if (pszPath[0] != '\0') {
        return (int)strlen(pszPath);
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
