// The compound-document reader behind the portable storage calls: the file's tables
// (FAT, mini FAT, directory) and the sector map of one open stream.
#ifndef CELLSIFT_PLATFORM_PORTABLE_COMPOUNDFILE_H
#define CELLSIFT_PLATFORM_PORTABLE_COMPOUNDFILE_H

#include <stdint.h>

#include <vector>

#include "platform/portable/Win32Portable.h"

// One directory entry as the reader keeps it; names are checked only when searched.
struct CfbDirEntry {
    char16_t m_rgwName[32];
    WORD m_cbName;
    BYTE m_bType;
    uint32_t m_idLeft;
    uint32_t m_idRight;
    uint32_t m_idChild;
    uint32_t m_sectStart;
    uint64_t m_cbSize;
};

// An open compound document. Shared by the storage and its streams, so it lives until the
// last of them is released.
struct CfbFile {
    int m_fd;
    const BYTE *m_pbMemory = nullptr; // when set, the file's bytes are here and m_fd is unused
    uint64_t m_cbFile;
    ULONG m_cRef;
    WORD m_wMajor;
    uint32_t m_nSectorShift;
    uint32_t m_cbSector;
    uint32_t m_csectFile; // sectors that start inside the file
    uint32_t m_sectMiniFatStart;
    std::vector<uint32_t> m_rgFat;
    std::vector<CfbDirEntry> m_rgDir;
    bool m_fMiniLoaded;
    std::vector<uint32_t> m_rgMiniFat;
    std::vector<uint32_t> m_rgMiniStreamSect; // the regular sectors of the mini stream
    uint64_t m_cbMiniStream;
};

// Where the bytes of one stream lie: its units (sectors, or mini sectors) in stream order.
struct CfbStreamMap {
    bool m_fMini;
    uint64_t m_cbSize;
    std::vector<uint32_t> m_rgUnit;
};

// Reads the header, the FAT and the directory of the file open on fd (cbFile bytes long).
// S_OK, STG_E_FILEALREADYEXISTS when it is no compound document, STG_E_INVALIDHEADER or
// STG_E_DOCFILECORRUPT when it is damaged.
HRESULT CfbOpenFile(int fd, uint64_t cbFile, CfbFile *pFile);

// The same over a file held in memory at pb (cb bytes), read in place: the block must outlive
// pFile and is never copied or changed.
HRESULT CfbOpenMemory(const BYTE *pb, uint64_t cb, CfbFile *pFile);

// Finds the stream pwzName directly in the root storage and maps its units, refusing one
// whose declared size the file cannot hold.
HRESULT CfbOpenStream(CfbFile *pFile, const char16_t *pwzName, CfbStreamMap *pMap);

// Reads up to cb bytes from stream offset ibPos into pb; *pcbRead gets the count read.
HRESULT CfbReadStream(const CfbFile *pFile, const CfbStreamMap *pMap, uint64_t ibPos,
                      BYTE *pb, ULONG cb, ULONG *pcbRead);

#endif
