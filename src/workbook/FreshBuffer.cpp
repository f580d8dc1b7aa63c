// Fresh buffers: an anonymous mapping aligned to the huge page size and advised into huge
// pages, unmapped with the last holder; the heap for buffers smaller than one huge page.
#include "workbook/FreshBuffer.h"

#include <sys/mman.h>

#include <new>

std::shared_ptr<uint8_t> AllocateFresh(size_t cb)
{
    if (cb < cbFreshHugeMin) {
        return std::shared_ptr<uint8_t>(new uint8_t[cb > 0 ? cb : 1](), std::default_delete<uint8_t[]>());
    }
    const size_t cbHuge = cbFreshHugeMin;
    if (cb > SIZE_MAX - 2 * cbHuge) {
        throw std::bad_alloc();
    }
    // One huge page more than the rounded size, so that an aligned start can be had.
    size_t cbMap = (cb + 2 * cbHuge - 1) & ~(cbHuge - 1);
    void *pv = mmap(nullptr, cbMap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pv == MAP_FAILED) {
        throw std::bad_alloc();
    }
    uint8_t *pbAligned =
        reinterpret_cast<uint8_t *>((reinterpret_cast<uintptr_t>(pv) + cbHuge - 1) & ~(cbHuge - 1));
#ifdef MADV_HUGEPAGE
    // Refused where huge pages are off; the mapping then simply has ordinary pages.
    madvise(pbAligned, cbMap - cbHuge, MADV_HUGEPAGE);
#endif
    return std::shared_ptr<uint8_t>(pbAligned, [pv, cbMap](uint8_t *) { munmap(pv, cbMap); });
}
