// Directory mode of the workbook reader: every .xls under a folder read by worker threads,
// written into a mirror tree or to standard output in the order of a one-worker run.
#ifndef CELLSIFT_TOOLS_READERTREE_H
#define CELLSIFT_TOOLS_READERTREE_H

#include <string>

#include "output/OutputForms.h"

struct ReaderTreeOptions {
    std::string treeIn;  // -r
    std::string treeOut; // -o; empty: standard output with '==> FILE <==' headers
    OutputFormat format = OutputFormat::Text;
    WorkbookSelection selection;
    bool fQuiet = false;
    unsigned nWorkers = 1;
};

// Returns the exit status: 0 when every workbook was read and written, 1 otherwise.
int RunReaderTree(const ReaderTreeOptions &opt);

#endif
