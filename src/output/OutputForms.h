// The written forms of a workbook (text, CSV, JSON lines, HTML) as the tool and the Python
// module call them: the selected parts to a file, a sink or files per sheet; an encrypted one's properties.
#ifndef CELLSIFT_OUTPUT_OUTPUTFORMS_H
#define CELLSIFT_OUTPUT_OUTPUTFORMS_H

#include <stdio.h>

#include <string>
#include <string_view>

#include "output/OutputSink.h"
#include "workbook/Workbook.h"

enum class OutputFormat {
    Text,
    Csv,
    Jsonl,
    Html
};

// Parses a format's name (text, csv, jsonl, html); false for an unknown name.
bool ParseOutputFormat(const std::string &name, OutputFormat *pFormat);

// The names the written forms give kinds: "worksheet", "chart", "macro", "dialog", "module",
// "other"; "text", "number", "date", "bool", "error"; "workbook", "dde", "ole", "addin".
const char *KindName(SheetKind kind);
const char *KindName(CellKind kind);
const char *KindName(ExternalKind kind);

// Receives a warning of a workbook as it is read.
typedef void (*WarningSink)(void *pContext, std::string_view message);

// Which parts of a workbook are written: one sheet (empty: every sheet), whether the notes are
// (comments, text boxes, headers and footers, charts), and whether the document properties
// are. A sheet of digits only is the number counted from 0 as in JSON lines, anything else a
// name; with fByName it is always a name. And the password that opens the workbook when it
// is encrypted (empty: only the default one is tried).
struct WorkbookSelection {
    std::string sheet;
    bool fByName = false;
    bool fNotes = true;
    std::string password;
    bool fProperties = true;
    bool fMacros = true;     // the VBA project's modules
    bool fEmbedded = true;   // the embedded documents, an embedded workbook's content after them
    bool fRawValues = false; // text, CSV and HTML: the stored values, not as their formats show them
    // Text, CSV and HTML: a formula cell's formula ("=SUM(A1:A3)") in place of its value, as a
    // spreadsheet's "show formulas" view. JSON lines carry both whatever this says.
    bool fFormulas = false;
    // The locale shown values are in (FindFormatLocale), as a spreadsheet set to it shows them.
    const FormatLocale *pLocale = &FormatLocale::EnUs();
};

// What is written is bounded by the stream's size: past 128 bytes per byte of it (and 1 MiB)
// the rest is left out, with a warning.

// Reads the stream and writes it to pf in format. Every form hands its warnings to pfnWarn,
// when given; JSON lines also carry them, and their name (the "file" key), themselves. False,
// with *pError filled, when nothing could be read.
bool WriteWorkbook(const WorkbookStream &stream, OutputFormat format, const std::string &name, FILE *pf,
                   WarningSink pfnWarn, void *pContext, WorkbookError *pError);

// The same for the parts in selection; a sheet that is not there is an error (NoSuchSheet).
bool WriteWorkbookSelection(const WorkbookStream &stream, OutputFormat format,
                            const WorkbookSelection &selection, const std::string &name, FILE *pf,
                            WarningSink pfnWarn, void *pContext, WorkbookError *pError);

// An encrypted workbook that could not be opened still has the document properties read
// beside its stream, which are stored in the clear: the forms an indexer reads write them, so
// that it still learns who wrote the workbook: HTML as the head and the lines it has for any
// workbook, JSON lines as the error's line and the properties' line. Text and CSV, whose
// readers take a failed file's output as nothing, write nothing; nor does any other error,
// or a selection that leaves the properties out.
void WriteLockedProperties(const WorkbookStream &stream, const WorkbookError &error, OutputFormat format,
                           const WorkbookSelection &selection, const std::string &name, FILE *pf);

// The parts in selection handed to pfnPiece in pieces of cbPiece bytes or a little more, every
// warning to pfnWarn when given; name is the file's for JSON lines.
bool StreamWorkbook(const WorkbookStream &stream, OutputFormat format, size_t cbPiece, PieceSink pfnPiece,
                    void *pContext, WarningSink pfnWarn, void *pWarnContext, WorkbookError *pError,
                    const WorkbookSelection &selection = WorkbookSelection(), const std::string &name = "");

// Opens the file a sheet's CSV goes to; nullptr leaves the sheet out (the opener says why).
typedef FILE *(*SheetFileOpener)(void *pContext, const SheetInfo &sheet);
// Closes it once the sheet is written.
typedef void (*SheetFileCloser)(void *pContext, FILE *pf);

// CSV of each selected sheet in a file of its own, as pfnOpen gives them (none for a chart
// sheet, which has no cells), within the same written-bytes budget as one output; warnings go
// to pfnWarn. False, with *pError filled, when nothing could be read.
bool WriteCsvSheetFiles(const WorkbookStream &stream, const WorkbookSelection &selection,
                        SheetFileOpener pfnOpen, SheetFileCloser pfnClose, void *pContext,
                        WarningSink pfnWarn, void *pWarnContext, WorkbookError *pError);

#endif
