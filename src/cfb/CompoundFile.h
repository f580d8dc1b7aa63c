// The compound-document reader: the file's chains and directory entries as the system's reader
// sees them, and the bytes of one stream, with plain results that say what went wrong.
#ifndef CELLSIFT_CFB_COMPOUNDFILE_H
#define CELLSIFT_CFB_COMPOUNDFILE_H

#include <stddef.h>
#include <stdint.h>

#include <unordered_map>
#include <utility>
#include <vector>

// What an open, a search or a read found. The storage calls of the portable build give each
// as the result the system's reader gives for the same file.
enum class CfbResult {
    Ok,
    NotCompound, // no compound document, or a header with sizes no writer uses
    OldFormat,   // a compound document of the early kind, with the old signature
    Corrupt,     // a broken chain, directory or DIFAT
    ReadFault,   // a table sector the file does not hold
    NotFound,    // no stream of that name
    InvalidName, // a name longer than 31 characters
    ChainLoops,  // a chain that comes back to itself: the system runs out of memory
};

// One sentence for a result, for messages.
const char *CfbResultText(CfbResult result);

// The kinds of directory entry (CfbDirEntry::m_bType) that hold something.
enum : uint8_t {
    bTypeStorage = 1,
    bTypeStream = 2
};

// The fields of one directory entry that the reader uses.
struct CfbDirEntry {
    char16_t m_rgwName[32];
    uint8_t m_bType;
    uint16_t m_cbName;
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
    const uint8_t *m_pbMemory = nullptr; // when set, the file's bytes are here and m_fd is unused
    uint64_t m_cbFile;
    uint32_t m_cRef;
    uint32_t m_nSectorShift;
    uint32_t m_cbSector;
    uint32_t m_csectFat; // as the header claims; only bounds lookups
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
    std::vector<uint8_t> m_rgbCache;
};

// One open stream: its entry, and its sector chain once a read has needed it.
struct CfbStreamMap {
    uint32_t m_id;
    uint64_t m_cbSize;
    uint32_t m_sectStart;
    bool m_fChainBuilt;
    CfbResult m_resultChain;
    std::vector<uint32_t> m_rgsect;
};

// True when the cb bytes at pb begin with the signature of a compound document.
bool CfbHasSignature(const uint8_t *pb, uint64_t cb);

// Reads the header and the chains of the file open on fd (cbFile bytes long) and the root
// entry. CfbResult::Ok, or the result the system gives for such a file.
CfbResult CfbOpenFile(int fd, uint64_t cbFile, CfbFile *pFile);

// The same over a file held in memory at pb (cb bytes), read in place: the block must outlive
// pFile and is never copied or changed.
CfbResult CfbOpenMemory(const uint8_t *pb, uint64_t cb, CfbFile *pFile);

// Finds the stream pwzName directly in the root storage.
CfbResult CfbOpenStream(CfbFile *pFile, const char16_t *pwzName, CfbStreamMap *pMap);

// Finds the entry pwzName (a stream or a storage) directly in storage idStorage (0: the root):
// its id and its fields. NotFound too when idStorage is no storage.
CfbResult CfbFindEntry(CfbFile *pFile, uint32_t idStorage, const char16_t *pwzName, uint32_t *pidFound,
                       CfbDirEntry *pEntry);

// The entries directly in storage idStorage (0: the root), in the tree's order, each once:
// ids and fields. Corrupt when the tree comes back to an entry; what was listed is kept.
CfbResult CfbListStorage(CfbFile *pFile, uint32_t idStorage,
                         std::vector<std::pair<uint32_t, CfbDirEntry>> *prgEntry);

// Finds the stream pwzName directly in storage idStorage (0: the root).
CfbResult CfbOpenStreamIn(CfbFile *pFile, uint32_t idStorage, const char16_t *pwzName, CfbStreamMap *pMap);

// Where a stream of a document held in memory lies in it, when its sectors follow each other
// and all its bytes are there: then reading it would give exactly those bytes. Null otherwise.
const uint8_t *CfbStreamInPlace(CfbFile *pFile, CfbStreamMap *pMap);

// Reads up to cb bytes from stream offset ibPos into pb; *pcbRead gets the count read,
// which on a damaged file may be short, with or without a failure result.
CfbResult CfbReadStream(CfbFile *pFile, CfbStreamMap *pMap, uint64_t ibPos, uint8_t *pb, uint32_t cb,
                        uint32_t *pcbRead);

// Reads up to cbWant bytes of an open stream into pb, in pieces the stream reader accepts;
// returns how many it could read (fewer in a damaged file).
uint64_t ReadStreamBytes(CfbFile *pFile, CfbStreamMap *pMap, uint8_t *pb, uint64_t cbWant);

// The stream pwzName of storage idStorage (0: the root), whole, into *prgb: never more bytes
// than the file holds, whatever size the directory declares. False when there is no such stream.
bool ReadCompoundStream(CfbFile *pFile, const char16_t *pwzName, std::vector<uint8_t> *prgb,
                        uint32_t idStorage = 0);

#endif
