// Opening the diagnostic log for appending on the portable build: never through a symbolic
// link, never waiting on a FIFO, and only ever a regular file.
#include "platform/Services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *OpenLogForAppend(const char *pszPath)
{
    // A link planted under the log's name would carry the entries, document paths and all,
    // into a file of someone else's choosing; a FIFO would hold the host until read.
    int fd = open(pszPath, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, O_WRONLY | O_APPEND) != 0) {
        close(fd);
        return nullptr;
    }
    FILE *pFile = fdopen(fd, "a");
    if (pFile == nullptr) {
        close(fd);
    }
    return pFile;
}
