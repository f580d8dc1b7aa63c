// Reads the structure of a compound document (header, DIFAT, FAT, directory chain, mini FAT),
// accepting exactly what the system's reader does.
//
// How the system's reader meets a damaged file, and so how this one does:
// - The header is refused only for a wrong signature or sizes other than 512- or 4096-byte
//   sectors, 64-byte mini sectors and a 4096-byte cutoff; versions and byte order are not
//   looked at.
// - Opening follows the whole directory chain, mini FAT chain and mini stream chain through
//   the FAT; a link it cannot look up fails the open. Each entry of the FAT is looked up
//   where it lies, so a FAT sector is read only when a chain passes through it.
// - A stream opens whatever its size; Stat reports the size its entry declares. A regular
//   stream's whole chain is followed at its first read; a read stops short, with or without
//   a failure, where its chain or the file ends.
// - A sector cut by the end of the file reads as its bytes followed by zeros.
// Where the system's reader would never return (a chain or the directory tree coming back
// to itself) this one stops and fails: the open or read with the result the system would
// reach when its memory ran out, the search with CfbResult::Corrupt.
// Every table holds only sectors really read, so its size is bounded by the file.
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "cfb/CfbSectors.h"

// Reads cb bytes at file offset ib, all or nothing as far as the caller is concerned.
bool ReadFileAt(const CfbFile *pFile, uint64_t ib, uint8_t *pb, size_t cb)
{
    if (!FitsIn(ib, cb, pFile->m_cbFile)) {
        return false;
    }
    if (pFile->m_pbMemory != nullptr) {
        memcpy(pb, pFile->m_pbMemory + ib, cb);
        return true;
    }
    size_t cbDone = 0;
    while (cbDone < cb) {
        ssize_t cbGot = pread(pFile->m_fd, pb + cbDone, cb - cbDone, static_cast<off_t>(ib + cbDone));
        if (cbGot < 0 && errno == EINTR) {
            continue;
        }
        if (cbGot <= 0) {
            return false;
        }
        cbDone += static_cast<size_t>(cbGot);
    }
    return true;
}

// Reads what of cb bytes at ib lies before the end of the file; the count read.
size_t ReadFileUpTo(const CfbFile *pFile, uint64_t ib, uint8_t *pb, size_t cb)
{
    if (ib >= pFile->m_cbFile) {
        return 0;
    }
    size_t cbHere = pFile->m_cbFile - ib < cb ? static_cast<size_t>(pFile->m_cbFile - ib) : cb;
    return ReadFileAt(pFile, ib, pb, cbHere) ? cbHere : 0;
}

// Sector numbers count from the end of the header, in 32 bits: the last one wraps to 0.
uint64_t SectorOffset(const CfbFile *pFile, uint32_t sect)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(sect + 1)) << pFile->m_nSectorShift;
}

// One sector, kept once read: its bytes, zeros after the end of the file, and the count
// really read (0: the sector lies wholly past the end). Only sectors inside the file are
// kept, so the cache never outgrows it.
const uint8_t *CachedSector(CfbFile *pFile, uint32_t sect, uint32_t *pcbRead)
{
    auto it = pFile->m_mapCache.find(sect);
    if (it == pFile->m_mapCache.end()) {
        size_t ib = pFile->m_rgbCache.size();
        pFile->m_rgbCache.resize(ib + pFile->m_cbSector, 0);
        uint32_t cbRead = static_cast<uint32_t>(
            ReadFileUpTo(pFile, SectorOffset(pFile, sect), pFile->m_rgbCache.data() + ib, pFile->m_cbSector));
        if (cbRead == 0) {
            pFile->m_rgbCache.resize(ib);
            *pcbRead = 0;
            return nullptr;
        }
        it = pFile->m_mapCache.emplace(sect, std::make_pair(ib, cbRead)).first;
    }
    *pcbRead = it->second.second;
    return pFile->m_rgbCache.data() + it->second.first;
}

namespace {

// The DIFAT sector at position iDif of its chain: the chain repeats after its stored part.
uint32_t DifatSector(const CfbFile *pFile, size_t iDif)
{
    size_t cStored = pFile->m_rgsectDif.size();
    if (iDif < cStored) {
        return pFile->m_rgsectDif[iDif];
    }
    size_t cCycle = cStored - pFile->m_isectDifRepeat;
    return pFile->m_rgsectDif[pFile->m_isectDifRepeat + (iDif - cStored) % cCycle];
}

// Where FAT sector number iFat lies: in the header's 109, else in the DIFAT sectors, each
// holding one sector's worth less its link.
uint32_t FatSectorLocation(CfbFile *pFile, uint32_t iFat)
{
    if (iFat < cHeaderDifat) {
        return pFile->m_rgsectFatHeader[iFat];
    }
    uint32_t cPerDif = pFile->m_cbSector / 4 - 1;
    uint32_t iDif = (iFat - cHeaderDifat) / cPerDif;
    if (iDif >= pFile->m_csectDifClaimed) {
        return sectFree;
    }
    uint32_t cbRead = 0, sect = 0;
    const uint8_t *pb = CachedSector(pFile, DifatSector(pFile, iDif), &cbRead);
    if (pb != nullptr) {
        sect = Le32At(pb, pFile->m_cbSector, ((iFat - cHeaderDifat) % cPerDif) * 4);
    }
    return sect;
}

// The FAT sector a walk looked at last: a chain mostly runs on through one FAT sector's
// entries, so each is fetched once per run of links, not once per link.
struct FatCursor {
    uint32_t iFat = UINT32_MAX;
    const uint8_t *pb = nullptr;
};

// The FAT's link from sect, looked up as the system does: the entry's byte offset is taken
// in 32 bits, and a FAT sector past the header's count or past the end fails.
CfbResult NextSector(CfbFile *pFile, uint32_t sect, uint32_t *psectNext, FatCursor *pCursor)
{
    uint32_t ibInFat = sect * 4;
    uint32_t iFat = ibInFat >> pFile->m_nSectorShift;
    if (iFat >= pFile->m_csectFat) {
        return CfbResult::ReadFault;
    }
    if (iFat != pCursor->iFat) {
        uint32_t cbRead = 0;
        const uint8_t *pb = CachedSector(pFile, FatSectorLocation(pFile, iFat), &cbRead);
        if (pb == nullptr) {
            return CfbResult::ReadFault;
        }
        pCursor->iFat = iFat;
        pCursor->pb = pb;
    }
    *psectNext = Le32At(pCursor->pb, pFile->m_cbSector, ibInFat & (pFile->m_cbSector - 1));
    return CfbResult::Ok;
}

} // namespace

// Follows a chain from sectHead to its end. A chain that comes back to a sector it passed
// would be followed by the system until its memory ran out; that is found here (Brent's
// method: compare with a sector saved at each power of two) after at most twice the
// chain's distinct sectors.
CfbResult WalkChain(CfbFile *pFile, uint32_t sectHead, std::vector<uint32_t> *prgsect)
{
    prgsect->clear();
    uint32_t sect = sectHead, sectSaved = sectEndOfChain;
    size_t cPower = 1, cSinceSaved = 0;
    // Nothing else reads sectors during the walk, so the cursor's bytes stay where they are.
    FatCursor cursor;
    while (sect != sectEndOfChain) {
        if (sect == sectSaved) {
            return CfbResult::ChainLoops;
        }
        prgsect->push_back(sect);
        if (++cSinceSaved == cPower) {
            sectSaved = sect;
            cPower *= 2;
            cSinceSaved = 0;
        }
        CfbResult result = NextSector(pFile, sect, &sect, &cursor);
        if (result != CfbResult::Ok) {
            return result;
        }
    }
    return CfbResult::Ok;
}

// The first sector of an entry's chain; a special value means an empty chain.
uint32_t ChainHead(uint32_t sectStart)
{
    return sectStart < sectFirstSpecial ? sectStart : sectEndOfChain;
}

namespace {

// The DIFAT chain as the header counts it: it must not end before that count. It is kept
// only up to its first repeat, after which it runs round the same sectors.
CfbResult LoadDifat(CfbFile *pFile, uint32_t sectDifStart)
{
    pFile->m_rgsectDif.clear();
    pFile->m_isectDifRepeat = 0;
    std::unordered_map<uint32_t, size_t> mapSeen;
    uint32_t sect = sectDifStart;
    for (uint32_t i = 0; i < pFile->m_csectDifClaimed; i++) {
        if (sect == sectEndOfChain) {
            return CfbResult::Corrupt;
        }
        auto it = mapSeen.find(sect);
        if (it != mapSeen.end()) {
            pFile->m_isectDifRepeat = it->second;
            return CfbResult::Ok;
        }
        mapSeen.emplace(sect, pFile->m_rgsectDif.size());
        pFile->m_rgsectDif.push_back(sect);
        if (i + 1 == pFile->m_csectDifClaimed) {
            break;
        }
        uint32_t cbRead = 0;
        const uint8_t *pb = CachedSector(pFile, sect, &cbRead);
        if (pb == nullptr) {
            return CfbResult::Corrupt;
        }
        sect = Le32At(pb, pFile->m_cbSector, pFile->m_cbSector - 4);
    }
    return CfbResult::Ok;
}

} // namespace

bool CfbHasSignature(const uint8_t *pb, uint64_t cb)
{
    return cb >= sizeof(rgbMagic) && memcmp(pb, rgbMagic, sizeof(rgbMagic)) == 0;
}

CfbResult CfbOpenFile(int fd, uint64_t cbFile, CfbFile *pFile)
{
    pFile->m_fd = fd;
    pFile->m_cbFile = cbFile;
    uint8_t rgbHeader[cbHeader];
    if (!ReadFileAt(pFile, 0, rgbHeader, sizeof(rgbHeader))) {
        return CfbResult::NotCompound;
    }
    if (memcmp(rgbHeader, rgbOldMagic, sizeof(rgbOldMagic)) == 0) {
        return CfbResult::OldFormat;
    }
    if (memcmp(rgbHeader, rgbMagic, sizeof(rgbMagic)) != 0) {
        return CfbResult::NotCompound;
    }

    uint16_t wSectorShift = 0, wMiniShift = 0;
    uint32_t sectDirStart = 0, cbCutoff = 0, sectMiniFatStart = 0, sectDifStart = 0;
    wSectorShift = Le16At(rgbHeader, cbHeader, 0x1E);
    wMiniShift = Le16At(rgbHeader, cbHeader, 0x20);
    pFile->m_csectFat = Le32At(rgbHeader, cbHeader, 0x2C);
    sectDirStart = Le32At(rgbHeader, cbHeader, 0x30);
    cbCutoff = Le32At(rgbHeader, cbHeader, 0x38);
    sectMiniFatStart = Le32At(rgbHeader, cbHeader, 0x3C);
    sectDifStart = Le32At(rgbHeader, cbHeader, 0x44);
    pFile->m_csectDifClaimed = Le32At(rgbHeader, cbHeader, 0x48);
    for (uint32_t i = 0; i < cHeaderDifat; i++) {
        pFile->m_rgsectFatHeader[i] = Le32At(rgbHeader, cbHeader, 0x4C + i * 4);
    }
    // A header the system cannot use makes it say the file is no compound document.
    if ((wSectorShift != 9 && wSectorShift != 12) || wMiniShift != 6 || cbCutoff != cbMiniCutoff) {
        return CfbResult::NotCompound;
    }
    pFile->m_nSectorShift = wSectorShift;
    pFile->m_cbSector = 1u << wSectorShift;

    CfbResult result = LoadDifat(pFile, sectDifStart);
    if (result != CfbResult::Ok) {
        return result;
    }
    // The directory and mini FAT chains start at the header's values as they are.
    if (WalkChain(pFile, sectDirStart, &pFile->m_rgsectDir) != CfbResult::Ok ||
        WalkChain(pFile, sectMiniFatStart, &pFile->m_rgsectMiniFat) != CfbResult::Ok) {
        return CfbResult::ReadFault;
    }
    // The root is entry 0 whatever its type says; it only has to be readable.
    CfbDirEntry entry;
    if (!ReadDirEntry(pFile, 0, &entry)) {
        return CfbResult::ReadFault;
    }
    pFile->m_cbMiniStream = entry.m_cbSize;
    if (WalkChain(pFile, ChainHead(entry.m_sectStart), &pFile->m_rgsectMiniStream) != CfbResult::Ok) {
        return CfbResult::ReadFault;
    }
    return CfbResult::Ok;
}

CfbResult CfbOpenMemory(const uint8_t *pb, uint64_t cb, CfbFile *pFile)
{
    pFile->m_pbMemory = pb;
    return CfbOpenFile(-1, cb, pFile);
}

const char *CfbResultText(CfbResult result)
{
    switch (result) {
    case CfbResult::Ok: return "read";
    case CfbResult::NotCompound: return "not a compound document";
    case CfbResult::OldFormat: return "a compound document of an early, unreadable kind";
    case CfbResult::Corrupt: return "damaged compound document: a chain or the directory is broken";
    case CfbResult::ReadFault: return "damaged compound document: a table lies outside the file";
    case CfbResult::NotFound: return "no such stream";
    case CfbResult::InvalidName: return "a stream name longer than 31 characters";
    case CfbResult::ChainLoops: return "damaged compound document: a chain comes back to itself";
    }
    return "unknown result";
}
