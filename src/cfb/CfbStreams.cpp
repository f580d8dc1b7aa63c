// Finds streams in a compound document's directory and reads their bytes through the FAT or the
// mini FAT, stopping short where a chain or the file ends, as the system's reader does.
#include <string.h>

#include <algorithm>

#include "cfb/CfbSectors.h"

bool ReadDirEntry(CfbFile *pFile, uint32_t id, CfbDirEntry *pEntry)
{
    uint64_t ib = static_cast<uint64_t>(id) * cbDirEntry;
    uint64_t iSect = ib >> pFile->m_nSectorShift;
    if (iSect >= pFile->m_rgsectDir.size()) {
        return false;
    }
    uint32_t cbRead = 0;
    const uint8_t *pbSector = CachedSector(pFile, pFile->m_rgsectDir[iSect], &cbRead);
    if (pbSector == nullptr) {
        return false;
    }
    const uint8_t *pb = pbSector + (ib & (pFile->m_cbSector - 1));
    for (size_t iw = 0; iw < 32; iw++) {
        uint16_t w = 0;
        w = Le16At(pb, cbDirEntry, iw * 2);
        pEntry->m_rgwName[iw] = static_cast<char16_t>(w);
    }
    uint32_t dwSizeLow = 0, dwSizeHigh = 0;
    pEntry->m_cbName = Le16At(pb, cbDirEntry, 0x40);
    pEntry->m_bType = pb[0x42];
    pEntry->m_idLeft = Le32At(pb, cbDirEntry, 0x44);
    pEntry->m_idRight = Le32At(pb, cbDirEntry, 0x48);
    pEntry->m_idChild = Le32At(pb, cbDirEntry, 0x4C);
    pEntry->m_sectStart = Le32At(pb, cbDirEntry, 0x74);
    dwSizeLow = Le32At(pb, cbDirEntry, 0x78);
    dwSizeHigh = Le32At(pb, cbDirEntry, 0x7C);
    // With 512-byte sectors the high half may hold garbage and is not read.
    pEntry->m_cbSize =
        pFile->m_cbSector < 4096 ? dwSizeLow : (static_cast<uint64_t>(dwSizeHigh) << 32) | dwSizeLow;
    return true;
}

namespace {

// Upper-cases as the directory's ordering does for the scripts names are written in here:
// ASCII, Latin-1 and Cyrillic.
char16_t UpperCase(char16_t w)
{
    if ((w >= u'a' && w <= u'z') || (w >= 0xE0 && w <= 0xFE && w != 0xF7) || (w >= 0x430 && w <= 0x44F)) {
        return static_cast<char16_t>(w - 0x20);
    }
    if (w >= 0x450 && w <= 0x45F) {
        return static_cast<char16_t>(w - 0x50);
    }
    if (w == 0xFF) {
        return 0x178;
    }
    return w;
}

// Orders names as the directory tree does: shorter first (an entry's name ends at its
// first zero unit, not at its stored length), then unit by unit upper-cased.
int CompareNames(const char16_t *pwzName, size_t cchName, const CfbDirEntry &entry)
{
    size_t cchEntry = 0;
    while (cchEntry < 32 && entry.m_rgwName[cchEntry] != 0) {
        cchEntry++;
    }
    if (cchName != cchEntry) {
        return cchName < cchEntry ? -1 : 1;
    }
    for (size_t i = 0; i < cchName; i++) {
        char16_t wA = UpperCase(pwzName[i]), wB = UpperCase(entry.m_rgwName[i]);
        if (wA != wB) {
            return wA < wB ? -1 : 1;
        }
    }
    return 0;
}

// Searches the tree of storage idStorage (0: the root). An entry that cannot be read leaves
// the one before it in place, as in the system's search, which then goes the same way again.
CfbResult FindInStorage(CfbFile *pFile, uint32_t idStorage, const char16_t *pwzName, size_t cchName,
                        uint32_t *pidFound, CfbDirEntry *pEntry)
{
    if (!ReadDirEntry(pFile, idStorage, pEntry) || (idStorage != 0 && pEntry->m_bType != bTypeStorage)) {
        return CfbResult::NotFound;
    }
    std::vector<bool> rgfVisited(pFile->m_rgsectDir.size() * (pFile->m_cbSector / cbDirEntry), false);
    uint32_t id = pEntry->m_idChild;
    while (id != idNoStream) {
        bool fRead = ReadDirEntry(pFile, id, pEntry);
        if (fRead) {
            if (rgfVisited[id]) {
                return CfbResult::Corrupt;
            }
            rgfVisited[id] = true;
        }
        int nCmp = CompareNames(pwzName, cchName, *pEntry);
        if (nCmp == 0) {
            *pidFound = id;
            return CfbResult::Ok;
        }
        uint32_t idNext = nCmp < 0 ? pEntry->m_idLeft : pEntry->m_idRight;
        if (!fRead && idNext == id) {
            return CfbResult::Corrupt;
        }
        id = idNext;
    }
    return CfbResult::NotFound;
}

// Reads cb bytes at ib of a chain of regular sectors whose size is cbChain, as the system
// does: every sector but the last asked for is read as far as the file goes, and the read
// stops short there; the last is read whole, zeros after the end of the file, and fails
// only when none of it is in the file. A position past the chain fails.
CfbResult ReadChain(CfbFile *pFile, const std::vector<uint32_t> &rgsect, uint64_t cbChain, uint64_t ib,
                    uint8_t *pb, uint32_t cb, uint32_t *pcbRead)
{
    *pcbRead = 0;
    if (ib >= cbChain) {
        return CfbResult::Ok;
    }
    uint64_t cbLeft = cbChain - ib < cb ? cbChain - ib : cb;
    uint64_t iSect = ib >> pFile->m_nSectorShift;
    uint32_t ibInSect = static_cast<uint32_t>(ib & (pFile->m_cbSector - 1));
    while (cbLeft > 0) {
        uint32_t cbHere = pFile->m_cbSector - ibInSect < cbLeft ? pFile->m_cbSector - ibInSect
                                                                : static_cast<uint32_t>(cbLeft);
        if (iSect >= rgsect.size()) {
            return CfbResult::Corrupt;
        }
        if (cbHere == cbLeft) {
            uint32_t cbInFile = 0;
            const uint8_t *pbSector = CachedSector(pFile, rgsect[iSect], &cbInFile);
            if (pbSector == nullptr) {
                return CfbResult::ReadFault;
            }
            memcpy(pb + *pcbRead, pbSector + ibInSect, cbHere);
            *pcbRead += cbHere;
            return CfbResult::Ok;
        }
        // Sectors that follow each other in the file are read at once.
        uint64_t cSect = 1;
        uint64_t cbRun = cbHere;
        while (cbRun + pFile->m_cbSector < cbLeft && iSect + cSect < rgsect.size() &&
               rgsect[iSect + cSect] == rgsect[iSect] + cSect) {
            cbRun += pFile->m_cbSector;
            cSect++;
        }
        size_t cbGot = ReadFileUpTo(pFile, SectorOffset(pFile, rgsect[iSect]) + ibInSect, pb + *pcbRead,
                                    static_cast<size_t>(cbRun));
        *pcbRead += static_cast<uint32_t>(cbGot);
        if (cbGot != cbRun) {
            return CfbResult::Ok;
        }
        cbLeft -= cbRun;
        iSect += cSect;
        ibInSect = 0;
    }
    return CfbResult::Ok;
}

// The mini FAT's link from sectMini; the mini FAT is read as a chain of whole sectors.
CfbResult NextMiniSector(CfbFile *pFile, uint32_t sectMini, uint32_t *psectNext)
{
    uint8_t rgb[4];
    uint32_t cbRead = 0;
    CfbResult result =
        ReadChain(pFile, pFile->m_rgsectMiniFat,
                  static_cast<uint64_t>(pFile->m_rgsectMiniFat.size()) << pFile->m_nSectorShift,
                  static_cast<uint64_t>(sectMini) * 4, rgb, 4, &cbRead);
    if (result == CfbResult::Ok && cbRead != 4) {
        result = CfbResult::ReadFault;
    }
    if (result == CfbResult::Ok) {
        *psectNext = Le32At(rgb, 4, 0);
    }
    return result;
}

// A small stream, 64 bytes at a time through the mini FAT and the mini stream. A link that
// cannot be looked up after a piece fails the read without counting that piece.
CfbResult ReadMiniStream(CfbFile *pFile, const CfbStreamMap *pMap, uint64_t ibPos, uint8_t *pb, uint32_t cb,
                         uint32_t *pcbRead)
{
    *pcbRead = 0;
    if (ibPos >= pMap->m_cbSize) {
        return CfbResult::Ok;
    }
    uint64_t cbLeft = pMap->m_cbSize - ibPos < cb ? pMap->m_cbSize - ibPos : cb;
    uint32_t iMini = static_cast<uint32_t>(ibPos) / cbMiniSector;
    uint32_t ibInMini = static_cast<uint32_t>(ibPos) % cbMiniSector;
    uint32_t sect = ChainHead(pMap->m_sectStart);
    for (; iMini > 0 && sect != sectEndOfChain; iMini--) {
        CfbResult result = NextMiniSector(pFile, sect, &sect);
        if (result != CfbResult::Ok) {
            return result;
        }
    }
    while (cbLeft > 0 && sect != sectEndOfChain) {
        uint32_t cbHere =
            cbMiniSector - ibInMini < cbLeft ? cbMiniSector - ibInMini : static_cast<uint32_t>(cbLeft);
        uint32_t cbGot = 0;
        CfbResult result =
            ReadChain(pFile, pFile->m_rgsectMiniStream, pFile->m_cbMiniStream,
                      static_cast<uint64_t>(sect) * cbMiniSector + ibInMini, pb + *pcbRead, cbHere, &cbGot);
        if (result != CfbResult::Ok) {
            return result;
        }
        if (cbGot == 0) {
            return CfbResult::Corrupt;
        }
        if (NextMiniSector(pFile, sect, &sect) != CfbResult::Ok) {
            return CfbResult::Corrupt;
        }
        *pcbRead += cbGot;
        cbLeft -= cbGot;
        ibInMini = (ibInMini + cbGot) % cbMiniSector;
    }
    return CfbResult::Ok;
}

} // namespace

CfbResult CfbFindEntry(CfbFile *pFile, uint32_t idStorage, const char16_t *pwzName, uint32_t *pidFound,
                       CfbDirEntry *pEntry)
{
    size_t cchName = 0;
    while (pwzName[cchName] != 0) {
        if (++cchName > 31) {
            return CfbResult::InvalidName;
        }
    }
    return FindInStorage(pFile, idStorage, pwzName, cchName, pidFound, pEntry);
}

CfbResult CfbListStorage(CfbFile *pFile, uint32_t idStorage,
                         std::vector<std::pair<uint32_t, CfbDirEntry>> *prgEntry)
{
    CfbDirEntry entry;
    if (!ReadDirEntry(pFile, idStorage, &entry) || (idStorage != 0 && entry.m_bType != bTypeStorage)) {
        return CfbResult::NotFound;
    }
    // An in-order walk without recursion: a hostile tree may be as deep as the directory.
    std::vector<bool> rgfVisited(pFile->m_rgsectDir.size() * (pFile->m_cbSector / cbDirEntry), false);
    std::vector<std::pair<uint32_t, CfbDirEntry>> rgStack;
    uint32_t id = entry.m_idChild;
    while (id != idNoStream || !rgStack.empty()) {
        if (id != idNoStream) {
            if (!ReadDirEntry(pFile, id, &entry)) {
                id = idNoStream;
                continue;
            }
            if (rgfVisited[id]) {
                return CfbResult::Corrupt;
            }
            rgfVisited[id] = true;
            rgStack.emplace_back(id, entry);
            id = entry.m_idLeft;
            continue;
        }
        prgEntry->push_back(rgStack.back());
        id = rgStack.back().second.m_idRight;
        rgStack.pop_back();
    }
    return CfbResult::Ok;
}

CfbResult CfbOpenStreamIn(CfbFile *pFile, uint32_t idStorage, const char16_t *pwzName, CfbStreamMap *pMap)
{
    uint32_t id = 0;
    CfbDirEntry entry;
    CfbResult result = CfbFindEntry(pFile, idStorage, pwzName, &id, &entry);
    if (result != CfbResult::Ok) {
        return result;
    }
    if (entry.m_bType != bTypeStream) {
        return CfbResult::NotFound;
    }
    pMap->m_id = id;
    pMap->m_cbSize = entry.m_cbSize;
    pMap->m_sectStart = entry.m_sectStart;
    pMap->m_fChainBuilt = false;
    pMap->m_resultChain = CfbResult::Ok;
    pMap->m_rgsect.clear();
    return CfbResult::Ok;
}

CfbResult CfbOpenStream(CfbFile *pFile, const char16_t *pwzName, CfbStreamMap *pMap)
{
    return CfbOpenStreamIn(pFile, 0, pwzName, pMap);
}

namespace {

// The stream's sector chain, walked once, when its first read needs it.
CfbResult BuildStreamChain(CfbFile *pFile, CfbStreamMap *pMap)
{
    if (!pMap->m_fChainBuilt) {
        // Room for the sectors the size calls for, at most as many as the file has: grown by
        // doubling, a long stream's list would take twice its memory, all of it fresh pages.
        uint64_t cSectSize = (pMap->m_cbSize >> pFile->m_nSectorShift) + 1;
        uint64_t cSectFile = (pFile->m_cbFile >> pFile->m_nSectorShift) + 1;
        pMap->m_rgsect.reserve(static_cast<size_t>(std::min(cSectSize, cSectFile)));
        pMap->m_resultChain = WalkChain(pFile, ChainHead(pMap->m_sectStart), &pMap->m_rgsect) == CfbResult::Ok
                                  ? CfbResult::Ok
                                  : CfbResult::ChainLoops;
        pMap->m_fChainBuilt = true;
        if (pMap->m_resultChain != CfbResult::Ok) {
            pMap->m_rgsect.clear();
        }
    }
    return pMap->m_resultChain;
}

} // namespace

const uint8_t *CfbStreamInPlace(CfbFile *pFile, CfbStreamMap *pMap)
{
    if (pFile->m_pbMemory == nullptr || pMap->m_cbSize < cbMiniCutoff ||
        BuildStreamChain(pFile, pMap) != CfbResult::Ok) {
        return nullptr;
    }
    const std::vector<uint32_t> &rgsect = pMap->m_rgsect;
    if (rgsect.empty() || (static_cast<uint64_t>(rgsect.size()) << pFile->m_nSectorShift) < pMap->m_cbSize) {
        return nullptr;
    }
    uint64_t ibStart = SectorOffset(pFile, rgsect[0]);
    if (ibStart > pFile->m_cbFile || pFile->m_cbFile - ibStart < pMap->m_cbSize) {
        return nullptr;
    }
    uint64_t cSect = ((pMap->m_cbSize - 1) >> pFile->m_nSectorShift) + 1;
    for (uint64_t i = 1; i < cSect; i++) {
        if (rgsect[i] != rgsect[0] + i) {
            return nullptr;
        }
    }
    return pFile->m_pbMemory + ibStart;
}

CfbResult CfbReadStream(CfbFile *pFile, CfbStreamMap *pMap, uint64_t ibPos, uint8_t *pb, uint32_t cb,
                        uint32_t *pcbRead)
{
    *pcbRead = 0;
    if (pMap->m_cbSize == 0) {
        return CfbResult::Ok;
    }
    if (pMap->m_cbSize < cbMiniCutoff) {
        return ReadMiniStream(pFile, pMap, ibPos, pb, cb, pcbRead);
    }
    CfbResult result = BuildStreamChain(pFile, pMap);
    if (result != CfbResult::Ok) {
        return result;
    }
    return ReadChain(pFile, pMap->m_rgsect, pMap->m_cbSize, ibPos, pb, cb, pcbRead);
}

uint64_t ReadStreamBytes(CfbFile *pFile, CfbStreamMap *pMap, uint8_t *pb, uint64_t cbWant)
{
    uint64_t ibDone = 0;
    while (ibDone < cbWant) {
        uint64_t cbLeft = cbWant - ibDone;
        uint32_t cbChunk = cbLeft < 0x40000000u ? static_cast<uint32_t>(cbLeft) : 0x40000000u;
        uint32_t cbRead = 0;
        CfbResult result = CfbReadStream(pFile, pMap, ibDone, pb + ibDone, cbChunk, &cbRead);
        ibDone += cbRead;
        if (result != CfbResult::Ok || cbRead == 0) {
            break;
        }
    }
    return ibDone;
}

bool ReadCompoundStream(CfbFile *pFile, const char16_t *pwzName, std::vector<uint8_t> *prgb,
                        uint32_t idStorage)
{
    CfbStreamMap map;
    prgb->clear();
    if (CfbOpenStreamIn(pFile, idStorage, pwzName, &map) != CfbResult::Ok) {
        return false;
    }
    uint64_t cbWant = map.m_cbSize < pFile->m_cbFile ? map.m_cbSize : pFile->m_cbFile;
    prgb->resize(static_cast<size_t>(cbWant));
    prgb->resize(static_cast<size_t>(ReadStreamBytes(pFile, &map, prgb->data(), cbWant)));
    return true;
}
