// The calling thread's last error code, as the portable services set it.
// Nothing but those services and the catch-all handler reads or writes it.
#include "platform/Win32.h"

namespace {
thread_local DWORD t_dwLastError = 0;
}

DWORD GetLastError()
{
    return t_dwLastError;
}

void SetLastError(DWORD dwErrCode)
{
    t_dwLastError = dwErrCode;
}
