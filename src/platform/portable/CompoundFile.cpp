// Reads the structure of a compound document (header, DIFAT, FAT, directory, mini FAT)
// and the bytes of its streams, trusting no number the file gives.
//
// Decisions on damaged files, kept the same everywhere:
// - Header fields outside the two known layouts (version 3 with 512-byte sectors, version 4
//   with 4096-byte sectors, 64-byte mini sectors, 4096-byte cutoff) give STG_E_INVALIDHEADER.
// - Any table link that leaves the file or the table, or comes back to a sector already
//   visited, gives STG_E_DOCFILECORRUPT; opening fails for the FAT and directory, opening
//   the stream fails for the mini FAT and a stream's own chain.
// - A stream whose declared size its chain cannot hold with bytes that are really in the
//   file is refused at OpenStream with STG_E_DOCFILECORRUPT, before any caller learns a size
//   it would allocate. A stream that opened therefore always reads whole.
// - A chain longer than the declared size needs is accepted; the surplus is never read.
#include "platform/portable/CompoundFile.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

namespace {

const uint32_t sectMaxReg = 0xFFFFFFFAu;
const uint32_t sectEndOfChain = 0xFFFFFFFEu;
const uint32_t idNoStream = 0xFFFFFFFFu;
const uint32_t cbHeader = 512;
const uint32_t cbDirEntry = 128;
const uint32_t cbMiniSector = 64;
const uint32_t cbMiniCutoff = 4096;
const uint32_t cHeaderDifat = 109;
const BYTE rgbMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

enum { bTypeStorage = 1, bTypeStream = 2, bTypeRoot = 5 };

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

uint64_t SectorOffset(const CfbFile *pFile, uint32_t sect)
{
    return ((uint64_t)sect + 1) << pFile->m_nSectorShift;
}

// Bytes of a regular sector that are really in the file (the last one may be cut short).
uint64_t SectorBytesInFile(const CfbFile *pFile, uint32_t sect)
{
    uint64_t ib = SectorOffset(pFile, sect);
    if (ib >= pFile->m_cbFile)
        return 0;
    uint64_t cbLeft = pFile->m_cbFile - ib;
    return cbLeft < pFile->m_cbSector ? cbLeft : pFile->m_cbSector;
}

// Follows a chain through rgTable from sectStart. With cNeeded 0 it runs to the end of the
// chain, else it stops after cNeeded units and fails if the chain ends first. cLimit bounds
// the unit numbers, so the visited marks bound the walk.
HRESULT WalkChain(const std::vector<uint32_t> &rgTable, uint32_t cLimit, uint32_t sectStart,
                  size_t cNeeded, std::vector<uint32_t> *prgOut)
{
    prgOut->clear();
    if (cNeeded > cLimit)
        return STG_E_DOCFILECORRUPT;
    std::vector<bool> rgfVisited(cLimit, false);
    uint32_t sect = sectStart;
    while (cNeeded == 0 || prgOut->size() < cNeeded) {
        if (sect == sectEndOfChain && cNeeded == 0)
            break;
        if (sect >= cLimit || sect >= rgTable.size() || rgfVisited[sect])
            return STG_E_DOCFILECORRUPT;
        rgfVisited[sect] = true;
        prgOut->push_back(sect);
        sect = rgTable[sect];
    }
    return S_OK;
}

// Loads whole sectors of 32-bit entries, in the order given, into rgTable.
HRESULT LoadTable(const CfbFile *pFile, const std::vector<uint32_t> &rgSect,
                  std::vector<uint32_t> *prgTable)
{
    size_t cPerSector = pFile->m_cbSector / 4;
    if (rgSect.size() > pFile->m_csectFile)
        return STG_E_DOCFILECORRUPT;
    prgTable->assign(rgSect.size() * cPerSector, 0);
    std::vector<BYTE> rgbSector(pFile->m_cbSector);
    for (size_t iSect = 0; iSect < rgSect.size(); iSect++) {
        if (rgSect[iSect] >= pFile->m_csectFile ||
            !ReadFileAt(pFile, SectorOffset(pFile, rgSect[iSect]), rgbSector.data(),
                        rgbSector.size()))
            return STG_E_DOCFILECORRUPT;
        for (size_t i = 0; i < cPerSector; i++)
            ReadLe32(rgbSector.data(), rgbSector.size(), i * 4, &(*prgTable)[iSect * cPerSector + i]);
    }
    return S_OK;
}

// Collects the FAT's sector numbers: the header's 109, then the chain of DIFAT sectors,
// each holding one sector's worth less its link to the next.
HRESULT CollectFatSectors(const CfbFile *pFile, const BYTE *pbHeader, uint32_t csectFat,
                          uint32_t sectDifStart, std::vector<uint32_t> *prgSect)
{
    if (csectFat > pFile->m_csectFile)
        return STG_E_DOCFILECORRUPT;
    prgSect->clear();
    prgSect->reserve(csectFat);
    for (uint32_t i = 0; i < cHeaderDifat && prgSect->size() < csectFat; i++) {
        uint32_t sect = 0;
        ReadLe32(pbHeader, cbHeader, 0x4C + i * 4, &sect);
        prgSect->push_back(sect);
    }
    std::vector<bool> rgfVisited(pFile->m_csectFile, false);
    std::vector<BYTE> rgbSector(pFile->m_cbSector);
    size_t cPerSector = pFile->m_cbSector / 4 - 1;
    uint32_t sectDif = sectDifStart;
    while (prgSect->size() < csectFat) {
        if (sectDif >= pFile->m_csectFile || rgfVisited[sectDif] ||
            !ReadFileAt(pFile, SectorOffset(pFile, sectDif), rgbSector.data(), rgbSector.size()))
            return STG_E_DOCFILECORRUPT;
        rgfVisited[sectDif] = true;
        for (size_t i = 0; i < cPerSector && prgSect->size() < csectFat; i++) {
            uint32_t sect = 0;
            ReadLe32(rgbSector.data(), rgbSector.size(), i * 4, &sect);
            prgSect->push_back(sect);
        }
        ReadLe32(rgbSector.data(), rgbSector.size(), cPerSector * 4, &sectDif);
    }
    return S_OK;
}

HRESULT LoadDirectory(CfbFile *pFile, uint32_t sectDirStart)
{
    std::vector<uint32_t> rgSect;
    HRESULT hr = WalkChain(pFile->m_rgFat, pFile->m_csectFile, sectDirStart, 0, &rgSect);
    if (hr != S_OK)
        return hr;
    size_t cPerSector = pFile->m_cbSector / cbDirEntry;
    pFile->m_rgDir.assign(rgSect.size() * cPerSector, CfbDirEntry());
    std::vector<BYTE> rgbSector(pFile->m_cbSector);
    for (size_t iSect = 0; iSect < rgSect.size(); iSect++) {
        if (!ReadFileAt(pFile, SectorOffset(pFile, rgSect[iSect]), rgbSector.data(),
                        rgbSector.size()))
            return STG_E_DOCFILECORRUPT;
        for (size_t i = 0; i < cPerSector; i++) {
            const BYTE *pb = rgbSector.data() + i * cbDirEntry;
            CfbDirEntry *pEntry = &pFile->m_rgDir[iSect * cPerSector + i];
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
            // Version 3 writers leave garbage in the high half; only version 4 uses it.
            pEntry->m_cbSize = pFile->m_wMajor == 3 ? dwSizeLow
                                                    : ((uint64_t)dwSizeHigh << 32) | dwSizeLow;
        }
    }
    if (pFile->m_rgDir.empty() || pFile->m_rgDir[0].m_bType != bTypeRoot)
        return STG_E_DOCFILECORRUPT;
    return S_OK;
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

// Orders names as the directory tree does: shorter first, then unit by unit upper-cased.
int CompareNames(const char16_t *pwA, size_t cchA, const char16_t *pwB, size_t cchB)
{
    if (cchA != cchB)
        return cchA < cchB ? -1 : 1;
    for (size_t i = 0; i < cchA; i++) {
        char16_t wA = UpperCase(pwA[i]), wB = UpperCase(pwB[i]);
        if (wA != wB)
            return wA < wB ? -1 : 1;
    }
    return 0;
}

HRESULT FindInRoot(const CfbFile *pFile, const char16_t *pwzName, size_t cchName,
                   uint32_t *pidFound)
{
    size_t cEntries = pFile->m_rgDir.size();
    std::vector<bool> rgfVisited(cEntries, false);
    uint32_t id = pFile->m_rgDir[0].m_idChild;
    while (id != idNoStream) {
        if (id >= cEntries || rgfVisited[id])
            return STG_E_DOCFILECORRUPT;
        rgfVisited[id] = true;
        const CfbDirEntry *pEntry = &pFile->m_rgDir[id];
        if (pEntry->m_cbName < 2 || pEntry->m_cbName > 64 || pEntry->m_cbName % 2 != 0 ||
            (pEntry->m_bType != bTypeStorage && pEntry->m_bType != bTypeStream))
            return STG_E_DOCFILECORRUPT;
        int nCmp = CompareNames(pwzName, cchName, pEntry->m_rgwName, pEntry->m_cbName / 2 - 1);
        if (nCmp == 0) {
            *pidFound = id;
            return S_OK;
        }
        id = nCmp < 0 ? pEntry->m_idLeft : pEntry->m_idRight;
    }
    return STG_E_FILENOTFOUND;
}

// Loads the mini FAT and the mini stream's sectors the first time a small stream is opened.
HRESULT LoadMiniStream(CfbFile *pFile)
{
    if (pFile->m_fMiniLoaded)
        return S_OK;
    const CfbDirEntry *pRoot = &pFile->m_rgDir[0];
    if (pRoot->m_cbSize > pFile->m_cbFile)
        return STG_E_DOCFILECORRUPT;
    size_t cNeeded = (size_t)((pRoot->m_cbSize + pFile->m_cbSector - 1) >> pFile->m_nSectorShift);
    std::vector<uint32_t> rgSect;
    HRESULT hr = WalkChain(pFile->m_rgFat, pFile->m_csectFile, pRoot->m_sectStart, cNeeded, &rgSect);
    if (hr != S_OK)
        return hr;
    uint64_t cbLeft = pRoot->m_cbSize;
    for (size_t i = 0; i < rgSect.size(); i++) {
        uint64_t cbHere = cbLeft < pFile->m_cbSector ? cbLeft : pFile->m_cbSector;
        if (SectorBytesInFile(pFile, rgSect[i]) < cbHere)
            return STG_E_DOCFILECORRUPT;
        cbLeft -= cbHere;
    }
    std::vector<uint32_t> rgMiniFatSect;
    hr = WalkChain(pFile->m_rgFat, pFile->m_csectFile, pFile->m_sectMiniFatStart, 0, &rgMiniFatSect);
    if (hr == S_OK)
        hr = LoadTable(pFile, rgMiniFatSect, &pFile->m_rgMiniFat);
    if (hr != S_OK)
        return hr;
    pFile->m_rgMiniStreamSect.swap(rgSect);
    pFile->m_cbMiniStream = pRoot->m_cbSize;
    pFile->m_fMiniLoaded = true;
    return S_OK;
}

} // namespace

HRESULT CfbOpenFile(int fd, uint64_t cbFile, CfbFile *pFile)
{
    pFile->m_fd = fd;
    pFile->m_cbFile = cbFile;
    pFile->m_fMiniLoaded = false;
    pFile->m_cbMiniStream = 0;
    BYTE rgbHeader[cbHeader];
    if (!ReadFileAt(pFile, 0, rgbHeader, sizeof(rgbHeader)) ||
        memcmp(rgbHeader, rgbMagic, sizeof(rgbMagic)) != 0)
        return STG_E_FILEALREADYEXISTS;

    WORD wMajor = 0, wByteOrder = 0, wSectorShift = 0, wMiniShift = 0;
    uint32_t csectFat = 0, sectDirStart = 0, cbCutoff = 0, sectDifStart = 0;
    ReadLe16(rgbHeader, cbHeader, 0x1A, &wMajor);
    ReadLe16(rgbHeader, cbHeader, 0x1C, &wByteOrder);
    ReadLe16(rgbHeader, cbHeader, 0x1E, &wSectorShift);
    ReadLe16(rgbHeader, cbHeader, 0x20, &wMiniShift);
    ReadLe32(rgbHeader, cbHeader, 0x2C, &csectFat);
    ReadLe32(rgbHeader, cbHeader, 0x30, &sectDirStart);
    ReadLe32(rgbHeader, cbHeader, 0x38, &cbCutoff);
    ReadLe32(rgbHeader, cbHeader, 0x3C, &pFile->m_sectMiniFatStart);
    ReadLe32(rgbHeader, cbHeader, 0x44, &sectDifStart);
    if (!((wMajor == 3 && wSectorShift == 9) || (wMajor == 4 && wSectorShift == 12)) ||
        wByteOrder != 0xFFFE || wMiniShift != 6 || cbCutoff != cbMiniCutoff)
        return STG_E_INVALIDHEADER;
    pFile->m_wMajor = wMajor;
    pFile->m_nSectorShift = wSectorShift;
    pFile->m_cbSector = 1u << wSectorShift;
    uint64_t csectFile = cbFile <= pFile->m_cbSector
                             ? 0
                             : (cbFile - pFile->m_cbSector + pFile->m_cbSector - 1) >> wSectorShift;
    pFile->m_csectFile = (uint32_t)(csectFile < sectMaxReg ? csectFile : sectMaxReg);

    std::vector<uint32_t> rgFatSect;
    HRESULT hr = CollectFatSectors(pFile, rgbHeader, csectFat, sectDifStart, &rgFatSect);
    if (hr == S_OK)
        hr = LoadTable(pFile, rgFatSect, &pFile->m_rgFat);
    if (hr == S_OK)
        hr = LoadDirectory(pFile, sectDirStart);
    return hr;
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
    HRESULT hr = FindInRoot(pFile, pwzName, cchName, &id);
    if (hr != S_OK)
        return hr;
    const CfbDirEntry *pEntry = &pFile->m_rgDir[id];
    if (pEntry->m_bType != bTypeStream)
        return STG_E_FILENOTFOUND;
    // Nothing can hold more than the file; refusing here keeps every count below small.
    if (pEntry->m_cbSize > pFile->m_cbFile)
        return STG_E_DOCFILECORRUPT;
    pMap->m_cbSize = pEntry->m_cbSize;
    pMap->m_fMini = pEntry->m_cbSize < cbMiniCutoff;
    if (pMap->m_cbSize == 0) {
        pMap->m_rgUnit.clear();
        return S_OK;
    }
    if (pMap->m_fMini) {
        hr = LoadMiniStream(pFile);
        if (hr != S_OK)
            return hr;
        uint64_t cMiniSect = (pFile->m_cbMiniStream + cbMiniSector - 1) / cbMiniSector;
        size_t cNeeded = (size_t)((pMap->m_cbSize + cbMiniSector - 1) / cbMiniSector);
        hr = WalkChain(pFile->m_rgMiniFat, (uint32_t)cMiniSect, pEntry->m_sectStart, cNeeded,
                       &pMap->m_rgUnit);
        if (hr != S_OK)
            return hr;
        uint64_t cbLeft = pMap->m_cbSize;
        for (size_t i = 0; i < pMap->m_rgUnit.size(); i++) {
            uint64_t cbHere = cbLeft < cbMiniSector ? cbLeft : cbMiniSector;
            if (pFile->m_cbMiniStream - (uint64_t)pMap->m_rgUnit[i] * cbMiniSector < cbHere)
                return STG_E_DOCFILECORRUPT;
            cbLeft -= cbHere;
        }
        return S_OK;
    }
    size_t cNeeded = (size_t)((pMap->m_cbSize + pFile->m_cbSector - 1) >> pFile->m_nSectorShift);
    hr = WalkChain(pFile->m_rgFat, pFile->m_csectFile, pEntry->m_sectStart, cNeeded,
                   &pMap->m_rgUnit);
    if (hr != S_OK)
        return hr;
    uint64_t cbLeft = pMap->m_cbSize;
    for (size_t i = 0; i < pMap->m_rgUnit.size(); i++) {
        uint64_t cbHere = cbLeft < pFile->m_cbSector ? cbLeft : pFile->m_cbSector;
        if (SectorBytesInFile(pFile, pMap->m_rgUnit[i]) < cbHere)
            return STG_E_DOCFILECORRUPT;
        cbLeft -= cbHere;
    }
    return S_OK;
}

namespace {

// File offset of stream byte ibPos, which lies inside the stream.
uint64_t StreamByteOffset(const CfbFile *pFile, const CfbStreamMap *pMap, uint64_t ibPos)
{
    if (!pMap->m_fMini) {
        uint64_t iUnit = ibPos >> pFile->m_nSectorShift;
        return SectorOffset(pFile, pMap->m_rgUnit[iUnit]) + (ibPos & (pFile->m_cbSector - 1));
    }
    uint64_t ibMini = (uint64_t)pMap->m_rgUnit[ibPos / cbMiniSector] * cbMiniSector +
                      ibPos % cbMiniSector;
    return SectorOffset(pFile, pFile->m_rgMiniStreamSect[ibMini >> pFile->m_nSectorShift]) +
           (ibMini & (pFile->m_cbSector - 1));
}

} // namespace

HRESULT CfbReadStream(const CfbFile *pFile, const CfbStreamMap *pMap, uint64_t ibPos,
                      BYTE *pb, ULONG cb, ULONG *pcbRead)
{
    *pcbRead = 0;
    if (ibPos >= pMap->m_cbSize)
        return S_OK;
    uint64_t cbWant = pMap->m_cbSize - ibPos < cb ? pMap->m_cbSize - ibPos : cb;
    uint64_t cbUnit = pMap->m_fMini ? cbMiniSector : pFile->m_cbSector;
    uint64_t cbDone = 0;
    while (cbDone < cbWant) {
        // Gather the longest run that lies contiguously in the file, then read it at once.
        uint64_t ibStart = StreamByteOffset(pFile, pMap, ibPos + cbDone);
        uint64_t cbRun = 0;
        while (cbDone + cbRun < cbWant) {
            uint64_t ibHere = ibPos + cbDone + cbRun;
            if (cbRun > 0 && StreamByteOffset(pFile, pMap, ibHere) != ibStart + cbRun)
                break;
            uint64_t cbInUnit = cbUnit - ibHere % cbUnit;
            cbRun += cbInUnit < cbWant - cbDone - cbRun ? cbInUnit : cbWant - cbDone - cbRun;
        }
        if (!ReadFileAt(pFile, ibStart, pb + cbDone, (size_t)cbRun)) {
            *pcbRead = (ULONG)cbDone;
            return STG_E_READFAULT;
        }
        cbDone += cbRun;
    }
    *pcbRead = (ULONG)cbDone;
    return S_OK;
}
