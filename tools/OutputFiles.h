// -o OUTDIR with FILE operands: each workbook's written form in a file of its own in OUTDIR, and
// with CSV one file per sheet.
#ifndef CELLSIFT_TOOLS_OUTPUTFILES_H
#define CELLSIFT_TOOLS_OUTPUTFILES_H

#include <string>
#include <string_view>
#include <vector>

#include "output/OutputForms.h"

// A sheet's name as part of a file name: characters no file name takes on the common systems
// (control characters, / \ : * ? " < > |) become "_", a name of dots only becomes "_", and a
// name is cut to 100 bytes (at a character's start).
std::string SafeSheetName(std::string_view name);

// Writes each FILE into OUTDIR/NAME.txt or NAME.jsonl, or with CSV each of its sheets into
// OUTDIR/NAME.SHEET.csv; NAME is the file's own name ("stdin" for '-'), SHEET the sheet's safe
// name, with "~N" (its number) after it when an earlier sheet took that name. Files are made
// as -r -o makes them: no link below OUTDIR is followed. Returns the exit status.
int RunReaderToFiles(OutputFormat format, const WorkbookSelection &selection, const std::vector<std::string> &files,
                     const std::string &outDir);

#endif
