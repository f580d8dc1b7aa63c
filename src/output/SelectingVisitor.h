// The gate between the reader and a printer: only the parts of the workbook that a selection
// keeps, and only while what was written stays within a budget set by the stream's size.
#ifndef CELLSIFT_OUTPUT_SELECTINGVISITOR_H
#define CELLSIFT_OUTPUT_SELECTINGVISITOR_H

#include "output/OutputForms.h"
#include "output/OutputSink.h"
#include "workbook/Workbook.h"

// What the forms may write of a workbook: 128 bytes per byte read for it (its stream, its VBA
// project's streams, its embedded workbooks' all told) and 1 MiB.
size_t WrittenBudget(const WorkbookStream &stream);

// Reads the stream into pPrinter through the selection: properties (and who saved it), sheets,
// cells, notes and hyperlinks while meter stays within cbBudget (an embedded workbook's read
// counts against its container's), then one warning and nothing more; every warning also to pfnWarn when given. A name
// selects the first sheet of that name, or when none has it exactly the first that has it in
// another letter case. Nothing reaches pPrinter before the first selected sheet. False with
// *pError filled when nothing could be read, or no sheet was selected (NoSuchSheet, with the
// first warning as the reason when no sheet was asked for).
bool ReadSelection(const WorkbookStream &stream, const WorkbookSelection &selection,
                   const WrittenMeter &meter, size_t cbBudget, WorkbookVisitor *pPrinter, WarningSink pfnWarn,
                   void *pContext, WorkbookError *pError);

#endif
