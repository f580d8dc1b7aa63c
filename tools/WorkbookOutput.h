// The tool's printing of a workbook through the reader: from a path or standard input, to
// standard output, with warnings and errors named on standard error.
#ifndef CELLSIFT_TOOLS_WORKBOOKOUTPUT_H
#define CELLSIFT_TOOLS_WORKBOOKOUTPUT_H

#include <stdio.h>

#include <string>

#include "workbook/WorkbookFormat.h"

// Reads the workbook at path ("-": standard input) and prints the selected parts to pf in
// format. The error, if any, and unless fQuiet the warnings go to pfErr (in JSON lines the
// warnings go to pf). Returns false when the workbook could not be read at all.
bool PrintWorkbook(const std::string &path, OutputFormat format, const WorkbookSelection &selection,
                   bool fQuiet, FILE *pf, FILE *pfErr);

#endif
