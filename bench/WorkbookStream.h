// Synthetic text-heavy workbook streams for the benchmarks: several sheets and one large
// shared-string table of mostly unique strings, many of them cut across CONTINUE records; and
// the file every generator writes its stream into.
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

// Writes stream as the Workbook stream of a compound document at pszPath; false, having said
// why on standard error, when the file cannot be written. *pcbFile: the file's size.
bool WriteWorkbookFile(const char *pszPath, const Bytes &stream, size_t *pcbFile = nullptr);

#endif
