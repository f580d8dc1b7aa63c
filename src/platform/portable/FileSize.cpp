// File sizes on the portable build: the length stat gives, holes of a sparse file included.
#include "platform/Services.h"

#include <sys/stat.h>

bool GetPathFileSize(const char *pszPath, uint64_t *pcb)
{
    struct stat st;
    if (stat(pszPath, &st) != 0) {
        return false;
    }
    *pcb = (uint64_t)st.st_size;
    return true;
}
