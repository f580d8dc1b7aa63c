// Reads the structure of a compound document (header, DIFAT, FAT, directory, mini FAT)
// and the bytes of its streams, accepting and reading exactly what the system's reader does.
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
// reach when its memory ran out, the search with STG_E_DOCFILECORRUPT.
// Every table holds only sectors really read, so its size is bounded by the file.
#include "platform/portable/CompoundFile.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

namespace {

const uint32_t sectFirstSpecial = 0xFFFFFFFBu;
const uint32_t sectEndOfChain = 0xFFFFFFFEu;
const uint32_t sectFree = 0xFFFFFFFFu;
const uint32_t idNoStream = 0xFFFFFFFFu;
const uint32_t cbHeader = 512;
const uint32_t cbDirEntry = 128;
const uint32_t cbMiniSector = 64;
const uint32_t cbMiniCutoff = 4096;
const uint32_t cHeaderDifat = 109;
const BYTE rgbMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const BYTE rgbOldMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0x0E, 0x11, 0xFC, 0x0D};

enum { bTypeStream = 2 };

// The one bounds predicate: cb bytes at ib lie inside cbData bytes, without overflow.
bool FitsIn(uint64_t cbData, uint64_t ib, uint64_t cb)
{
    return cb <= cbData && ib <= cbData - cb;
}

bool ReadLe16(const BYTE *pb, size_t cbData, size_t ib, WORD *pw)
{
    if (!FitsIn(cbData, ib, 2))
        return false;
    *pw = (WORD)(pb[ib] | (pb[ib + 1] << 8));
    return true;
}

bool ReadLe32(const BYTE *pb, size_t cbData, size_t ib, uint32_t *pdw)
{
    if (!FitsIn(cbData, ib, 4))
        return false;
    *pdw = (uint32_t)pb[ib] | ((uint32_t)pb[ib + 1] << 8) | ((uint32_t)pb[ib + 2] << 16) |
           ((uint32_t)pb[ib + 3] << 24);
    return true;
}

// Reads cb bytes at file offset ib, all or nothing as far as the caller is concerned.
bool ReadFileAt(const CfbFile *pFile, uint64_t ib, BYTE *pb, size_t cb)
{
    if (!FitsIn(pFile->m_cbFile, ib, cb))
        return false;
    if (pFile->m_pbMemory != nullptr) {
        memcpy(pb, pFile->m_pbMemory + ib, cb);
        return true;
    }
    size_t cbDone = 0;
    while (cbDone < cb) {
        ssize_t cbGot = pread(pFile->m_fd, pb + cbDone, cb - cbDone, (off_t)(ib + cbDone));
        if (cbGot < 0 && errno == EINTR)
            continue;
        if (cbGot <= 0)
            return false;
        cbDone += (size_t)cbGot;
    }
    return true;
}

// Reads what of cb bytes at ib lies before the end of the file; the count read.
size_t ReadFileUpTo(const CfbFile *pFile, uint64_t ib, BYTE *pb, size_t cb)
{
    if (ib >= pFile->m_cbFile)
        return 0;
    size_t cbHere = pFile->m_cbFile - ib < cb ? (size_t)(pFile->m_cbFile - ib) : cb;
    return ReadFileAt(pFile, ib, pb, cbHere) ? cbHere : 0;
}

// Sector numbers count from the end of the header, in 32 bits: the last one wraps to 0.
uint64_t SectorOffset(const CfbFile *pFile, uint32_t sect)
{
    return (uint64_t)(uint32_t)(sect + 1) << pFile->m_nSectorShift;
}

// One sector, kept once read: its bytes, zeros after the end of the file, and the count
// really read (0: the sector lies wholly past the end). Only sectors inside the file are
// kept, so the cache never outgrows it.
const BYTE *CachedSector(CfbFile *pFile, uint32_t sect, uint32_t *pcbRead)
{
    auto it = pFile->m_mapCache.find(sect);
    if (it == pFile->m_mapCache.end()) {
        size_t ib = pFile->m_rgbCache.size();
        pFile->m_rgbCache.resize(ib + pFile->m_cbSector, 0);
        uint32_t cbRead = (uint32_t)ReadFileUpTo(pFile, SectorOffset(pFile, sect),
                                                 pFile->m_rgbCache.data() + ib, pFile->m_cbSector);
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

// The DIFAT sector at position iDif of its chain: the chain repeats after its stored part.
uint32_t DifatSector(const CfbFile *pFile, size_t iDif)
{
    size_t cStored = pFile->m_rgsectDif.size();
    if (iDif < cStored)
        return pFile->m_rgsectDif[iDif];
    size_t cCycle = cStored - pFile->m_isectDifRepeat;
    return pFile->m_rgsectDif[pFile->m_isectDifRepeat + (iDif - cStored) % cCycle];
}

// Where FAT sector number iFat lies: in the header's 109, else in the DIFAT sectors, each
// holding one sector's worth less its link.
uint32_t FatSectorLocation(CfbFile *pFile, uint32_t iFat)
{
    if (iFat < cHeaderDifat)
        return pFile->m_rgsectFatHeader[iFat];
    uint32_t cPerDif = pFile->m_cbSector / 4 - 1;
    uint32_t iDif = (iFat - cHeaderDifat) / cPerDif;
    if (iDif >= pFile->m_csectDifClaimed)
        return sectFree;
    uint32_t cbRead = 0, sect = 0;
    const BYTE *pb = CachedSector(pFile, DifatSector(pFile, iDif), &cbRead);
    if (pb != nullptr)
        ReadLe32(pb, pFile->m_cbSector, ((iFat - cHeaderDifat) % cPerDif) * 4, &sect);
    return sect;
}

// The FAT's link from sect, looked up as the system does: the entry's byte offset is taken
// in 32 bits, and a FAT sector past the header's count or past the end fails.
HRESULT NextSector(CfbFile *pFile, uint32_t sect, uint32_t *psectNext)
{
    uint32_t ibInFat = sect * 4;
    uint32_t iFat = ibInFat >> pFile->m_nSectorShift;
    if (iFat >= pFile->m_csectFat)
        return STG_E_READFAULT;
    uint32_t cbRead = 0;
    const BYTE *pb = CachedSector(pFile, FatSectorLocation(pFile, iFat), &cbRead);
    if (pb == nullptr)
        return STG_E_READFAULT;
    ReadLe32(pb, pFile->m_cbSector, ibInFat & (pFile->m_cbSector - 1), psectNext);
    return S_OK;
}

// Follows a chain from sectHead to its end. A chain that comes back to a sector it passed
// would be followed by the system until its memory ran out; that is found here (Brent's
// method: compare with a sector saved at each power of two) after at most twice the
// chain's distinct sectors.
HRESULT WalkChain(CfbFile *pFile, uint32_t sectHead, std::vector<uint32_t> *prgsect)
{
    prgsect->clear();
    uint32_t sect = sectHead, sectSaved = sectEndOfChain;
    size_t cPower = 1, cSinceSaved = 0;
    while (sect != sectEndOfChain) {
        if (sect == sectSaved)
            return E_OUTOFMEMORY;
        prgsect->push_back(sect);
        if (++cSinceSaved == cPower) {
            sectSaved = sect;
            cPower *= 2;
            cSinceSaved = 0;
        }
        HRESULT hr = NextSector(pFile, sect, &sect);
        if (hr != S_OK)
            return hr;
    }
    return S_OK;
}

// The DIFAT chain as the header counts it: it must not end before that count. It is kept
// only up to its first repeat, after which it runs round the same sectors.
HRESULT LoadDifat(CfbFile *pFile, uint32_t sectDifStart)
{
    pFile->m_rgsectDif.clear();
    pFile->m_isectDifRepeat = 0;
    std::unordered_map<uint32_t, size_t> mapSeen;
    uint32_t sect = sectDifStart;
    for (uint32_t i = 0; i < pFile->m_csectDifClaimed; i++) {
        if (sect == sectEndOfChain)
            return STG_E_DOCFILECORRUPT;
        auto it = mapSeen.find(sect);
        if (it != mapSeen.end()) {
            pFile->m_isectDifRepeat = it->second;
            return S_OK;
        }
        mapSeen.emplace(sect, pFile->m_rgsectDif.size());
        pFile->m_rgsectDif.push_back(sect);
        if (i + 1 == pFile->m_csectDifClaimed)
            break;
        uint32_t cbRead = 0;
        const BYTE *pb = CachedSector(pFile, sect, &cbRead);
        if (pb == nullptr)
            return STG_E_DOCFILECORRUPT;
        ReadLe32(pb, pFile->m_cbSector, pFile->m_cbSector - 4, &sect);
    }
    return S_OK;
}

bool ReadDirEntry(CfbFile *pFile, uint32_t id, CfbDirEntry *pEntry)
{
    uint64_t ib = (uint64_t)id * cbDirEntry;
    uint64_t iSect = ib >> pFile->m_nSectorShift;
    if (iSect >= pFile->m_rgsectDir.size())
        return false;
    uint32_t cbRead = 0;
    const BYTE *pbSector = CachedSector(pFile, pFile->m_rgsectDir[iSect], &cbRead);
    if (pbSector == nullptr)
        return false;
    const BYTE *pb = pbSector + (ib & (pFile->m_cbSector - 1));
    for (size_t iw = 0; iw < 32; iw++) {
        WORD w = 0;
        ReadLe16(pb, cbDirEntry, iw * 2, &w);
        pEntry->m_rgwName[iw] = (char16_t)w;
    }
    uint32_t dwSizeLow = 0, dwSizeHigh = 0;
    ReadLe16(pb, cbDirEntry, 0x40, &pEntry->m_cbName);
    pEntry->m_bType = pb[0x42];
    ReadLe32(pb, cbDirEntry, 0x44, &pEntry->m_idLeft);
    ReadLe32(pb, cbDirEntry, 0x48, &pEntry->m_idRight);
    ReadLe32(pb, cbDirEntry, 0x4C, &pEntry->m_idChild);
    ReadLe32(pb, cbDirEntry, 0x74, &pEntry->m_sectStart);
    ReadLe32(pb, cbDirEntry, 0x78, &dwSizeLow);
    ReadLe32(pb, cbDirEntry, 0x7C, &dwSizeHigh);
    // With 512-byte sectors the high half may hold garbage and is not read.
    pEntry->m_cbSize = pFile->m_cbSector < 4096 ? dwSizeLow : ((uint64_t)dwSizeHigh << 32) | dwSizeLow;
    return true;
}

// The first sector of an entry's chain; a special value means an empty chain.
uint32_t ChainHead(uint32_t sectStart)
{
    return sectStart < sectFirstSpecial ? sectStart : sectEndOfChain;
}

// Upper-cases as the directory's ordering does for the scripts names are written in here:
// ASCII, Latin-1 and Cyrillic.
char16_t UpperCase(char16_t w)
{
    if ((w >= u'a' && w <= u'z') || (w >= 0xE0 && w <= 0xFE && w != 0xF7) ||
        (w >= 0x430 && w <= 0x44F))
        return (char16_t)(w - 0x20);
    if (w >= 0x450 && w <= 0x45F)
        return (char16_t)(w - 0x50);
    if (w == 0xFF)
        return 0x178;
    return w;
}

// Orders names as the directory tree does: shorter first (an entry's name ends at its
// first zero unit, not at its stored length), then unit by unit upper-cased.
int CompareNames(const char16_t *pwzName, size_t cchName, const CfbDirEntry &entry)
{
    size_t cchEntry = 0;
    while (cchEntry < 32 && entry.m_rgwName[cchEntry] != 0)
        cchEntry++;
    if (cchName != cchEntry)
        return cchName < cchEntry ? -1 : 1;
    for (size_t i = 0; i < cchName; i++) {
        char16_t wA = UpperCase(pwzName[i]), wB = UpperCase(entry.m_rgwName[i]);
        if (wA != wB)
            return wA < wB ? -1 : 1;
    }
    return 0;
}

// Searches the root's tree. An entry that cannot be read leaves the one before it in
// place, as in the system's search, which then goes the same way again.
HRESULT FindInRoot(CfbFile *pFile, const char16_t *pwzName, size_t cchName, uint32_t *pidFound,
                   CfbDirEntry *pEntry)
{
    if (!ReadDirEntry(pFile, 0, pEntry))
        return STG_E_FILENOTFOUND;
    std::vector<bool> rgfVisited(pFile->m_rgsectDir.size() * (pFile->m_cbSector / cbDirEntry), false);
    uint32_t id = pEntry->m_idChild;
    while (id != idNoStream) {
        bool fRead = ReadDirEntry(pFile, id, pEntry);
        if (fRead) {
            if (rgfVisited[id])
                return STG_E_DOCFILECORRUPT;
            rgfVisited[id] = true;
        }
        int nCmp = CompareNames(pwzName, cchName, *pEntry);
        if (nCmp == 0) {
            *pidFound = id;
            return S_OK;
        }
        uint32_t idNext = nCmp < 0 ? pEntry->m_idLeft : pEntry->m_idRight;
        if (!fRead && idNext == id)
            return STG_E_DOCFILECORRUPT;
        id = idNext;
    }
    return STG_E_FILENOTFOUND;
}

// Reads cb bytes at ib of a chain of regular sectors whose size is cbChain, as the system
// does: every sector but the last asked for is read as far as the file goes, and the read
// stops short there; the last is read whole, zeros after the end of the file, and fails
// only when none of it is in the file. A position past the chain fails.
HRESULT ReadChain(CfbFile *pFile, const std::vector<uint32_t> &rgsect, uint64_t cbChain,
                  uint64_t ib, BYTE *pb, ULONG cb, ULONG *pcbRead)
{
    *pcbRead = 0;
    if (ib >= cbChain)
        return S_OK;
    uint64_t cbLeft = cbChain - ib < cb ? cbChain - ib : cb;
    uint64_t iSect = ib >> pFile->m_nSectorShift;
    uint32_t ibInSect = (uint32_t)(ib & (pFile->m_cbSector - 1));
    while (cbLeft > 0) {
        uint32_t cbHere = pFile->m_cbSector - ibInSect < cbLeft ? pFile->m_cbSector - ibInSect
                                                                : (uint32_t)cbLeft;
        if (iSect >= rgsect.size())
            return STG_E_DOCFILECORRUPT;
        if (cbHere == cbLeft) {
            uint32_t cbInFile = 0;
            const BYTE *pbSector = CachedSector(pFile, rgsect[iSect], &cbInFile);
            if (pbSector == nullptr)
                return STG_E_READFAULT;
            memcpy(pb + *pcbRead, pbSector + ibInSect, cbHere);
            *pcbRead += cbHere;
            return S_OK;
        }
        // Sectors that follow each other in the file are read at once.
        uint64_t cSect = 1;
        uint64_t cbRun = cbHere;
        while (cbRun + pFile->m_cbSector < cbLeft && iSect + cSect < rgsect.size() &&
               rgsect[iSect + cSect] == rgsect[iSect] + cSect)
        {
            cbRun += pFile->m_cbSector;
            cSect++;
        }
        size_t cbGot = ReadFileUpTo(pFile, SectorOffset(pFile, rgsect[iSect]) + ibInSect,
                                    pb + *pcbRead, (size_t)cbRun);
        *pcbRead += (ULONG)cbGot;
        if (cbGot != cbRun)
            return S_OK;
        cbLeft -= cbRun;
        iSect += cSect;
        ibInSect = 0;
    }
    return S_OK;
}

// The mini FAT's link from sectMini; the mini FAT is read as a chain of whole sectors.
HRESULT NextMiniSector(CfbFile *pFile, uint32_t sectMini, uint32_t *psectNext)
{
    BYTE rgb[4];
    ULONG cbRead = 0;
    HRESULT hr = ReadChain(pFile, pFile->m_rgsectMiniFat,
                           (uint64_t)pFile->m_rgsectMiniFat.size() << pFile->m_nSectorShift,
                           (uint64_t)sectMini * 4, rgb, 4, &cbRead);
    if (hr == S_OK && cbRead != 4)
        hr = STG_E_READFAULT;
    if (hr == S_OK)
        ReadLe32(rgb, 4, 0, psectNext);
    return hr;
}

// A small stream, 64 bytes at a time through the mini FAT and the mini stream. A link that
// cannot be looked up after a piece fails the read without counting that piece.
HRESULT ReadMiniStream(CfbFile *pFile, const CfbStreamMap *pMap, uint64_t ibPos, BYTE *pb,
                       ULONG cb, ULONG *pcbRead)
{
    *pcbRead = 0;
    if (ibPos >= pMap->m_cbSize)
        return S_OK;
    uint64_t cbLeft = pMap->m_cbSize - ibPos < cb ? pMap->m_cbSize - ibPos : cb;
    uint32_t iMini = (uint32_t)ibPos / cbMiniSector;
    uint32_t ibInMini = (uint32_t)ibPos % cbMiniSector;
    uint32_t sect = ChainHead(pMap->m_sectStart);
    for (; iMini > 0 && sect != sectEndOfChain; iMini--) {
        HRESULT hr = NextMiniSector(pFile, sect, &sect);
        if (hr != S_OK)
            return hr;
    }
    while (cbLeft > 0 && sect != sectEndOfChain) {
        ULONG cbHere = cbMiniSector - ibInMini < cbLeft ? cbMiniSector - ibInMini : (ULONG)cbLeft;
        ULONG cbGot = 0;
        HRESULT hr = ReadChain(pFile, pFile->m_rgsectMiniStream, pFile->m_cbMiniStream,
                               (uint64_t)sect * cbMiniSector + ibInMini, pb + *pcbRead, cbHere, &cbGot);
        if (hr != S_OK)
            return hr;
        if (cbGot == 0)
            return STG_E_DOCFILECORRUPT;
        if (NextMiniSector(pFile, sect, &sect) != S_OK)
            return STG_E_DOCFILECORRUPT;
        *pcbRead += cbGot;
        cbLeft -= cbGot;
        ibInMini = (ibInMini + cbGot) % cbMiniSector;
    }
    return S_OK;
}

} // namespace

bool CfbHasSignature(const BYTE *pb, uint64_t cb)
{
    return cb >= sizeof(rgbMagic) && memcmp(pb, rgbMagic, sizeof(rgbMagic)) == 0;
}

HRESULT CfbOpenFile(int fd, uint64_t cbFile, CfbFile *pFile)
{
    pFile->m_fd = fd;
    pFile->m_cbFile = cbFile;
    BYTE rgbHeader[cbHeader];
    if (!ReadFileAt(pFile, 0, rgbHeader, sizeof(rgbHeader)))
        return STG_E_FILEALREADYEXISTS;
    if (memcmp(rgbHeader, rgbOldMagic, sizeof(rgbOldMagic)) == 0)
        return STG_E_OLDFORMAT;
    if (memcmp(rgbHeader, rgbMagic, sizeof(rgbMagic)) != 0)
        return STG_E_FILEALREADYEXISTS;

    WORD wSectorShift = 0, wMiniShift = 0;
    uint32_t sectDirStart = 0, cbCutoff = 0, sectMiniFatStart = 0, sectDifStart = 0;
    ReadLe16(rgbHeader, cbHeader, 0x1E, &wSectorShift);
    ReadLe16(rgbHeader, cbHeader, 0x20, &wMiniShift);
    ReadLe32(rgbHeader, cbHeader, 0x2C, &pFile->m_csectFat);
    ReadLe32(rgbHeader, cbHeader, 0x30, &sectDirStart);
    ReadLe32(rgbHeader, cbHeader, 0x38, &cbCutoff);
    ReadLe32(rgbHeader, cbHeader, 0x3C, &sectMiniFatStart);
    ReadLe32(rgbHeader, cbHeader, 0x44, &sectDifStart);
    ReadLe32(rgbHeader, cbHeader, 0x48, &pFile->m_csectDifClaimed);
    for (uint32_t i = 0; i < cHeaderDifat; i++)
        ReadLe32(rgbHeader, cbHeader, 0x4C + i * 4, &pFile->m_rgsectFatHeader[i]);
    // A header the system cannot use makes it say the file is no compound document.
    if ((wSectorShift != 9 && wSectorShift != 12) || wMiniShift != 6 || cbCutoff != cbMiniCutoff)
        return STG_E_FILEALREADYEXISTS;
    pFile->m_nSectorShift = wSectorShift;
    pFile->m_cbSector = 1u << wSectorShift;

    HRESULT hr = LoadDifat(pFile, sectDifStart);
    if (hr != S_OK)
        return hr;
    // The directory and mini FAT chains start at the header's values as they are.
    if (WalkChain(pFile, sectDirStart, &pFile->m_rgsectDir) != S_OK ||
        WalkChain(pFile, sectMiniFatStart, &pFile->m_rgsectMiniFat) != S_OK)
        return STG_E_READFAULT;
    // The root is entry 0 whatever its type says; it only has to be readable.
    CfbDirEntry entry;
    if (!ReadDirEntry(pFile, 0, &entry))
        return STG_E_READFAULT;
    pFile->m_cbMiniStream = entry.m_cbSize;
    if (WalkChain(pFile, ChainHead(entry.m_sectStart), &pFile->m_rgsectMiniStream) != S_OK)
        return STG_E_READFAULT;
    return S_OK;
}

HRESULT CfbOpenMemory(const BYTE *pb, uint64_t cb, CfbFile *pFile)
{
    pFile->m_pbMemory = pb;
    return CfbOpenFile(-1, cb, pFile);
}

HRESULT CfbOpenStream(CfbFile *pFile, const char16_t *pwzName, CfbStreamMap *pMap)
{
    size_t cchName = 0;
    while (pwzName[cchName] != 0) {
        if (++cchName > 31)
            return STG_E_INVALIDNAME;
    }
    uint32_t id = 0;
    CfbDirEntry entry;
    HRESULT hr = FindInRoot(pFile, pwzName, cchName, &id, &entry);
    if (hr != S_OK)
        return hr;
    if (entry.m_bType != bTypeStream)
        return STG_E_FILENOTFOUND;
    pMap->m_id = id;
    pMap->m_cbSize = entry.m_cbSize;
    pMap->m_sectStart = entry.m_sectStart;
    pMap->m_fChainBuilt = false;
    pMap->m_hrChain = S_OK;
    pMap->m_rgsect.clear();
    return S_OK;
}

namespace {

// The stream's sector chain, walked once, when its first read needs it.
HRESULT BuildStreamChain(CfbFile *pFile, CfbStreamMap *pMap)
{
    if (!pMap->m_fChainBuilt) {
        pMap->m_hrChain = WalkChain(pFile, ChainHead(pMap->m_sectStart), &pMap->m_rgsect) == S_OK
                              ? S_OK
                              : E_OUTOFMEMORY;
        pMap->m_fChainBuilt = true;
        if (pMap->m_hrChain != S_OK)
            pMap->m_rgsect.clear();
    }
    return pMap->m_hrChain;
}

} // namespace

const BYTE *CfbStreamInPlace(CfbFile *pFile, CfbStreamMap *pMap)
{
    if (pFile->m_pbMemory == nullptr || pMap->m_cbSize < cbMiniCutoff || BuildStreamChain(pFile, pMap) != S_OK)
        return nullptr;
    const std::vector<uint32_t> &rgsect = pMap->m_rgsect;
    if (rgsect.empty() || ((uint64_t)rgsect.size() << pFile->m_nSectorShift) < pMap->m_cbSize)
        return nullptr;
    uint64_t ibStart = SectorOffset(pFile, rgsect[0]);
    if (ibStart > pFile->m_cbFile || pFile->m_cbFile - ibStart < pMap->m_cbSize)
        return nullptr;
    uint64_t cSect = ((pMap->m_cbSize - 1) >> pFile->m_nSectorShift) + 1;
    for (uint64_t i = 1; i < cSect; i++) {
        if (rgsect[i] != rgsect[0] + i)
            return nullptr;
    }
    return pFile->m_pbMemory + ibStart;
}

HRESULT CfbReadStream(CfbFile *pFile, CfbStreamMap *pMap, uint64_t ibPos, BYTE *pb, ULONG cb,
                      ULONG *pcbRead)
{
    *pcbRead = 0;
    if (pMap->m_cbSize == 0)
        return S_OK;
    if (pMap->m_cbSize < cbMiniCutoff)
        return ReadMiniStream(pFile, pMap, ibPos, pb, cb, pcbRead);
    HRESULT hr = BuildStreamChain(pFile, pMap);
    if (hr != S_OK)
        return hr;
    return ReadChain(pFile, pMap->m_rgsect, pMap->m_cbSize, ibPos, pb, cb, pcbRead);
}
