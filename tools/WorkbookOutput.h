// The tool's printing of a workbook through the reader: from a path or standard input into a
// stream, and why it was not read, or read only in part, in one line on another.
#ifndef CELLSIFT_TOOLS_WORKBOOKOUTPUT_H
#define CELLSIFT_TOOLS_WORKBOOKOUTPUT_H

#include <stdio.h>

#include <string>

#include "output/OutputForms.h"

// Reads the workbook at path ("-": standard input) and prints the selected parts to pf in
// format. Why it could not be read, or was read only in part, goes to pfErr in one line
// naming path (JSON lines also keep the warnings in pf). Returns false when the workbook
// could not be read at all.
bool PrintWorkbook(const std::string &path, OutputFormat format, const WorkbookSelection &selection, FILE *pf,
                   FILE *pfErr);

// The same as CSV, each selected sheet into the file pfnOpen gives for it.
bool PrintWorkbookSheets(const std::string &path, const WorkbookSelection &selection, SheetFileOpener pfnOpen,
                         SheetFileCloser pfnClose, void *pContext, FILE *pfErr);

#endif
