// The tool's printing of a workbook through the reader: from a path or standard input, to
// standard output, with warnings and errors named on standard error.
#ifndef CELLSIFT_TOOLS_WORKBOOKOUTPUT_H
#define CELLSIFT_TOOLS_WORKBOOKOUTPUT_H

#include <stdio.h>

#include <string>

#include "workbook/WorkbookFormat.h"

// Reads the workbook at path ("-": standard input) and prints it to pf in format. Warnings
// and the error, if any, go to standard error (in JSON lines the warnings go to pf).
// Returns false when the workbook could not be read at all.
bool PrintWorkbook(const std::string &path, OutputFormat format, FILE *pf);

#endif
