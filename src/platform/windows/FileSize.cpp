// File sizes on Windows: the length the file system records for the path.
#include "platform/Win32.h"

bool GetPathFileSize(const char *pszPath, uint64_t *pcb)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(pszPath, GetFileExInfoStandard, &data)) {
        return false;
    }
    *pcb = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return true;
}
