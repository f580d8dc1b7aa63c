// Mapping a workbook file: private, populated up front where that is cheap, watched for writes,
// unmapped with its last stream; and the SIGBUS guard that survives a cut, kept in front.
#include "workbook/FileMapping.h"

#include <fcntl.h>
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
struct sigaction g_saPrevious; // the handler the guard passes other signals to
std::mutex g_mutexGuard;       // one thread at a time checks and installs the guard
size_t g_cbPage;
// How many signals are being passed to the previous handler. One that comes back while it is
// not zero was sent by that handler itself (one that restores the guard it found, then raises
// the signal again): the default action ends the process, as it would have without the guard.
std::atomic<int> g_cPassing;

// A fault in a guarded mapping: the rest of it, from the faulting page on, becomes zero pages
// (mmap is a plain system call, safe here), the slot notes the cut, and the read goes on. Any
// other SIGBUS goes to the handler that was there before, or ends the process as it would have.
void OnBusError(int nSignal, siginfo_t *pInfo, void *pContext)
{
    uintptr_t ib = reinterpret_cast<uintptr_t>(pInfo->si_addr);
    for (GuardSlot &slot : g_rgSlot) {
        uintptr_t ibStart = slot.ibStart.load(std::memory_order_acquire);
        size_t cb = slot.cb.load(std::memory_order_relaxed);
        if (pInfo->si_code != BUS_ADRERR || ibStart <= 1 || ib < ibStart || ib - ibStart >= cb) {
            continue;
        }
        uintptr_t ibPage = ib & ~static_cast<uintptr_t>(g_cbPage - 1);
        void *pv = mmap(reinterpret_cast<void *>(ibPage), ibStart + cb - ibPage, PROT_READ,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (pv != MAP_FAILED) {
            slot.fCut.store(true, std::memory_order_relaxed);
            return;
        }
        break;
    }
    bool fHandler = (g_saPrevious.sa_flags & SA_SIGINFO) != 0 ||
                    (g_saPrevious.sa_handler != SIG_DFL && g_saPrevious.sa_handler != SIG_IGN);
    if (fHandler && g_cPassing.fetch_add(1) == 0) {
        if ((g_saPrevious.sa_flags & SA_SIGINFO) != 0) {
            g_saPrevious.sa_sigaction(nSignal, pInfo, pContext);
        } else {
            g_saPrevious.sa_handler(nSignal);
        }
        g_cPassing.fetch_sub(1);
        return;
    }
    // The default action: a signal sent by another process ends this one as it would have,
    // and so does a fault, whose read runs again once this handler returns.
    signal(SIGBUS, SIG_DFL);
    raise(nSignal);
}

} // namespace

bool FileMapping::FGuard()
{
    std::lock_guard<std::mutex> lock(g_mutexGuard);
    if (g_cbPage == 0) {
        long cbPage = sysconf(_SC_PAGESIZE);
        if (cbPage <= 0) {
            return false;
        }
        g_cbPage = static_cast<size_t>(cbPage);
    }
    struct sigaction saNow;
    if (sigaction(SIGBUS, nullptr, &saNow) != 0) {
        return false;
    }
    if ((saNow.sa_flags & SA_SIGINFO) != 0 && saNow.sa_sigaction == OnBusError) {
        return true;
    }
    // Not deferred while it runs: a previous handler that raises the signal again reaches the
    // guard at once, which then knows where it came from.
    struct sigaction sa = {};
    sa.sa_sigaction = OnBusError;
    sa.sa_flags = SA_SIGINFO | SA_RESTART | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    g_saPrevious = saNow;
    g_cPassing.store(0);
    return sigaction(SIGBUS, &sa, nullptr) == 0;
}

namespace {

// A free slot noted for cb bytes at pv, or cGuardSlots when there is none.
size_t ClaimSlot(const void *pv, size_t cb)
{
    if (!FileMapping::FGuard()) {
        return cGuardSlots;
    }
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

bool FFileUnchanged(int fd, const struct stat &st)
{
    // The descriptor pins the file: a new one renamed over its path leaves this one intact,
    // so only what was written into this one counts.
    struct stat stNow;
    return fstat(fd, &stNow) == 0 && stNow.st_size == st.st_size &&
           stNow.st_mtim.tv_sec == st.st_mtim.tv_sec && stNow.st_mtim.tv_nsec == st.st_mtim.tv_nsec;
}

std::shared_ptr<FileMapping> FileMapping::Map(int fd, const struct stat &st, uint64_t cbPopulateMax)
{
    uint64_t cb = static_cast<uint64_t>(st.st_size);
    if (cb == 0 || cb > SIZE_MAX) {
        return nullptr;
    }
    int grfFlags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    if (cb <= cbPopulateMax) {
        grfFlags |= MAP_POPULATE;
    }
#else
    (void)cbPopulateMax;
#endif
    // A descriptor of its own, to ask the file whether it changed for as long as it is read;
    // the guard's slots bound how many are held at once.
    int fdOwn = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (fdOwn < 0) {
        return nullptr;
    }
    void *pv = mmap(nullptr, static_cast<size_t>(cb), PROT_READ, grfFlags, fd, 0);
    size_t iSlot = pv == MAP_FAILED ? cGuardSlots : ClaimSlot(pv, static_cast<size_t>(cb));
    if (iSlot == cGuardSlots) {
        if (pv != MAP_FAILED) {
            munmap(pv, static_cast<size_t>(cb));
        }
        close(fdOwn);
        return nullptr;
    }
    return std::shared_ptr<FileMapping>(
        new FileMapping(static_cast<const uint8_t *>(pv), static_cast<size_t>(cb), iSlot, fdOwn, st));
}

bool FileMapping::FCut() const
{
    return g_rgSlot[m_iSlot].fCut.load(std::memory_order_relaxed);
}

FileMapping::~FileMapping()
{
    g_rgSlot[m_iSlot].ibStart.store(0, std::memory_order_release);
    munmap(const_cast<uint8_t *>(m_pb), m_cb);
    close(m_fd);
}
