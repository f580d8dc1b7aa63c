// Blocks of memory: small ones from the heap, from 2 MiB on mapped on a 2 MiB boundary with
// huge pages asked for (the machine's huge pages are given on request only).
#include "BigBlock.h"

#include <stdlib.h>
#include <sys/mman.h>

#include <new>
#include <utility>

BigBlock::BigBlock(size_t cb) : m_pb(nullptr), m_cb(cb), m_fMapped(cb >= cbHuge)
{
    if (!m_fMapped) {
        m_pb = static_cast<uint8_t *>(malloc(cb == 0 ? 1 : cb));
        if (m_pb == nullptr) {
            throw std::bad_alloc();
        }
        return;
    }
    // Rounded up to whole huge pages and mapped with one to spare, whose unaligned ends go back.
    m_cb = (cb + cbHuge - 1) & ~(cbHuge - 1);
    if (m_cb < cb) {
        throw std::bad_alloc();
    }
    size_t cbMap = m_cb + cbHuge;
    void *pv = mmap(nullptr, cbMap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pv == MAP_FAILED) {
        throw std::bad_alloc();
    }
    uintptr_t u = reinterpret_cast<uintptr_t>(pv);
    uintptr_t uAligned = (u + cbHuge - 1) & ~uintptr_t(cbHuge - 1);
    if (uAligned > u) {
        munmap(pv, uAligned - u);
    }
    size_t cbTail = (u + cbMap) - (uAligned + m_cb);
    if (cbTail > 0) {
        munmap(reinterpret_cast<void *>(uAligned + m_cb), cbTail);
    }
    m_pb = reinterpret_cast<uint8_t *>(uAligned);
#ifdef MADV_HUGEPAGE
    madvise(m_pb, m_cb, MADV_HUGEPAGE); // only a hint: without it the pages are ordinary ones
#endif
}

BigBlock::~BigBlock()
{
    Free();
}

BigBlock::BigBlock(BigBlock &&other) noexcept
        : cbUsed(other.cbUsed), m_pb(other.m_pb), m_cb(other.m_cb), m_fMapped(other.m_fMapped)
{
    other.m_pb = nullptr;
}

BigBlock &BigBlock::operator=(BigBlock &&other) noexcept
{
    if (this != &other) {
        Free();
        cbUsed = other.cbUsed;
        m_pb = std::exchange(other.m_pb, nullptr);
        m_cb = other.m_cb;
        m_fMapped = other.m_fMapped;
    }
    return *this;
}

void BigBlock::Free()
{
    if (m_pb == nullptr) {
        return;
    }
    if (m_fMapped) {
        munmap(m_pb, m_cb);
    } else {
        free(m_pb);
    }
    m_pb = nullptr;
}
