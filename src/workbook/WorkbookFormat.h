// The three written forms of a workbook that the reader visits: readable text (the tool's
// default and the Python module's text), CSV and JSON lines, written in large pieces.
#ifndef CELLSIFT_WORKBOOK_WORKBOOKFORMAT_H
#define CELLSIFT_WORKBOOK_WORKBOOKFORMAT_H

#include <stdio.h>

#include <string>
#include <string_view>

#include "workbook/Workbook.h"

enum class OutputFormat { Text, Csv, Jsonl };

// Parses a format's name (text, csv, jsonl); false for an unknown name.
bool ParseOutputFormat(const std::string &name, OutputFormat *pFormat);

// The names the written forms give kinds: "worksheet", "chart", "macro", "other"; "text",
// "number", "date", "bool", "error".
const char *KindName(SheetKind kind);
const char *KindName(CellKind kind);

// Receives a warning of the text or CSV form, which has no place in its output.
typedef void (*WarningSink)(void *pContext, std::string_view message);

// Reads the stream and writes it to pf in format. JSON lines carry their warnings and name
// (the "file" key) themselves; the other forms hand warnings to pfnWarn, when given. False,
// with *pError filled, when nothing could be read.
bool WriteWorkbook(const WorkbookStream &stream, OutputFormat format, const std::string &name, FILE *pf,
                   WarningSink pfnWarn, void *pContext, WorkbookError *pError);

// The same form appended to *ps, whole, warnings of the text and CSV forms left out.
bool FormatWorkbook(const WorkbookStream &stream, OutputFormat format, std::string *ps, WorkbookError *pError);

#endif
