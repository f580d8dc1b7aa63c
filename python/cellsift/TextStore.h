// The texts of a workbook's cells as the module keeps them: each once, in large blocks, a cell
// holding the text's number. A shared string that many cells show is kept once for all.
#ifndef CELLSIFT_PYTHON_TEXTSTORE_H
#define CELLSIFT_PYTHON_TEXTSTORE_H

#include <stddef.h>
#include <stdint.h>

#include <string_view>
#include <vector>

#include "BigBlock.h"

class TextStore {
public:
    // The number of text, kept now unless it is shared string isst (Cell::isstNone: none)
    // already kept with these very bytes. Without the GIL; std::bad_alloc when memory fails.
    uint32_t Add(std::string_view text, uint32_t isst);
    std::string_view Text(uint32_t iText) const;
    size_t Count() const { return m_rgLocation.size(); }

private:
    struct Location {
        uint32_t iBlock;
        uint32_t ib;
        uint32_t cb;
    };
    std::vector<BigBlock> m_rgBlock;
    std::vector<Location> m_rgLocation;
    std::vector<uint32_t> m_rgiTextOfSst; // by shared string, its text's number + 1 (0: none yet)
};

#endif
