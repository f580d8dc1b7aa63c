// A block of memory written once and read many times: a large one is 2 MiB-aligned and
// asked for in huge pages, which this kind of machine fills far faster on first touch.
#ifndef CELLSIFT_PYTHON_BIGBLOCK_H
#define CELLSIFT_PYTHON_BIGBLOCK_H

#include <stddef.h>
#include <stdint.h>

class BigBlock {
public:
    // cb bytes, uninitialised; std::bad_alloc when they cannot be had.
    explicit BigBlock(size_t cb);
    ~BigBlock();
    BigBlock(BigBlock &&other) noexcept;
    BigBlock &operator=(BigBlock &&other) noexcept;
    BigBlock(const BigBlock &) = delete;
    BigBlock &operator=(const BigBlock &) = delete;

    uint8_t *Data() const { return m_pb; }
    size_t Size() const { return m_cb; }
    size_t cbUsed = 0; // how much of it the owner has written

    static constexpr size_t cbHuge = size_t(2) << 20;

private:
    void Free();

    uint8_t *m_pb;
    size_t m_cb;
    bool m_fMapped;
};

#endif
