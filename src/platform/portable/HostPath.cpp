// The host program path on the portable build: the process's first argument as the
// kernel recorded it, or the program file when that argument is empty.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "platform/Win32.h"

int GetHostProgramPath(char *pszPath, size_t cbPath)
{
    if (pszPath == nullptr || cbPath == 0) {
        return 0;
    }
    pszPath[0] = '\0';

    // /proc/self/cmdline holds the arguments NUL-separated. Only the first is wanted, so
    // reading cbPath bytes either finds its NUL or proves it too long for the buffer.
    size_t cb = 0;
    int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        while (cb < cbPath) {
            ssize_t cbRead = read(fd, pszPath + cb, cbPath - cb);
            if (cbRead < 0 && errno == EINTR) {
                continue;
            }
            if (cbRead <= 0) {
                break;
            }
            cb += (size_t)cbRead;
        }
        close(fd);
    }
    if (cb > 0) {
        const char *pchNul = (const char *)memchr(pszPath, '\0', cb);
        if (pchNul == nullptr) {
            // No room left for the terminator: the argument is too long for the buffer.
            if (cb == cbPath) {
                pszPath[0] = '\0';
                return 0;
            }
            // A process that rewrote its arguments may leave the last one unterminated.
            pszPath[cb] = '\0';
            pchNul = pszPath + cb;
        }
        size_t cch = (size_t)(pchNul - pszPath);
        if (cch > 0) {
            return (int)cch;
        }
    }

    // An empty first argument, as a process started with an empty argument vector has.
    ssize_t cch = readlink("/proc/self/exe", pszPath, cbPath);
    if (cch <= 0 || (size_t)cch >= cbPath) {
        pszPath[0] = '\0';
        return 0;
    }
    pszPath[cch] = '\0';
    return (int)cch;
}
