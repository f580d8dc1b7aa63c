// System error texts on the portable build: FormatMessageA over the project's own table of
// storage codes, the local memory it hands out, wsprintfA and the thread's last error.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/Win32.h"

namespace {

// Last-error values this file sets, under their Windows numbers.
const DWORD dwErrorNotEnoughMemory = 8;
const DWORD dwErrorInvalidParameter = 87;
const DWORD dwErrorMessageNotFound = 317;

thread_local DWORD t_dwLastError = 0;

struct ErrorTextEntry {
    HRESULT hr;
    const char *pszText;
};

// The codes the portable compound-document reader returns. Each text ends in CR LF, as
// the system's texts do, so the callers' line-break handling is exercised the same way.
const ErrorTextEntry g_rgErrorText[] = {
    {STG_E_FILENOTFOUND, "The file could not be found.\r\n"},
    {STG_E_PATHNOTFOUND, "The folder in the path could not be found.\r\n"},
    {STG_E_ACCESSDENIED, "Access to the file was denied.\r\n"},
    {STG_E_INSUFFICIENTMEMORY, "There is not enough memory to read the file.\r\n"},
    {STG_E_INVALIDPOINTER, "A pointer passed to the storage call is not valid.\r\n"},
    {STG_E_READFAULT, "The file could not be read.\r\n"},
    {STG_E_FILEALREADYEXISTS, "The file already exists or is not a compound document.\r\n"},
    {STG_E_INVALIDPARAMETER, "A parameter passed to the storage call is not valid.\r\n"},
    {STG_E_OLDFORMAT, "The compound document is in an old format that cannot be read.\r\n"},
    {STG_E_INVALIDNAME, "The name is not valid.\r\n"},
    {STG_E_INVALIDFLAG, "A flag passed to the storage call is not valid.\r\n"},
    {STG_E_DOCFILECORRUPT, "The compound document is damaged.\r\n"},
    {E_OUTOFMEMORY, "Out of memory.\r\n"},
};

} // namespace

DWORD FormatMessageA(DWORD dwFlags, const void *lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list *Arguments)
{
    (void)dwLanguageId;
    (void)nSize;
    (void)Arguments;
    // Only the one form the plug-in uses: a system text in a buffer allocated here.
    if (dwFlags != (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM) || lpSource != nullptr ||
        lpBuffer == nullptr) {
        SetLastError(dwErrorInvalidParameter);
        return 0;
    }
    char **ppszOut = (char **)lpBuffer;
    *ppszOut = nullptr;
    for (const ErrorTextEntry &entry : g_rgErrorText) {
        if ((DWORD)entry.hr != dwMessageId) {
            continue;
        }
        size_t cch = strlen(entry.pszText);
        char *psz = (char *)LocalAlloc(LMEM_FIXED, cch + 1);
        if (psz == nullptr) {
            SetLastError(dwErrorNotEnoughMemory);
            return 0;
        }
        memcpy(psz, entry.pszText, cch + 1);
        *ppszOut = psz;
        return (DWORD)cch;
    }
    SetLastError(dwErrorMessageNotFound);
    return 0;
}

HLOCAL LocalAlloc(UINT uFlags, size_t uBytes)
{
    const UINT uZeroInit = 0x40;
    // A zero-byte request still yields a block of its own, as on Windows.
    size_t cb = uBytes == 0 ? 1 : uBytes;
    void *p = (uFlags & uZeroInit) ? calloc(1, cb) : malloc(cb);
    if (p == nullptr) {
        SetLastError(dwErrorNotEnoughMemory);
    }
    return p;
}

HLOCAL LocalFree(HLOCAL hMem)
{
    free(hMem);
    return nullptr;
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...)
{
    // wsprintfA never writes more than 1024 bytes, terminator included.
    const size_t cbOutMax = 1024;
    va_list args;
    va_start(args, lpFmt);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int cch = vsnprintf(lpOut, cbOutMax, lpFmt, args);
#pragma GCC diagnostic pop
    va_end(args);
    if (cch < 0) {
        lpOut[0] = '\0';
        return 0;
    }
    return (size_t)cch >= cbOutMax ? (int)(cbOutMax - 1) : cch;
}

DWORD GetLastError()
{
    return t_dwLastError;
}

void SetLastError(DWORD dwErrCode)
{
    t_dwLastError = dwErrCode;
}
