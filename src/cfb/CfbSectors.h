// What the compound-document reader's two halves share: the format's constants, reads of the
// file and its sectors, and chains through the FAT. Private to src/cfb.
#ifndef CELLSIFT_CFB_CFBSECTORS_H
#define CELLSIFT_CFB_CFBSECTORS_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "biff/ByteCursor.h"
#include "cfb/CompoundFile.h"

const uint32_t sectFirstSpecial = 0xFFFFFFFBu;
const uint32_t sectEndOfChain = 0xFFFFFFFEu;
const uint32_t sectFree = 0xFFFFFFFFu;
const uint32_t idNoStream = 0xFFFFFFFFu;
const uint32_t cbHeader = 512;
const uint32_t cbDirEntry = 128;
const uint32_t cbMiniSector = 64;
const uint32_t cbMiniCutoff = 4096;
const uint32_t cHeaderDifat = 109;
const uint8_t rgbMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const uint8_t rgbOldMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0x0E, 0x11, 0xFC, 0x0D};

// Little-endian values inside a block already read; 0 for one that does not fit.
inline uint16_t Le16At(const uint8_t *pb, size_t cb, size_t ib)
{
    ByteCursor cursor(pb, cb);
    cursor.Skip(ib);
    return cursor.Le16();
}

inline uint32_t Le32At(const uint8_t *pb, size_t cb, size_t ib)
{
    ByteCursor cursor(pb, cb);
    cursor.Skip(ib);
    return cursor.Le32();
}

// Reads cb bytes at file offset ib, all or nothing as far as the caller is concerned.
bool ReadFileAt(const CfbFile *pFile, uint64_t ib, uint8_t *pb, size_t cb);
// Reads what of cb bytes at ib lies before the end of the file; the count read.
size_t ReadFileUpTo(const CfbFile *pFile, uint64_t ib, uint8_t *pb, size_t cb);
// Sector numbers count from the end of the header, in 32 bits: the last one wraps to 0.
uint64_t SectorOffset(const CfbFile *pFile, uint32_t sect);
// One sector, kept once read: its bytes, zeros after the end of the file, and the count
// really read (0: the sector lies wholly past the end).
const uint8_t *CachedSector(CfbFile *pFile, uint32_t sect, uint32_t *pcbRead);
// Follows a chain from sectHead to its end; ChainLoops when it comes back to itself.
CfbResult WalkChain(CfbFile *pFile, uint32_t sectHead, std::vector<uint32_t> *prgsect);
// The first sector of an entry's chain; a special value means an empty chain.
uint32_t ChainHead(uint32_t sectStart);
// Directory entry id; false when it lies outside the directory's chain or file.
bool ReadDirEntry(CfbFile *pFile, uint32_t id, CfbDirEntry *pEntry);

#endif
