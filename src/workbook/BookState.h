// What the reader's passes share about one workbook stream: its bytes, what the globals said
// (version, date system, code page, formats, shared strings), the repeat budget, the warnings.
#ifndef CELLSIFT_WORKBOOK_BOOKSTATE_H
#define CELLSIFT_WORKBOOK_BOOKSTATE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "biff/ByteCursor.h"
#include "biff/RecordIterator.h"
#include "unicode/TextDecode.h"
#include "workbook/SharedStrings.h"
#include "workbook/Workbook.h"
#include "workbook/XfFormats.h"

class ContinuedCursor;

struct BookState {
    // The cb bytes at pb: the stream, or its decrypted copy.
    BookState(const uint8_t *pb, size_t cb, WorkbookVisitor &visitor);

    // The one place warnings go through; past a limit they are counted, not passed on.
    void Warn(const std::string &message);
    // True, with a warning, when the record was too short for the fields read from body.
    bool FShortRecord(const ByteCursor &body, const BiffRecord &record);
    // A string as this version stores it: BIFF8 unicode, else bytes in the code page; the
    // count is one byte when fShortCount, else two.
    void ReadString(ContinuedCursor *pRecord, bool fShortCount, std::string *ps);

    const uint8_t *pb;
    size_t cb;
    WorkbookVisitor &visitor;
    size_t cWarnings = 0;

    int nBiff = 8;
    bool fDate1904 = false;
    CodePageDecoder decoder;
    XfFormats formats;
    bool fShown;    // the visitor wants shown texts
    bool fFormulas; // the visitor wants formulas' text
    bool fShownWarned = false;

    // Shared strings are decoded where a cell uses them, from where each lies in the stream:
    // the stream is in memory anyway, and a decoded copy would double it.
    SharedStrings sst;
    // Text handed out more than once is charged to this, which the stream's size sets.
    size_t cbRepeatBudget;
    bool fBudgetWarned = false;
};

#endif
