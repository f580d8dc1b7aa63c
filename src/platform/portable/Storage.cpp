// The portable StgOpenStorage, IStorage and IStream: argument checks, results as the system
// gives them, and the lifetime of the open file shared by a storage and its streams.
#include <assert.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "cfb/CompoundFile.h"
#include "platform/portable/CodePage.h"
#include "platform/portable/Win32Portable.h"

namespace {

const DWORD grfModeAccepted = STGM_SHARE_EXCLUSIVE | STGM_READ;
const DWORD dwTypeStream = 2;

struct PortableStorage : IStorage {
    CfbFile *m_pFile;
};

struct PortableStream : IStream {
    CfbFile *m_pFile;
    CfbStreamMap m_map;
    uint64_t m_ibPos;
};

// The result the system's reader gives where the compound-document reader found result.
HRESULT HresultOf(CfbResult result)
{
    switch (result) {
    case CfbResult::Ok: return S_OK;
    case CfbResult::NotCompound: return STG_E_FILEALREADYEXISTS;
    case CfbResult::OldFormat: return STG_E_OLDFORMAT;
    case CfbResult::Corrupt: return STG_E_DOCFILECORRUPT;
    case CfbResult::ReadFault: return STG_E_READFAULT;
    case CfbResult::NotFound: return STG_E_FILENOTFOUND;
    case CfbResult::InvalidName: return STG_E_INVALIDNAME;
    case CfbResult::ChainLoops: return E_OUTOFMEMORY;
    }
    return STG_E_DOCFILECORRUPT;
}

void ReleaseFile(CfbFile *pFile)
{
    assert(pFile->m_cRef > 0);
    if (--pFile->m_cRef == 0) {
        close(pFile->m_fd);
        delete pFile;
    }
}

// The path back in the bytes the host gave, for open(); empty when a unit has no byte,
// which no name made from the host's bytes can hold.
std::string PathFromWide(LPCOLESTR pwcsName)
{
    size_t cch = 0;
    while (pwcsName[cch] != 0) {
        ++cch;
    }
    std::string sPath(cch + 1, '\0');
    if (!WidePathToBytes(pwcsName, &sPath[0], sPath.size())) {
        return std::string();
    }
    sPath.resize(cch);
    return sPath;
}

// A missing file is "file not found", a missing folder on the way to it "path not found".
HRESULT ResultFromOpenErrno(int nErrno, const std::string &sPath)
{
    if (nErrno == EACCES || nErrno == EPERM) {
        return STG_E_ACCESSDENIED;
    }
    if (nErrno == ENOTDIR || nErrno == ENAMETOOLONG || nErrno == ELOOP) {
        return STG_E_PATHNOTFOUND;
    }
    if (nErrno == ENOENT) {
        if (sPath.empty()) {
            return STG_E_PATHNOTFOUND;
        }
        size_t ibSlash = sPath.find_last_of('/');
        if (ibSlash != std::string::npos && ibSlash > 0) {
            struct stat st;
            std::string sDir = sPath.substr(0, ibSlash);
            if (stat(sDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return STG_E_PATHNOTFOUND;
            }
        }
        return STG_E_FILENOTFOUND;
    }
    return STG_E_READFAULT;
}

HRESULT OpenStorageFile(const std::string &sPath, IStorage **ppstgOpen)
{
    // Without O_NONBLOCK a FIFO named like a workbook would hold the host until a writer came;
    // only a regular file is read, and its reads go back to blocking.
    int fd = open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return ResultFromOpenErrno(errno, sPath);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, O_RDONLY) != 0) {
        close(fd);
        return STG_E_ACCESSDENIED;
    }
    CfbFile *pFile = new (std::nothrow) CfbFile();
    if (pFile == nullptr) {
        close(fd);
        return STG_E_INSUFFICIENTMEMORY;
    }
    pFile->m_cRef = 1;
    HRESULT hr;
    try {
        hr = HresultOf(CfbOpenFile(fd, (uint64_t)st.st_size, pFile));
    } catch (const std::bad_alloc &) {
        hr = STG_E_INSUFFICIENTMEMORY;
    }
    PortableStorage *pStorage = nullptr;
    if (hr == S_OK) {
        pStorage = new (std::nothrow) PortableStorage();
        if (pStorage == nullptr) {
            hr = STG_E_INSUFFICIENTMEMORY;
        }
    }
    if (hr != S_OK) {
        ReleaseFile(pFile);
        return hr;
    }
    pStorage->m_pFile = pFile;
    *ppstgOpen = pStorage;
    return S_OK;
}

} // namespace

HRESULT StgOpenStorage(LPCOLESTR pwcsName, IStorage *pstgPriority, DWORD grfMode, SNB snbExclude,
                       DWORD reserved, IStorage **ppstgOpen)
{
    if (ppstgOpen == nullptr) {
        return STG_E_INVALIDPOINTER;
    }
    *ppstgOpen = nullptr;
    if (pwcsName == nullptr) {
        return STG_E_INVALIDNAME;
    }
    if (pstgPriority != nullptr || snbExclude != nullptr || reserved != 0) {
        return STG_E_INVALIDPARAMETER;
    }
    if (grfMode != grfModeAccepted) {
        return STG_E_INVALIDFLAG;
    }
    try {
        return OpenStorageFile(PathFromWide(pwcsName), ppstgOpen);
    } catch (const std::bad_alloc &) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

HRESULT IStorage::OpenStream(LPCOLESTR pwcsName, void *reserved1, DWORD grfMode, DWORD reserved2,
                             IStream **ppstm)
{
    PortableStorage *pStorage = static_cast<PortableStorage *>(this);
    if (ppstm == nullptr) {
        return STG_E_INVALIDPOINTER;
    }
    *ppstm = nullptr;
    if (pwcsName == nullptr) {
        return STG_E_INVALIDNAME;
    }
    if (reserved1 != nullptr || reserved2 != 0) {
        return STG_E_INVALIDPARAMETER;
    }
    if (grfMode != grfModeAccepted) {
        return STG_E_INVALIDFLAG;
    }
    PortableStream *pStream = new (std::nothrow) PortableStream();
    if (pStream == nullptr) {
        return STG_E_INSUFFICIENTMEMORY;
    }
    HRESULT hr;
    try {
        hr = HresultOf(CfbOpenStream(pStorage->m_pFile, pwcsName, &pStream->m_map));
    } catch (const std::bad_alloc &) {
        hr = STG_E_INSUFFICIENTMEMORY;
    }
    if (hr != S_OK) {
        delete pStream;
        return hr;
    }
    pStream->m_pFile = pStorage->m_pFile;
    pStream->m_pFile->m_cRef++;
    pStream->m_ibPos = 0;
    *ppstm = pStream;
    return S_OK;
}

ULONG IStorage::Release()
{
    PortableStorage *pStorage = static_cast<PortableStorage *>(this);
    ReleaseFile(pStorage->m_pFile);
    delete pStorage;
    return 0;
}

HRESULT IStream::Stat(STATSTG *pstatstg, DWORD grfStatFlag)
{
    const PortableStream *pStream = static_cast<const PortableStream *>(this);
    if (pstatstg == nullptr) {
        return STG_E_INVALIDPOINTER;
    }
    // A name would need an allocator the caller can free with; the portable build has none.
    if (grfStatFlag != STATFLAG_NONAME) {
        return STG_E_INVALIDFLAG;
    }
    memset(pstatstg, 0, sizeof(*pstatstg));
    pstatstg->type = dwTypeStream;
    pstatstg->cbSize.QuadPart = pStream->m_map.m_cbSize;
    pstatstg->grfMode = grfModeAccepted;
    return S_OK;
}

HRESULT IStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER *plibNewPosition)
{
    PortableStream *pStream = static_cast<PortableStream *>(this);
    uint64_t ibBase;
    if (dwOrigin == STREAM_SEEK_SET) {
        ibBase = 0;
    } else if (dwOrigin == STREAM_SEEK_CUR) {
        ibBase = pStream->m_ibPos;
    } else if (dwOrigin == STREAM_SEEK_END) {
        ibBase = pStream->m_map.m_cbSize;
    } else {
        return STG_E_INVALIDFUNCTION;
    }
    // Positions stay from 0 to the largest signed 64-bit offset. The base may be any size an
    // entry declares, so the move is checked against it before it is made.
    uint64_t ibNew;
    if (dlibMove.QuadPart < 0) {
        uint64_t cbBack = (uint64_t)(-(dlibMove.QuadPart + 1)) + 1;
        if (cbBack > ibBase) {
            return STG_E_INVALIDFUNCTION;
        }
        ibNew = ibBase - cbBack;
    } else {
        ibNew = ibBase + (uint64_t)dlibMove.QuadPart;
        if (ibNew < ibBase || ibNew > (uint64_t)INT64_MAX) {
            return STG_E_INVALIDFUNCTION;
        }
    }
    pStream->m_ibPos = ibNew;
    if (plibNewPosition != nullptr) {
        plibNewPosition->QuadPart = pStream->m_ibPos;
    }
    return S_OK;
}

HRESULT IStream::Read(void *pv, ULONG cb, ULONG *pcbRead)
{
    PortableStream *pStream = static_cast<PortableStream *>(this);
    if (pcbRead != nullptr) {
        *pcbRead = 0;
    }
    if (pv == nullptr) {
        return STG_E_INVALIDPOINTER;
    }
    ULONG cbRead = 0;
    HRESULT hr = HresultOf(CfbReadStream(pStream->m_pFile, &pStream->m_map, pStream->m_ibPos,
                                         static_cast<BYTE *>(pv), cb, &cbRead));
    // As in the system's streams, a failed read leaves the position where it was.
    if (hr == S_OK) {
        pStream->m_ibPos += cbRead;
    }
    if (pcbRead != nullptr) {
        *pcbRead = cbRead;
    }
    return hr;
}

ULONG IStream::Release()
{
    PortableStream *pStream = static_cast<PortableStream *>(this);
    ReleaseFile(pStream->m_pFile);
    delete pStream;
    return 0;
}
