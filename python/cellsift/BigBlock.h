// A block of memory written once and read many times, owned by one holder: a large one comes
// in huge pages, which this kind of machine fills far faster on first touch.
#ifndef CELLSIFT_PYTHON_BIGBLOCK_H
#define CELLSIFT_PYTHON_BIGBLOCK_H

#include <stddef.h>
#include <stdint.h>

#include <memory>

#include "workbook/FreshBuffer.h"

class BigBlock {
public:
    // cb bytes; std::bad_alloc when they cannot be had.
    explicit BigBlock(size_t cb) : m_block(AllocateFresh(cb)), m_cb(cb) {}
    BigBlock(BigBlock &&other) noexcept = default;
    BigBlock &operator=(BigBlock &&other) noexcept = default;
    BigBlock(const BigBlock &) = delete;
    BigBlock &operator=(const BigBlock &) = delete;

    uint8_t *Data() const { return m_block.get(); }
    size_t Size() const { return m_cb; }
    size_t cbUsed = 0; // how much of it the owner has written

    static constexpr size_t cbHuge = cbFreshHugeMin;

private:
    std::shared_ptr<uint8_t> m_block;
    size_t m_cb;
};

#endif
