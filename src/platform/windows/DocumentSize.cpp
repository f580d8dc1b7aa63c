// A document's size from the file system, to bound what a stream read from it may need.
// The path is in the ANSI code page, as the host gave it.
#include <windows.h>

#include "platform/Services.h"

uint64_t GetDocumentSize(const char *pszPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (pszPath == nullptr || !GetFileAttributesExA(pszPath, GetFileExInfoStandard, &data))
        return UINT64_MAX;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
