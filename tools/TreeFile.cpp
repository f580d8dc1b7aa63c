// Files below OUTDIR: the folders opened one at a time without following a link, the file made
// beside its place and renamed onto it, so a link left in OUTDIR never sends text elsewhere.
#include "TreeFile.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace {

// Temporary names differ between the threads and processes writing into one tree.
std::atomic<unsigned long> g_cTemp{0};

// The folder name inside dirfd, made when missing; its descriptor, or -1 with errno set
// (ELOOP when it is a symbolic link).
int OpenFolder(int fdDir, const std::string &name)
{
    int fd = openat(fdDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && (mkdirat(fdDir, name.c_str(), 0777) == 0 || errno == EEXIST)) {
        fd = openat(fdDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0 && errno != ELOOP) {
        // Some systems say ENOTDIR for a link opened with both flags.
        int nErr = errno;
        struct stat st;
        errno =
            fstatat(fdDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) ? ELOOP : nErr;
    }
    return fd;
}

std::string LeafName(const std::string &rel)
{
    size_t ibSlash = rel.rfind('/');
    return ibSlash == std::string::npos ? rel : rel.substr(ibSlash + 1);
}

} // namespace

TreeFile::~TreeFile()
{
    Discard();
}

bool TreeFile::Fail(const std::string &error)
{
    m_error = error;
    Discard();
    return false;
}

void TreeFile::Discard()
{
    if (m_pf != nullptr) {
        fclose(m_pf);
        m_pf = nullptr;
        unlinkat(m_fdDir, m_temp.c_str(), 0);
    }
    if (m_fdDir >= 0) {
        close(m_fdDir);
    }
    m_fdDir = -1;
}

bool TreeFile::Open(const std::string &root, const std::string &rel)
{
    Discard();
    m_rel = rel;
    m_fdDir = OpenTreeFolder(root, rel, &m_error);
    if (m_fdDir < 0) {
        return false;
    }
    int fd = -1;
    for (int iTry = 0; fd < 0 && iTry < 100; iTry++) {
        m_temp = ".cellsift-" + std::to_string(getpid()) + "-" + std::to_string(g_cTemp++) + ".tmp";
        fd = openat(m_fdDir, m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return Fail(strerror(errno));
    }
    m_pf = fdopen(fd, "wb");
    if (m_pf == nullptr) {
        int nErr = errno;
        close(fd);
        unlinkat(m_fdDir, m_temp.c_str(), 0);
        return Fail(strerror(nErr));
    }
    return true;
}

bool TreeFile::Close(StagedFile *pStaged)
{
    long cb = ftell(m_pf);
    bool fOk = ferror(m_pf) == 0;
    int nErr = fOk ? 0 : EIO;
    if (fclose(m_pf) != 0 && fOk) {
        fOk = false;
        nErr = errno;
    }
    m_pf = nullptr;
    if (!fOk) {
        unlinkat(m_fdDir, m_temp.c_str(), 0);
        return Fail(strerror(nErr));
    }
    *pStaged = {m_rel, m_temp, cb > 0 ? static_cast<unsigned long long>(cb) : 0};
    Discard();
    return true;
}

int OpenTreeFolder(const std::string &root, const std::string &rel, std::string *pError)
{
    // OUTDIR itself is the user's to choose, link or not.
    int fdDir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir < 0) {
        *pError = strerror(errno);
        return -1;
    }
    size_t ib = 0;
    for (size_t ibSlash; (ibSlash = rel.find('/', ib)) != std::string::npos; ib = ibSlash + 1) {
        if (ibSlash == ib) {
            continue;
        }
        int fd = OpenFolder(fdDir, rel.substr(ib, ibSlash - ib));
        int nErr = errno;
        close(fdDir);
        if (fd < 0) {
            *pError = nErr == ELOOP ? rel.substr(0, ibSlash) +
                                          " is a symbolic link, which the output tree does not follow"
                                    : std::string(strerror(nErr));
            return -1;
        }
        fdDir = fd;
    }
    return fdDir;
}

bool PlaceStagedFile(int fdDir, const StagedFile &staged, const std::string &name, std::string *pError)
{
    bool fOk = renameat(fdDir, staged.temp.c_str(), fdDir, LeafName(name).c_str()) == 0;
    if (!fOk) {
        *pError = strerror(errno);
        unlinkat(fdDir, staged.temp.c_str(), 0);
    }
    return fOk;
}
