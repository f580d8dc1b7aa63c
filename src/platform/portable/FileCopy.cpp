// The file copy of the quarantine on the portable build: CopyFileA over POSIX files, never
// through a symbolic link at the destination, holes kept as holes, the copy private to its
// owner, and never a partial copy left behind.
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
    case ENOENT: return fSource ? dwErrorFileNotFound : dwErrorPathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return dwErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP:
    case EISDIR: return dwErrorAccessDenied;
    case EEXIST: return dwErrorFileExists;
    case ENOMEM: return dwErrorNotEnoughMemory;
    case ENOSPC:
    case EDQUOT: return dwErrorDiskFull;
    default: return dwErrorGenFailure;
    }
}

// Opens without blocking (a FIFO would otherwise wait for its other end), then accepts
// only a regular file and switches back to blocking reads and writes.
int OpenRegular(const char *pszPath, int nFlags, bool fSource, struct stat *pst, mode_t nMode)
{
    int fd = open(pszPath, nFlags | O_NONBLOCK | O_CLOEXEC, nMode);
    if (fd < 0) {
        SetLastError(MapErrno(errno, fSource));
        return -1;
    }
    if (fstat(fd, pst) != 0 || !S_ISREG(pst->st_mode) || fcntl(fd, F_SETFL, nFlags & O_ACCMODE) != 0) {
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
            if (errno == EINTR) {
                continue;
            }
            SetLastError(MapErrno(errno, false));
            return false;
        }
        pb += cbDone;
        cb -= (size_t)cbDone;
    }
    return true;
}

// Copies bytes [ib, ibEnd) at the same offsets; a source that ends early ends the copy.
bool CopyRange(int fdSource, int fdDest, char *pb, off_t ib, off_t ibEnd)
{
    while (ib < ibEnd) {
        size_t cbWant = (size_t)(ibEnd - ib) < cbChunk ? (size_t)(ibEnd - ib) : cbChunk;
        ssize_t cbRead = pread(fdSource, pb, cbWant, ib);
        if (cbRead < 0 && errno == EINTR) {
            continue;
        }
        if (cbRead < 0) {
            SetLastError(MapErrno(errno, true));
            return false;
        }
        if (cbRead == 0) {
            return true;
        }
        if (lseek(fdDest, ib, SEEK_SET) < 0 || !WriteAll(fdDest, pb, (size_t)cbRead)) {
            SetLastError(MapErrno(errno, false));
            return false;
        }
        ib += cbRead;
    }
    return true;
}

// Copies the cbSize bytes that the source had when it was opened, its data only: the holes of
// a sparse file stay holes, so the copy never takes more disk than the source's own blocks
// (a file of 4 KB that claims a terabyte must not fill the disk).
bool CopyContent(int fdSource, int fdDest, off_t cbSize)
{
    char *pb = (char *)malloc(cbChunk);
    if (pb == nullptr) {
        SetLastError(dwErrorNotEnoughMemory);
        return false;
    }
    bool fOk = true;
    off_t ib = 0;
    while (fOk && ib < cbSize) {
        off_t ibData = lseek(fdSource, ib, SEEK_DATA);
        if (ibData < 0 && errno == ENXIO) {
            break; // only a hole is left
        }
        // A file system that cannot tell holes has data everywhere.
        if (ibData < 0) {
            ibData = ib;
        }
        off_t ibHole = lseek(fdSource, ibData, SEEK_HOLE);
        if (ibHole < 0 || ibHole > cbSize) {
            ibHole = cbSize;
        }
        fOk = CopyRange(fdSource, fdDest, pb, ibData, ibHole);
        ib = ibHole;
    }
    free(pb);
    // The length, trailing hole included.
    if (fOk && ftruncate(fdDest, cbSize) != 0) {
        SetLastError(MapErrno(errno, false));
        fOk = false;
    }
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
    int fdSource = OpenRegular(lpExistingFileName, O_RDONLY, true, &stSource, 0);
    if (fdSource < 0) {
        return FALSE;
    }

    // O_NOFOLLOW refuses a symbolic link as the last component, so a link planted in the
    // quarantine folder cannot redirect the copy elsewhere.
    int nFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | (bFailIfExists ? O_EXCL : 0);
    struct stat stDest;
    int fdDest = OpenRegular(lpNewFileName, nFlags, false, &stDest, 0600);
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
    // Readable by its owner only, whatever the source allowed: a document from a private
    // folder must not become readable by all in the quarantine.
    bool fOk = ftruncate(fdDest, 0) == 0 && fchmod(fdDest, 0600) == 0;
    if (!fOk) {
        SetLastError(MapErrno(errno, false));
    }
    fOk = fOk && CopyContent(fdSource, fdDest, stSource.st_size);
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
