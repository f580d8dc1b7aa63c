// The file copy of the quarantine on the portable build: CopyFileA over POSIX files, never
// through a symbolic link at the destination and never leaving a partial copy behind.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Win32.h"

namespace {

// Last-error values under their Windows numbers.
const DWORD dwErrorFileNotFound = 2;
const DWORD dwErrorPathNotFound = 3;
const DWORD dwErrorAccessDenied = 5;
const DWORD dwErrorNotEnoughMemory = 8;
const DWORD dwErrorGenFailure = 31;
const DWORD dwErrorFileExists = 80;
const DWORD dwErrorInvalidParameter = 87;
const DWORD dwErrorDiskFull = 112;

const size_t cbChunk = 1 << 20;

DWORD MapErrno(int nErrno, bool fSource)
{
    switch (nErrno) {
    case ENOENT:
        return fSource ? dwErrorFileNotFound : dwErrorPathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return dwErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP:
    case EISDIR:
        return dwErrorAccessDenied;
    case EEXIST:
        return dwErrorFileExists;
    case ENOMEM:
        return dwErrorNotEnoughMemory;
    case ENOSPC:
    case EDQUOT:
        return dwErrorDiskFull;
    default:
        return dwErrorGenFailure;
    }
}

// Opens without blocking (a FIFO would otherwise wait for its other end), then accepts
// only a regular file and switches back to blocking reads and writes.
int OpenRegular(const char *pszPath, int nFlags, bool fSource, struct stat *pst)
{
    int fd = open(pszPath, nFlags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastError(MapErrno(errno, fSource));
        return -1;
    }
    if (fstat(fd, pst) != 0 || !S_ISREG(pst->st_mode) ||
        fcntl(fd, F_SETFL, nFlags & O_ACCMODE) != 0) {
        close(fd);
        SetLastError(dwErrorAccessDenied);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const char *pb, size_t cb)
{
    while (cb > 0) {
        ssize_t cbDone = write(fd, pb, cb);
        if (cbDone < 0) {
            if (errno == EINTR)
                continue;
            SetLastError(MapErrno(errno, false));
            return false;
        }
        pb += cbDone;
        cb -= (size_t)cbDone;
    }
    return true;
}

bool CopyContent(int fdSource, int fdDest)
{
    char *pb = (char *)malloc(cbChunk);
    if (pb == nullptr) {
        SetLastError(dwErrorNotEnoughMemory);
        return false;
    }
    bool fOk = true;
    for (;;) {
        ssize_t cbRead = read(fdSource, pb, cbChunk);
        if (cbRead < 0 && errno == EINTR)
            continue;
        if (cbRead < 0) {
            SetLastError(MapErrno(errno, true));
            fOk = false;
            break;
        }
        if (cbRead == 0)
            break;
        if (!WriteAll(fdDest, pb, (size_t)cbRead)) {
            fOk = false;
            break;
        }
    }
    free(pb);
    return fOk;
}

} // namespace

BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    if (lpExistingFileName == nullptr || lpNewFileName == nullptr) {
        SetLastError(dwErrorInvalidParameter);
        return FALSE;
    }
    struct stat stSource;
    int fdSource = OpenRegular(lpExistingFileName, O_RDONLY, true, &stSource);
    if (fdSource < 0)
        return FALSE;

    // O_NOFOLLOW refuses a symbolic link as the last component, so a link planted in the
    // quarantine folder cannot redirect the copy elsewhere.
    int nFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | (bFailIfExists ? O_EXCL : 0);
    struct stat stDest;
    int fdDest = OpenRegular(lpNewFileName, nFlags, false, &stDest);
    if (fdDest < 0) {
        close(fdSource);
        return FALSE;
    }
    // Truncating only now, after the check, keeps a copy onto itself from emptying the source.
    if (stDest.st_dev == stSource.st_dev && stDest.st_ino == stSource.st_ino) {
        close(fdDest);
        close(fdSource);
        SetLastError(dwErrorAccessDenied);
        return FALSE;
    }
    bool fOk = ftruncate(fdDest, 0) == 0;
    if (!fOk)
        SetLastError(MapErrno(errno, false));
    fOk = fOk && CopyContent(fdSource, fdDest);
    if (fOk)
        fchmod(fdDest, stSource.st_mode & 07777 & ~(S_ISUID | S_ISGID));
    if (close(fdDest) != 0 && fOk) {
        SetLastError(MapErrno(errno, false));
        fOk = false;
    }
    close(fdSource);
    if (!fOk) {
        unlink(lpNewFileName);
        return FALSE;
    }
    return TRUE;
}
