// Keeps each distinct cell text once: blocks of huge pages filled one after another, and for
// each shared string the text it gave, so that a repeat costs a comparison, not a copy.
#include "TextStore.h"

#include <string.h>

#include <algorithm>
#include <new>

uint32_t TextStore::Add(std::string_view text, uint32_t isst)
{
    const uint32_t isstNone = UINT32_MAX;
    if (isst != isstNone && isst < m_rgiTextOfSst.size() && m_rgiTextOfSst[isst] != 0) {
        uint32_t iText = m_rgiTextOfSst[isst] - 1;
        // A repeat the reader cut to its budget is a text of its own.
        if (Text(iText) == text) {
            return iText;
        }
    }
    if (text.size() > UINT32_MAX || m_rgLocation.size() >= UINT32_MAX - 1) {
        throw std::bad_alloc();
    }
    if (m_rgBlock.empty() || m_rgBlock.back().Size() - m_rgBlock.back().cbUsed < text.size()) {
        // Blocks grow from 64 KiB, for the many small workbooks, to whole huge pages.
        size_t cbNext =
            m_rgBlock.empty() ? size_t(64) << 10 : std::min(m_rgBlock.back().Size() * 2, BigBlock::cbHuge);
        m_rgBlock.emplace_back(std::max(cbNext, text.size()));
    }
    BigBlock &block = m_rgBlock.back();
    if (!text.empty()) { // an empty view may have no bytes at all to copy from
        memcpy(block.Data() + block.cbUsed, text.data(), text.size());
    }
    m_rgLocation.push_back(Location{static_cast<uint32_t>(m_rgBlock.size() - 1),
                                    static_cast<uint32_t>(block.cbUsed), static_cast<uint32_t>(text.size())});
    block.cbUsed += text.size();
    uint32_t iText = static_cast<uint32_t>(m_rgLocation.size() - 1);
    if (isst != isstNone) {
        if (isst >= m_rgiTextOfSst.size()) {
            // isst is below the table's promised count, which the stream's size bounds.
            m_rgiTextOfSst.resize(std::max<size_t>(size_t(isst) + 1, m_rgiTextOfSst.size() * 2), 0);
        }
        m_rgiTextOfSst[isst] = iText + 1;
    }
    return iText;
}

std::string_view TextStore::Text(uint32_t iText) const
{
    const Location &location = m_rgLocation[iText];
    return std::string_view(reinterpret_cast<const char *>(m_rgBlock[location.iBlock].Data()) + location.ib,
                            location.cb);
}
