// The cells of a workbook's sheets held compactly in C++ for tables: read once with the GIL
// released, then handed to Python column by column (FrameColumns.cpp) or as one cell table.
#ifndef CELLSIFT_PYTHON_FRAMEBOOK_H
#define CELLSIFT_PYTHON_FRAMEBOOK_H

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "workbook/Workbook.h"

#include "TextStore.h"

const uint32_t iTextNone = UINT32_MAX;

struct FrameCell {
    uint32_t row;
    uint32_t col;
    CellKind kind;
    bool fBool;
    uint32_t iText;                // the cell's text in the book's texts, iTextNone when not held
    uint32_t iShown;               // the text its number format shows, iTextNone when not held
    uint32_t iFormula = iTextNone; // its formula's text, iTextNone for a cell without one
    double dNumber;
};

struct FrameSheet {
    uint32_t iSheet;
    std::string name;
    SheetKind kind;
    bool fHidden;
    int iWorksheet; // the position among the worksheets, -1 for the other kinds
    bool fHeld;     // the cells were asked for and are held
    std::vector<FrameCell> rgCell;
};

// Which sheets' cells are held: every worksheet, every sheet, the worksheet of a name, the
// worksheet at a position, or the sheet at an index of all sheets.
struct FrameChoice {
    enum class Kind {
        Worksheets,
        All,
        Name,
        Worksheet,
        Index
    } kind = Kind::Worksheets;
    std::string name;
    long n = 0;
};

struct FrameBook {
    bool fDate1904 = false;
    bool fAllText = false;  // every cell's text is held, not only the strings'
    bool fShown = false;    // every cell's shown text is held too
    bool fFormulas = false; // a formula cell's formula is held too
    // The one sheet of a BIFF2-4 file is named as pandas' xlrd reader names it, not as the
    // tool does.
    bool fPandasNames = false;
    int nBiff = 0;
    const FormatLocale *pLocale = &FormatLocale::EnUs(); // of the shown texts
    FrameChoice choice;
    std::vector<FrameSheet> rgSheet;
    TextStore texts;
    std::vector<std::string> rgWarning;
};

// The held texts as str, each distinct text made once ("" for none held), so that a
// string many cells show is one object in Python too. The book holds only the texts of the
// sheets asked for, so a slot for each is no more than their cells take.
class TextObjects {
public:
    explicit TextObjects(const TextStore &texts) : m_texts(texts), m_made(texts.Count() + 1) {}
    pybind11::object Get(uint32_t iText);

private:
    const TextStore &m_texts;
    std::vector<pybind11::object> m_made; // by text number, the last for none
};

// The sheet's table as Python wants it: (nrows, ncols, header row or None, columns), where
// the header is row iHeader's values (-1: no header row) and the columns hold the rows below
// it, each a float64 or int64 array when every cell is a number, else an object array. With
// fShown every value is the str the cell shows.
pybind11::tuple SheetColumns(const FrameBook &book, const FrameSheet &sheet, long iHeader, bool fShown);

// Adds the frame functions to the extension module.
void DefineFrames(pybind11::module_ &m);

#endif
