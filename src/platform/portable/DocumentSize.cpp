// A document's size from the file system, to bound what a stream read from it may need.
// The path is the host's bytes, as the storage calls use them.
#include <sys/stat.h>

#include "platform/Services.h"

uint64_t GetDocumentSize(const char *pszPath)
{
    struct stat st;
    if (pszPath == nullptr || stat(pszPath, &st) != 0 || st.st_size < 0)
        return UINT64_MAX;
    return static_cast<uint64_t>(st.st_size);
}
