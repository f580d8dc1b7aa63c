// make-workbook: writes a large text-heavy workbook for the benchmark.
//   make-workbook OUT.xls STREAM_MB [SEED] [--whole-runs]   (--whole-runs: one xlrd reads)
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "WorkbookStream.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: make-workbook OUT.xls STREAM_MB [SEED] [--whole-runs]\n");
        return 2;
    }
    size_t cbTarget = static_cast<size_t>(atof(argv[2]) * 1024 * 1024);
    unsigned nSeed = argc > 3 ? static_cast<unsigned>(atoi(argv[3])) : 1;
    bool fWholeRuns = argc > 4 && std::string(argv[4]) == "--whole-runs";
    WorkbookStats stats;
    Bytes stream = MakeWorkbookStream(cbTarget, nSeed, &stats, fWholeRuns);
    size_t cbFile = 0;
    if (!WriteWorkbookFile(argv[1], stream, &cbFile)) {
        return 1;
    }
    printf("%s: stream %zu bytes, file %zu bytes, %zu strings, %zu cut, %zu CONTINUE records\n", argv[1],
           stream.size(), cbFile, stats.cStrings, stats.cCutStrings, stats.cContinues);
    return 0;
}
