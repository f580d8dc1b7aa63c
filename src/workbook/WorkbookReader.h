// The reader's passes over one workbook stream: the globals, then each sheet's substream, read
// by a SheetReader of its own. Private to the reader.
#ifndef CELLSIFT_WORKBOOK_WORKBOOKREADER_H
#define CELLSIFT_WORKBOOK_WORKBOOKREADER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "workbook/BookLinks.h"
#include "workbook/BookState.h"
#include "workbook/SheetExtras.h"

class WorkbookReader {
public:
    // Reads the cb bytes at pb (the stream, or its decrypted copy); source gives the
    // document's properties.
    WorkbookReader(const uint8_t *pb, size_t cb, const WorkbookStream &source, WorkbookVisitor &visitor);
    bool Read(WorkbookError *pError);

private:
    // Whether a sheet's substream is read: not when it starts in the globals or where an
    // earlier sheet's does, nor where no BOF is.
    enum class SheetFate {
        Read,
        ReadBefore,
        NoBof
    };
    struct SheetEntry {
        std::string name;
        size_t ibBof;
        SheetKind kind;
        bool fHidden;
        SheetFate fate = SheetFate::Read;
        size_t ibLimit = 0; // where the next substream read starts, or the stream ends
    };

    // WorkbookReader.cpp: the passes.
    int BiffOfBof(uint16_t wType, ByteCursor body) const;
    SheetKind KindOfSheet(const SheetEntry &entry) const;
    void FindCodePage();
    void PlanSheets(size_t ibGlobalsEnd);
    void ReadSheets(size_t ibGlobalsEnd);
    void ReadPlannedSheet(uint32_t iSheet);
    void ReadSheet(uint32_t iSheet, size_t ibStart, size_t ibLimit, bool fWanted);

    // ReaderGlobals.cpp
    size_t ReadGlobals(RecordIterator *pIt);
    void ReadWriteAccess(const BiffRecord &record);
    void ReadBoundSheet(const BiffRecord &record);
    void ReadSst(const BiffRecord &record);
    void ReadFormat(const BiffRecord &record);
    void ReadXf(const BiffRecord &record);

    BookState m_book;
    int m_nCodePage = -1;
    bool m_fAuthor = false;
    std::string m_sAuthor;
    const WorkbookStream &m_source; // its properties are handed on after the globals
    SheetExtras m_extras{m_book.decoder};
    BookLinks m_links{m_book};
    bool m_fSstSeen = false;
    uint16_t m_cFormatsInOrder = 0; // BIFF2-4 formats are numbered in the order they come

    std::vector<SheetEntry> m_rgSheet;
};

#endif
