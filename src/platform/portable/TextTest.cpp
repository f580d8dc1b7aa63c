// The system facts behind the UTF-16 test on the portable build: a system outside the NT
// family, which has no statistical text test, so the byte statistic decides.
#include "platform/Win32.h"

#include <string.h>

BOOL GetVersionExA(OSVERSIONINFOA *lpVersionInformation)
{
    if (lpVersionInformation == nullptr ||
        lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        return FALSE;
    }
    memset(lpVersionInformation, 0, sizeof(OSVERSIONINFOA));
    lpVersionInformation->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

BOOL IsTextUnicode(const void *, int, int *lpiResult)
{
    // Only systems of the NT family offer the test; callers ask GetVersionExA first.
    if (lpiResult != nullptr) {
        *lpiResult = 0;
    }
    return FALSE;
}
