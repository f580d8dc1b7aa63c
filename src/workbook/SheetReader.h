// One sheet's reading: its cell records (ReaderCells.cpp) and the drawings that carry text,
// comments and text boxes (ReaderDrawings.cpp), with the state that lives as long as the sheet.
#ifndef CELLSIFT_WORKBOOK_SHEETREADER_H
#define CELLSIFT_WORKBOOK_SHEETREADER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

#include "workbook/BookLinks.h"
#include "workbook/BookState.h"
#include "workbook/SheetFormulas.h"
#include "workbook/SheetLayout.h"

class SheetReader {
public:
    SheetReader(BookState &book, BookLinks &links, uint32_t iSheet)
            : m_book(book), m_links(links), m_iSheet(iSheet), m_formulas(book, links)
    {}

    // A record of the sheet's own level, outside its charts.
    void ReadRecord(const BiffRecord &record);
    // After the last record: a cell still waiting for its shared formula, then the hidden
    // rows and columns and the merged ranges.
    void FinishCells();
    // Comments, each with the text its NOTE names, then the text boxes no NOTE took.
    void EmitDrawingText();

private:
    struct TxoEntry {
        uint16_t idObj;
        bool fTaken; // a NOTE has claimed it
        std::string text;
    };
    struct NoteEntry {
        uint32_t row, col;
        uint16_t idObj;
        bool fOwnText; // the older NOTE that carries its text itself
        std::string author;
        std::string text;
    };

    // ReaderCells.cpp
    void ReadCellRecord(const BiffRecord &record);
    void ReadFormulaString(const BiffRecord &record);
    void ReadLabelSst(uint32_t row, uint32_t col, uint16_t ixfe, uint32_t isst);
    void ReadFormula(const BiffRecord &record, ByteCursor *pBody, uint32_t row, uint32_t col, uint16_t ixfe);
    void EmitNumber(uint32_t row, uint32_t col, uint16_t ixfe, double d);
    void EmitText(uint32_t row, uint32_t col, uint16_t ixfe, std::string_view text,
                  uint32_t isst = Cell::isstNone);
    static size_t ShownCharge(size_t cbShown, const NumberFormat &format, size_t cbText);
    bool FShownFits(size_t cbShownMax, const NumberFormat &format, size_t cbText);
    void EmitCell(Cell *pCell, const NumberFormat &format, bool fFits);
    void EmitBoolErr(uint32_t row, uint32_t col, uint8_t bValue, bool fError);

    // ReaderDrawings.cpp
    void ReadObj(const BiffRecord &record);
    void ReadTxo(const BiffRecord &record);
    void ReadNote(const BiffRecord &record);

    BookState &m_book;
    BookLinks &m_links;
    uint32_t m_iSheet;
    SheetFormulas m_formulas;
    SheetLayout m_layout;
    // The formula of the cell being emitted, empty for other cells; a FORMULA record whose
    // shared record comes after it is held until the next record.
    std::string m_sFormula;
    std::string_view m_formula;
    bool m_fHeld = false;
    bool m_fLastTry = false;
    BiffRecord m_recordHeld = {};
    std::string m_sCell;
    std::string m_sShown;
    bool m_fFormulaPending = false;
    uint32_t m_rowPending = 0, m_colPending = 0;
    uint16_t m_ixfePending = 0;
    uint16_t m_idObjLast = 0;
    std::vector<TxoEntry> m_rgTxo;
    std::vector<NoteEntry> m_rgNote;
};

#endif
