// The tool's three ways of printing what the workbook reader visits: readable text (the
// default), CSV and JSON lines. Output is gathered in a buffer and written in large pieces.
#ifndef CELLSIFT_TOOLS_WORKBOOKOUTPUT_H
#define CELLSIFT_TOOLS_WORKBOOKOUTPUT_H

#include <stdio.h>

#include <string>

enum class OutputFormat { Text, Csv, Jsonl };

// Parses the --format argument; false for an unknown name.
bool ParseOutputFormat(const std::string &name, OutputFormat *pFormat);

// Reads the workbook at path ("-": standard input) and prints it to pf in format. Warnings
// and the error, if any, go to standard error (in JSON lines the warnings go to pf).
// Returns false when the workbook could not be read at all.
bool PrintWorkbook(const std::string &path, OutputFormat format, FILE *pf);

#endif
