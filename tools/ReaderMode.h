// The workbook reader's mode: FILE operands to standard output or into OUTDIR, and -r DIR,
// each workbook printed in the chosen format, with CSV into OUTDIR one file per sheet.
#ifndef CELLSIFT_TOOLS_READERMODE_H
#define CELLSIFT_TOOLS_READERMODE_H

#include <string>
#include <string_view>

#include "Options.h"

// A sheet's name as part of a file name: characters no file name takes on the common systems
// (control characters, / \ : * ? " < > |) become "_", a name of dots only becomes "_", and a
// name is cut to 100 bytes (at a character's start).
std::string SafeSheetName(std::string_view name);

// Runs the mode; returns the exit status. Into OUTDIR each workbook becomes NAME.txt (.jsonl,
// .html), or with CSV each of its sheets NAME.SHEET.csv: NAME is the workbook's path below
// DIR with -r, else its own name ("stdin" for '-'); SHEET the sheet's safe name, with "~N"
// (its number) after it when an earlier sheet took that name.
int RunReaderMode(const ToolConfig &config);

#endif
