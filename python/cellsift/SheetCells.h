// One sheet's cells as cellsift.read() keeps them: packed one after another as typed values,
// made into Python objects only while they are iterated.
#ifndef CELLSIFT_PYTHON_SHEETCELLS_H
#define CELLSIFT_PYTHON_SHEETCELLS_H

#include <pybind11/pybind11.h>

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

#include "workbook/Workbook.h"

#include "BigBlock.h"
#include "TextStore.h"

// Each cell is a record: a byte of kind and flags, row and column, then its value (a double,
// the number of its text in the workbook's texts, or an error code) and, only where it
// differs from the value's text, the text its number format shows. A record never crosses
// from one block to the next.
class SheetCells {
public:
    explicit SheetCells(std::shared_ptr<TextStore> texts) : m_texts(std::move(texts)) {}

    // Without the GIL, while the workbook is read.
    void Add(const Cell &cell);
    size_t Count() const { return m_cCell; }

    // Walks the records in stored order.
    class Cursor {
    public:
        Cursor(const SheetCells &cells, bool fDate1904) : m_cells(cells), m_fDate1904(fDate1904) {}
        // The next cell as (row, col, value), or a null object after the last. With fShown the
        // value is the shown str; an error is errorType(text, code), code -1 when no program
        // defines it.
        pybind11::object Next(bool fShown, const pybind11::object &errorType);

    private:
        const SheetCells &m_cells;
        bool m_fDate1904;
        size_t m_iBlock = 0;
        size_t m_ib = 0;
        size_t m_iCell = 0;
    };

private:
    uint8_t *Room(size_t cb);

    std::shared_ptr<TextStore> m_texts; // shared by the workbook's sheets
    size_t m_cCell = 0;
    std::vector<BigBlock> m_rgBlock;
};

// Adds SheetCells and its iterator to the extension module.
void DefineSheetCells(pybind11::module_ &m);

#endif
