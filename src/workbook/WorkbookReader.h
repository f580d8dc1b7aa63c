// The reader's state while it reads one workbook stream, shared by its passes: the globals,
// the cells of each sheet, and the drawings (comments and text boxes). Private to the reader.
#ifndef CELLSIFT_WORKBOOK_WORKBOOKREADER_H
#define CELLSIFT_WORKBOOK_WORKBOOKREADER_H

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "biff/ByteCursor.h"
#include "biff/RecordIterator.h"
#include "workbook/SharedStrings.h"
#include "workbook/SheetExtras.h"
#include "workbook/TextDecode.h"
#include "workbook/Workbook.h"
#include "workbook/XfFormats.h"

class ContinuedCursor;

class WorkbookReader {
public:
    // Reads the cb bytes at pb (the stream, or its decrypted copy); source gives the
    // document's properties.
    WorkbookReader(const uint8_t *pb, size_t cb, const WorkbookStream &source, WorkbookVisitor &visitor);
    bool Read(WorkbookError *pError);

private:
    struct SheetEntry {
        std::string name;
        size_t ibBof;
        SheetKind kind;
        bool fHidden;
    };
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

    // WorkbookReader.cpp: the passes and the one place warnings go through.
    void Warn(const std::string &message);
    bool FShortRecord(const ByteCursor &body, const BiffRecord &record);
    int BiffOfBof(uint16_t wType, ByteCursor body) const;
    void FindCodePage();
    void ReadSheets();
    size_t ReadSheet(uint32_t iSheet, size_t ibStart, size_t ibLimit, bool fWanted);

    // ReaderGlobals.cpp
    size_t ReadGlobals(size_t ibStart);
    void ReadString(ContinuedCursor *pRecord, bool fShortCount, std::string *ps);
    void ReadWriteAccess(const BiffRecord &record);
    void ReadBoundSheet(const BiffRecord &record);
    void ReadSst(const BiffRecord &record);
    void ReadFormat(const BiffRecord &record);
    void ReadXf(const BiffRecord &record);

    // ReaderCells.cpp
    void ReadCellRecord(uint32_t iSheet, const BiffRecord &record);
    void ReadFormulaString(uint32_t iSheet, const BiffRecord &record);
    void ReadLabelSst(uint32_t iSheet, uint32_t row, uint32_t col, uint16_t ixfe, uint32_t isst);
    void ReadFormula(uint32_t iSheet, const BiffRecord &record, ByteCursor *pBody, uint32_t row, uint32_t col,
                     uint16_t ixfe);
    void EmitNumber(uint32_t iSheet, uint32_t row, uint32_t col, uint16_t ixfe, double d);
    void EmitText(uint32_t iSheet, uint32_t row, uint32_t col, uint16_t ixfe, std::string_view text,
                  uint32_t isst = Cell::isstNone);
    static size_t ShownCharge(size_t cbShown, const NumberFormat &format, size_t cbText);
    bool FShownFits(size_t cbShownMax, const NumberFormat &format, size_t cbText);
    void EmitCell(Cell *pCell, const NumberFormat &format, bool fFits);
    void EmitBoolErr(uint32_t iSheet, uint32_t row, uint32_t col, uint8_t bValue, bool fError);

    // ReaderDrawings.cpp
    void ReadObj(const BiffRecord &record);
    void ReadTxo(const BiffRecord &record);
    void ReadNote(const BiffRecord &record);
    void EmitDrawingText(uint32_t iSheet);

    const uint8_t *m_pb;
    size_t m_cb;
    WorkbookVisitor &m_visitor;
    size_t m_cbRepeatBudget;
    size_t m_cWarnings = 0;

    int m_nBiff = 8;
    int m_nCodePage = -1;
    bool m_fDate1904 = false;
    bool m_fAuthor = false;
    std::string m_sAuthor;
    CodePageDecoder m_decoder;
    const WorkbookStream &m_source; // its properties are handed on after the globals
    SheetExtras m_extras{m_decoder};

    // Shared strings are decoded where a cell uses them, from where each lies in the stream:
    // the stream is in memory anyway, and a decoded copy would double it.
    bool m_fSstSeen = false;
    SharedStrings m_sst;
    bool m_fBudgetWarned = false;

    uint16_t m_cFormatsInOrder = 0; // BIFF2-4 formats are numbered in the order they come
    XfFormats m_formats;
    bool m_fShown; // the visitor wants shown texts
    bool m_fShownWarned = false;

    std::vector<SheetEntry> m_rgSheet;
    std::map<size_t, size_t> m_mapRead; // substreams already read: start -> end

    // One sheet's state.
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
