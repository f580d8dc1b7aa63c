// Builds compound documents in memory for the tests: streams, mini stream, FAT, DIFAT and
// a directory tree ordered as readers search it.
#include "support/CfbWriter.h"

#include <algorithm>

namespace {

const uint32_t sectFree = 0xFFFFFFFFu;
const uint32_t sectEnd = 0xFFFFFFFEu;
const uint32_t sectFat = 0xFFFFFFFDu;
const uint32_t sectDif = 0xFFFFFFFCu;
const uint32_t idNone = 0xFFFFFFFFu;

uint32_t CeilDiv(size_t n, size_t d)
{
    return (uint32_t)((n + d - 1) / d);
}

char16_t Upper(char16_t w)
{
    return (w >= u'a' && w <= u'z') || (w >= 0x430 && w <= 0x44F) ? (char16_t)(w - 0x20) : w;
}

bool NameLess(const std::u16string &a, const std::u16string &b)
{
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    for (size_t i = 0; i < a.size(); i++) {
        if (Upper(a[i]) != Upper(b[i])) {
            return Upper(a[i]) < Upper(b[i]);
        }
    }
    return false;
}

struct TreeLinks {
    std::vector<uint32_t> m_rgLeft, m_rgRight;
    std::vector<uint8_t> m_rgColor; // 1 black, 0 red
};

// A balanced tree over the sorted ids; the deepest level is red when it is incomplete,
// which keeps the black height equal on every path.
uint32_t BuildTree(const std::vector<uint32_t> &rgSorted, size_t iLow, size_t iHigh, int nDepth,
                   int nRedDepth, TreeLinks *pLinks)
{
    if (iLow >= iHigh) {
        return idNone;
    }
    size_t iMid = (iLow + iHigh) / 2;
    uint32_t id = rgSorted[iMid];
    pLinks->m_rgLeft[id] = BuildTree(rgSorted, iLow, iMid, nDepth + 1, nRedDepth, pLinks);
    pLinks->m_rgRight[id] = BuildTree(rgSorted, iMid + 1, iHigh, nDepth + 1, nRedDepth, pLinks);
    pLinks->m_rgColor[id] = nDepth == nRedDepth ? 0 : 1;
    return id;
}

} // namespace

void PatchLe16(std::string *psFile, size_t ib, uint16_t w)
{
    (*psFile)[ib] = (char)(w & 0xFF);
    (*psFile)[ib + 1] = (char)(w >> 8);
}

void PatchLe32(std::string *psFile, size_t ib, uint32_t dw)
{
    PatchLe16(psFile, ib, (uint16_t)(dw & 0xFFFF));
    PatchLe16(psFile, ib + 2, (uint16_t)(dw >> 16));
}

std::string WriteCfb(const std::vector<CfbEntryDesc> &rgEntry, const CfbOptions &options, CfbLayout *pLayout)
{
    CfbLayout layout;
    const uint32_t nShift = options.m_nMajor == 4 ? 12 : 9;
    const uint32_t cbSector = 1u << nShift;
    const uint32_t cPerFat = cbSector / 4;
    layout.m_cbSector = cbSector;
    const size_t cEntry = rgEntry.size();

    // Regular streams first, then the mini stream, mini FAT, directory, FAT and DIFAT.
    uint32_t sectNext = 0, sectMiniNext = 0;
    std::string sMiniStream;
    std::vector<uint32_t> rgcsect(cEntry, 0);
    layout.m_rgsectStart.assign(cEntry, sectEnd);
    layout.m_rgfMini.assign(cEntry, false);
    for (size_t i = 0; i < cEntry; i++) {
        size_t cb = rgEntry[i].m_sData.size();
        if (rgEntry[i].m_fStorage || cb == 0) {
            continue;
        }
        if (cb < 4096) {
            layout.m_rgfMini[i] = true;
            layout.m_rgsectStart[i] = sectMiniNext;
            sectMiniNext += CeilDiv(cb, 64);
            sMiniStream += rgEntry[i].m_sData;
            sMiniStream.resize((size_t)sectMiniNext * 64, '\0');
        } else {
            rgcsect[i] = CeilDiv(cb, cbSector);
            layout.m_rgsectStart[i] = options.m_fScatter ? sectNext + rgcsect[i] - 1 : sectNext;
            sectNext += rgcsect[i];
        }
    }
    uint32_t csectMiniStream = CeilDiv(sMiniStream.size(), cbSector);
    uint32_t csectMiniFat = CeilDiv((size_t)sectMiniNext * 4, cbSector);
    uint32_t csectDir = CeilDiv((cEntry + 1) * 128, cbSector);
    layout.m_sectMiniStreamStart = csectMiniStream ? sectNext : sectEnd;
    sectNext += csectMiniStream;
    layout.m_sectMiniFatStart = csectMiniFat ? sectNext : sectEnd;
    sectNext += csectMiniFat;
    layout.m_sectDirStart = sectNext;
    sectNext += csectDir;
    uint32_t csectFat = 1, csectDifat = 0;
    for (;;) {
        uint32_t csectFatNew = CeilDiv(sectNext + csectFat + csectDifat, cPerFat);
        uint32_t csectDifNew = csectFatNew > 109 ? CeilDiv(csectFatNew - 109, cPerFat - 1) : 0;
        if (csectFatNew == csectFat && csectDifNew == csectDifat) {
            break;
        }
        csectFat = csectFatNew;
        csectDifat = csectDifNew;
    }
    layout.m_sectFatStart = sectNext;
    layout.m_csectFat = csectFat;
    layout.m_sectDifStart = csectDifat ? sectNext + csectFat : sectEnd;
    layout.m_csectDif = csectDifat;
    uint32_t csectTotal = sectNext + csectFat + csectDifat;

    std::string sFile((size_t)(csectTotal + 1) * cbSector, '\0');
    std::vector<uint32_t> rgFat((size_t)csectFat * cPerFat, sectFree);
    auto Chain = [&rgFat](uint32_t sectFirst, uint32_t csect) {
        for (uint32_t i = 0; i < csect; i++) {
            rgFat[sectFirst + i] = i + 1 < csect ? sectFirst + i + 1 : sectEnd;
        }
    };
    for (size_t i = 0; i < cEntry; i++) {
        if (rgcsect[i] == 0) {
            continue;
        }
        uint32_t sectFirst =
            options.m_fScatter ? layout.m_rgsectStart[i] - rgcsect[i] + 1 : layout.m_rgsectStart[i];
        for (uint32_t k = 0; k < rgcsect[i]; k++) {
            uint32_t sect = options.m_fScatter ? layout.m_rgsectStart[i] - k : sectFirst + k;
            uint32_t sectAfter = options.m_fScatter ? sect - 1 : sect + 1;
            rgFat[sect] = k + 1 < rgcsect[i] ? sectAfter : sectEnd;
            size_t cbCopy = std::min<size_t>(cbSector, rgEntry[i].m_sData.size() - (size_t)k * cbSector);
            sFile.replace(layout.IbSector(sect), cbCopy, rgEntry[i].m_sData, (size_t)k * cbSector, cbCopy);
        }
    }
    Chain(layout.m_sectMiniStreamStart, csectMiniStream);
    if (csectMiniStream) {
        sFile.replace(layout.IbSector(layout.m_sectMiniStreamStart), sMiniStream.size(), sMiniStream);
    }
    Chain(layout.m_sectMiniFatStart, csectMiniFat);
    Chain(layout.m_sectDirStart, csectDir);
    for (uint32_t i = 0; i < csectFat; i++) {
        rgFat[layout.m_sectFatStart + i] = sectFat;
    }
    for (uint32_t i = 0; i < csectDifat; i++) {
        rgFat[layout.m_sectFatStart + csectFat + i] = sectDif;
    }
    for (size_t i = 0; i < rgFat.size(); i++) {
        PatchLe32(&sFile, layout.IbSector(layout.m_sectFatStart) + i * 4, rgFat[i]);
    }

    // Mini FAT: each small stream's mini sectors in one run.
    for (uint32_t i = 0; i < csectMiniFat * cPerFat; i++) {
        PatchLe32(&sFile, layout.IbMiniFatEntry(i), sectFree);
    }
    for (size_t i = 0; i < cEntry; i++) {
        if (!layout.m_rgfMini[i]) {
            continue;
        }
        uint32_t csectMini = CeilDiv(rgEntry[i].m_sData.size(), 64);
        for (uint32_t k = 0; k < csectMini; k++) {
            PatchLe32(&sFile, layout.IbMiniFatEntry(layout.m_rgsectStart[i] + k),
                      k + 1 < csectMini ? layout.m_rgsectStart[i] + k + 1 : sectEnd);
        }
    }

    // Directory: the root, the entries, and unused slots up to the sector's end. Each storage's
    // children form a tree of their own, hung from its child field.
    TreeLinks links;
    links.m_rgLeft.assign(cEntry + 1, idNone);
    links.m_rgRight.assign(cEntry + 1, idNone);
    links.m_rgColor.assign(cEntry + 1, 1);
    std::vector<uint32_t> rgChild(cEntry + 1, idNone);
    std::vector<std::vector<uint32_t>> rgrgChildren(cEntry + 1);
    for (size_t i = 0; i < cEntry; i++) {
        rgrgChildren[rgEntry[i].m_idParent].push_back((uint32_t)i + 1);
    }
    for (uint32_t idParent = 0; idParent <= cEntry; idParent++) {
        std::vector<uint32_t> &rgSorted = rgrgChildren[idParent];
        std::sort(rgSorted.begin(), rgSorted.end(), [&rgEntry](uint32_t a, uint32_t b) {
            return NameLess(rgEntry[a - 1].m_sName, rgEntry[b - 1].m_sName);
        });
        size_t cSorted = rgSorted.size();
        int nFullDepth = 0;
        while (((size_t)2 << nFullDepth) - 1 <= cSorted) {
            nFullDepth++;
        }
        bool fComplete = ((size_t)1 << nFullDepth) - 1 == cSorted;
        rgChild[idParent] = BuildTree(rgSorted, 0, cSorted, 0, fComplete ? -1 : nFullDepth, &links);
    }
    for (uint32_t id = 0; id < csectDir * cbSector / 128; id++) {
        size_t ib = layout.IbDirEntry(id);
        PatchLe32(&sFile, ib + ibDirLeft, idNone);
        PatchLe32(&sFile, ib + ibDirRight, idNone);
        PatchLe32(&sFile, ib + ibDirChild, idNone);
        if (id > cEntry) {
            continue;
        }
        std::u16string sName = id == 0 ? u"Root Entry" : rgEntry[id - 1].m_sName.substr(0, 31);
        for (size_t k = 0; k < sName.size(); k++) {
            PatchLe16(&sFile, ib + k * 2, sName[k]);
        }
        PatchLe16(&sFile, ib + ibDirNameLength, (uint16_t)((sName.size() + 1) * 2));
        sFile[ib + 0x43] = (char)links.m_rgColor[id];
        if (id == 0) {
            sFile[ib + ibDirType] = 5;
            PatchLe32(&sFile, ib + ibDirChild, rgChild[0]);
            PatchLe32(&sFile, ib + ibDirStart, layout.m_sectMiniStreamStart);
            PatchLe32(&sFile, ib + ibDirSize, (uint32_t)sMiniStream.size());
            continue;
        }
        const CfbEntryDesc &entry = rgEntry[id - 1];
        sFile[ib + ibDirType] = entry.m_fStorage ? 1 : 2;
        PatchLe32(&sFile, ib + ibDirLeft, links.m_rgLeft[id]);
        PatchLe32(&sFile, ib + ibDirRight, links.m_rgRight[id]);
        if (entry.m_fStorage) {
            PatchLe32(&sFile, ib + ibDirChild, rgChild[id]);
        }
        PatchLe32(&sFile, ib + ibDirStart, entry.m_fStorage ? 0 : layout.m_rgsectStart[id - 1]);
        PatchLe32(&sFile, ib + ibDirSize, (uint32_t)entry.m_sData.size());
    }

    // Header, with the DIFAT's first 109 slots and the chain of DIFAT sectors after it.
    static const char rgchMagic[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    sFile.replace(0, 8, rgchMagic, 8);
    PatchLe16(&sFile, 0x18, 0x3E);
    PatchLe16(&sFile, ibHdrMajor, (uint16_t)options.m_nMajor);
    PatchLe16(&sFile, ibHdrByteOrder, 0xFFFE);
    PatchLe16(&sFile, ibHdrSectorShift, (uint16_t)nShift);
    PatchLe16(&sFile, ibHdrMiniShift, 6);
    PatchLe32(&sFile, 0x28, options.m_nMajor == 4 ? csectDir : 0);
    PatchLe32(&sFile, ibHdrCsectFat, csectFat);
    PatchLe32(&sFile, ibHdrDirStart, layout.m_sectDirStart);
    PatchLe32(&sFile, ibHdrCutoff, 4096);
    PatchLe32(&sFile, ibHdrMiniFatStart, layout.m_sectMiniFatStart);
    PatchLe32(&sFile, 0x40, csectMiniFat);
    PatchLe32(&sFile, ibHdrDifStart, layout.m_sectDifStart);
    PatchLe32(&sFile, ibHdrCsectDif, csectDifat);
    for (uint32_t i = 0; i < 109; i++) {
        PatchLe32(&sFile, ibHdrDifat + i * 4, i < csectFat ? layout.m_sectFatStart + i : sectFree);
    }
    for (uint32_t iDif = 0; iDif < csectDifat; iDif++) {
        size_t ibDif = layout.IbSector(layout.m_sectDifStart + iDif);
        for (uint32_t k = 0; k < cPerFat - 1; k++) {
            uint32_t iFat = 109 + iDif * (cPerFat - 1) + k;
            PatchLe32(&sFile, ibDif + k * 4, iFat < csectFat ? layout.m_sectFatStart + iFat : sectFree);
        }
        PatchLe32(&sFile, ibDif + (cPerFat - 1) * 4,
                  iDif + 1 < csectDifat ? layout.m_sectDifStart + iDif + 1 : sectEnd);
    }
    if (pLayout != nullptr) {
        *pLayout = layout;
    }
    return sFile;
}
