// Mapping a workbook file: read-only and private, populated up front where the file is small
// enough for that to be cheap, unmapped when the last stream that lies in it is gone; and the
// process-wide SIGBUS handler that lets a read survive the file being cut under it.
#include "workbook/FileMapping.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace {

// The mappings being read, noted where a signal handler may look without a lock: ibStart is
// 0 for a free slot, 1 while one is being filled. A file mapped when every slot is taken is
// read instead, so the count limits nothing but how many are mapped at once.
struct GuardSlot {
    std::atomic<uintptr_t> ibStart;
    std::atomic<size_t> cb;
    std::atomic<bool> fCut;
};
const size_t cGuardSlots = 64;
GuardSlot g_rgSlot[cGuardSlots];
struct sigaction g_saPrevious;
size_t g_cbPage;
bool g_fGuarded;

// A fault in a guarded mapping: the rest of it, from the faulting page on, becomes zero pages
// (mmap is a plain system call, safe here), the slot notes the cut, and the read goes on. Any
// other SIGBUS goes to the handler that was there before, or ends the process as it would have.
void OnBusError(int nSignal, siginfo_t *pInfo, void *pContext)
{
    uintptr_t ib = reinterpret_cast<uintptr_t>(pInfo->si_addr);
    for (GuardSlot &slot : g_rgSlot) {
        uintptr_t ibStart = slot.ibStart.load(std::memory_order_acquire);
        size_t cb = slot.cb.load(std::memory_order_relaxed);
        if (pInfo->si_code != BUS_ADRERR || ibStart <= 1 || ib < ibStart || ib - ibStart >= cb)
            continue;
        uintptr_t ibPage = ib & ~(uintptr_t)(g_cbPage - 1);
        void *pv = mmap(reinterpret_cast<void *>(ibPage), ibStart + cb - ibPage, PROT_READ,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (pv != MAP_FAILED) {
            slot.fCut.store(true, std::memory_order_relaxed);
            return;
        }
        break;
    }
    if ((g_saPrevious.sa_flags & SA_SIGINFO) != 0) {
        g_saPrevious.sa_sigaction(nSignal, pInfo, pContext);
    } else if (g_saPrevious.sa_handler != SIG_DFL && g_saPrevious.sa_handler != SIG_IGN) {
        g_saPrevious.sa_handler(nSignal);
    } else {
        // The default action, once this handler returns: a signal sent by another process
        // ends this one as it would have, and so does a fault, whose read runs again.
        signal(SIGBUS, SIG_DFL);
        raise(nSignal);
    }
}

void InstallGuard()
{
    long cbPage = sysconf(_SC_PAGESIZE);
    if (cbPage <= 0)
        return;
    g_cbPage = (size_t)cbPage;
    struct sigaction sa = {};
    sa.sa_sigaction = OnBusError;
    sa.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    g_fGuarded = sigaction(SIGBUS, &sa, &g_saPrevious) == 0;
}

// A free slot noted for cb bytes at pv, or cGuardSlots when there is none.
size_t ClaimSlot(const void *pv, size_t cb)
{
    static std::once_flag once;
    std::call_once(once, InstallGuard);
    if (!g_fGuarded)
        return cGuardSlots;
    for (size_t i = 0; i < cGuardSlots; i++) {
        uintptr_t ibFree = 0;
        if (g_rgSlot[i].ibStart.compare_exchange_strong(ibFree, 1, std::memory_order_acquire)) {
            g_rgSlot[i].cb.store(cb, std::memory_order_relaxed);
            g_rgSlot[i].fCut.store(false, std::memory_order_relaxed);
            g_rgSlot[i].ibStart.store(reinterpret_cast<uintptr_t>(pv), std::memory_order_release);
            return i;
        }
    }
    return cGuardSlots;
}

} // namespace

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
    size_t iSlot = ClaimSlot(pv, (size_t)cb);
    if (iSlot == cGuardSlots) {
        munmap(pv, (size_t)cb);
        return nullptr;
    }
    return std::shared_ptr<FileMapping>(new FileMapping(static_cast<const uint8_t *>(pv), (size_t)cb, iSlot));
}

bool FileMapping::FCut() const
{
    return g_rgSlot[m_iSlot].fCut.load(std::memory_order_relaxed);
}

FileMapping::~FileMapping()
{
    g_rgSlot[m_iSlot].ibStart.store(0, std::memory_order_release);
    munmap(const_cast<uint8_t *>(m_pb), m_cb);
}
