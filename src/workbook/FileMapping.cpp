// Mapping a workbook file: read-only and private, populated up front where the file is small
// enough for that to be cheap, unmapped when the last stream that lies in it is gone.
#include "workbook/FileMapping.h"

#include <sys/mman.h>

std::shared_ptr<FileMapping> FileMapping::Map(int fd, uint64_t cb, uint64_t cbPopulateMax)
{
    if (cb == 0 || cb > SIZE_MAX)
        return nullptr;
    int grfFlags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    if (cb <= cbPopulateMax)
        grfFlags |= MAP_POPULATE;
#else
    (void)cbPopulateMax;
#endif
    void *pv = mmap(nullptr, (size_t)cb, PROT_READ, grfFlags, fd, 0);
    if (pv == MAP_FAILED)
        return nullptr;
    return std::shared_ptr<FileMapping>(new FileMapping(static_cast<const uint8_t *>(pv), (size_t)cb));
}

FileMapping::~FileMapping()
{
    munmap(const_cast<uint8_t *>(m_pb), m_cb);
}
