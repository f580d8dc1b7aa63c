// The compound-document reader behind the portable storage calls: the file's chains and
// directory entries as the system's reader sees them, and the bytes of one open stream.
#ifndef CELLSIFT_PLATFORM_PORTABLE_COMPOUNDFILE_H
#define CELLSIFT_PLATFORM_PORTABLE_COMPOUNDFILE_H

#include <stdint.h>

#include <unordered_map>
#include <vector>

#include "platform/portable/Win32Portable.h"

// The fields of one directory entry that the reader uses.
struct CfbDirEntry {
    char16_t m_rgwName[32];
    BYTE m_bType;
    WORD m_cbName;
    uint32_t m_idLeft;
    uint32_t m_idRight;
    uint32_t m_idChild;
    uint32_t m_sectStart;
    uint64_t m_cbSize;
};

// An open compound document. Shared by the storage and its streams, so it lives until the
// last of them is released. Every table holds only what was read from the file, never
// what the header claims: sectors are loaded when a lookup needs them.
struct CfbFile {
    int m_fd;
    const BYTE *m_pbMemory = nullptr; // when set, the file's bytes are here and m_fd is unused
    uint64_t m_cbFile;
    ULONG m_cRef;
    uint32_t m_nSectorShift;
    uint32_t m_cbSector;
    uint32_t m_csectFat;       // as the header claims; only bounds lookups
    uint32_t m_rgsectFatHeader[109];
    uint32_t m_csectDifClaimed;
    std::vector<uint32_t> m_rgsectDif; // the DIFAT chain up to its first repeat
    size_t m_isectDifRepeat;           // where that repeat leads back to
    std::vector<uint32_t> m_rgsectDir;
    std::vector<uint32_t> m_rgsectMiniFat;
    std::vector<uint32_t> m_rgsectMiniStream;
    uint64_t m_cbMiniStream;
    // Sectors read so far, by sector number: offset into m_rgbCache and bytes really read.
    std::unordered_map<uint32_t, std::pair<size_t, uint32_t>> m_mapCache;
    std::vector<BYTE> m_rgbCache;
};

// One open stream: its entry, and its sector chain once a read has needed it.
struct CfbStreamMap {
    uint32_t m_id;
    uint64_t m_cbSize;
    uint32_t m_sectStart;
    bool m_fChainBuilt;
    HRESULT m_hrChain;
    std::vector<uint32_t> m_rgsect;
};

// True when the cb bytes at pb begin with the signature of a compound document.
bool CfbHasSignature(const BYTE *pb, uint64_t cb);

// Reads the header and the chains of the file open on fd (cbFile bytes long) and the root
// entry. S_OK, or the result the system gives for such a file.
HRESULT CfbOpenFile(int fd, uint64_t cbFile, CfbFile *pFile);

// The same over a file held in memory at pb (cb bytes), read in place: the block must outlive
// pFile and is never copied or changed.
HRESULT CfbOpenMemory(const BYTE *pb, uint64_t cb, CfbFile *pFile);

// Finds the stream pwzName directly in the root storage.
HRESULT CfbOpenStream(CfbFile *pFile, const char16_t *pwzName, CfbStreamMap *pMap);

// Where a stream of a document held in memory lies in it, when its sectors follow each other
// and all its bytes are there: then reading it would give exactly those bytes. Null otherwise.
const BYTE *CfbStreamInPlace(CfbFile *pFile, CfbStreamMap *pMap);

// Reads up to cb bytes from stream offset ibPos into pb; *pcbRead gets the count read,
// which on a damaged file may be short, with or without a failure result.
HRESULT CfbReadStream(CfbFile *pFile, CfbStreamMap *pMap, uint64_t ibPos, BYTE *pb, ULONG cb,
                      ULONG *pcbRead);

#endif
