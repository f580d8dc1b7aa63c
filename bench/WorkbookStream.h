// Synthetic text-heavy workbook streams for the benchmarks: several sheets and one large
// shared-string table of mostly unique strings, many of them cut across CONTINUE records.
#ifndef CELLSIFT_BENCH_WORKBOOKSTREAM_H
#define CELLSIFT_BENCH_WORKBOOKSTREAM_H

#include <stddef.h>

#include "support/Biff.h"

struct WorkbookStats {
    size_t cStrings = 0;
    size_t cCutStrings = 0; // strings whose characters go on in a CONTINUE record
    size_t cContinues = 0;
};

// A workbook stream of about cbTarget bytes, the same for the same seed. fWholeRuns keeps each
// string's formatting runs whole within a record, as xlrd needs to read the table.
Bytes MakeWorkbookStream(size_t cbTarget, unsigned nSeed, WorkbookStats *pStats, bool fWholeRuns = false);

#endif
