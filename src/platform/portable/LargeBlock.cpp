// Large-page advice for big blocks on Linux, where transparent huge pages are often given
// only to memory that asks for them: a fault per 4 KiB page costs more than the copying.
#include "platform/Services.h"

#include <stdint.h>
#include <sys/mman.h>

namespace {
const uintptr_t cbHugePage = 2 * 1024 * 1024;
}

void AdviseLargeBlock(void *pv, size_t cb)
{
    // Only whole large pages inside the block can be backed by them.
    uintptr_t ibStart = (reinterpret_cast<uintptr_t>(pv) + cbHugePage - 1) & ~(cbHugePage - 1);
    uintptr_t ibEnd = (reinterpret_cast<uintptr_t>(pv) + cb) & ~(cbHugePage - 1);
    if (ibEnd > ibStart) {
        madvise(reinterpret_cast<void *>(ibStart), ibEnd - ibStart, MADV_HUGEPAGE);
    }
}
