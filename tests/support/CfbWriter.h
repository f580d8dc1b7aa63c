// Test-only writer of compound documents: valid files of either version, and the layout
// the tests need to damage chosen fields afterwards.
#ifndef CELLSIFT_TESTS_SUPPORT_CFBWRITER_H
#define CELLSIFT_TESTS_SUPPORT_CFBWRITER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// One entry: a stream, or with fStorage a storage. It lies in the root, or in the storage
// whose directory id is m_idParent (entry i of the list is id i + 1).
struct CfbEntryDesc {
    std::u16string m_sName;
    std::string m_sData;
    bool m_fStorage;
    uint32_t m_idParent = 0;
};

struct CfbOptions {
    int m_nMajor = 3;
    // Lays each regular stream's sectors out backwards, so no two follow in the file.
    bool m_fScatter = false;
};

// Where the writer put things. Entry i of the list given is directory entry i + 1.
struct CfbLayout {
    uint32_t m_cbSector = 0;
    uint32_t m_sectFatStart = 0;
    uint32_t m_csectFat = 0;
    uint32_t m_sectDifStart = 0;
    uint32_t m_csectDif = 0;
    uint32_t m_sectDirStart = 0;
    uint32_t m_sectMiniFatStart = 0;
    uint32_t m_sectMiniStreamStart = 0;
    std::vector<uint32_t> m_rgsectStart; // per entry: first sector, or first mini sector
    std::vector<bool> m_rgfMini;

    size_t IbSector(uint32_t sect) const { return ((size_t)sect + 1) * m_cbSector; }
    size_t IbFatEntry(uint32_t sect) const
    {
        return IbSector(m_sectFatStart + sect / (m_cbSector / 4)) + sect % (m_cbSector / 4) * 4;
    }
    size_t IbMiniFatEntry(uint32_t sectMini) const
    {
        return IbSector(m_sectMiniFatStart + sectMini / (m_cbSector / 4)) + sectMini % (m_cbSector / 4) * 4;
    }
    size_t IbDirEntry(uint32_t id) const { return IbSector(m_sectDirStart) + (size_t)id * 128; }
};

// Offsets of the fields the damage tests change.
enum {
    ibHdrMajor = 0x1A,
    ibHdrByteOrder = 0x1C,
    ibHdrSectorShift = 0x1E,
    ibHdrMiniShift = 0x20,
    ibHdrCsectFat = 0x2C,
    ibHdrDirStart = 0x30,
    ibHdrCutoff = 0x38,
    ibHdrMiniFatStart = 0x3C,
    ibHdrDifStart = 0x44,
    ibHdrCsectDif = 0x48,
    ibHdrDifat = 0x4C,
    ibDirNameLength = 0x40,
    ibDirType = 0x42,
    ibDirLeft = 0x44,
    ibDirRight = 0x48,
    ibDirChild = 0x4C,
    ibDirStart = 0x74,
    ibDirSize = 0x78
};

std::string WriteCfb(const std::vector<CfbEntryDesc> &rgEntry, const CfbOptions &options, CfbLayout *pLayout);

void PatchLe16(std::string *psFile, size_t ib, uint16_t w);
void PatchLe32(std::string *psFile, size_t ib, uint32_t dw);

#endif
