// The tool's usage: the --help text, which the man page (tools/cellsift.1) and tools/README.md
// follow, and the one form of a usage error's message.
#include "Usage.h"

#include <stdio.h>

namespace {

const char szHelp[] =
    "Usage: cellsift [OPTION]... [FILE]...\n"
    "       cellsift [OPTION]... -r DIR [-o OUTDIR] [-j N]\n"
    "       cellsift [OPTION]... -o OUTDIR FILE...\n"
    "       cellsift --ansi|--raw [--scandeck DIR] [OPTION]... FILE...\n"
    "       cellsift --ansi|--raw -r DIR -o OUTDIR [--capacity N]\n"
    "       cellsift --about\n"
    "Print the text of binary .xls workbooks as UTF-8.\n"
    "\n"
    "By default the workbook is read as sheets of rows of cells, in Unicode: the\n"
    "document's properties and who saved it last ('Title: ...', 'Author: ...',\n"
    "'Saved by: ...'), then per sheet a line 'Sheet: NAME', one line per row with the\n"
    "cells separated by tabs (numbers, dates and times as their number formats show\n"
    "them), then the sheet's comments, text boxes, headers and footers, hyperlinks and\n"
    "charts. FILE '-', or no FILE when standard input is not a terminal, is standard\n"
    "input.\n"
    "\n"
    "  --format FORMAT  text (the default), csv (RFC 4180, one table per sheet, the\n"
    "                   tables parted by a form feed line), jsonl (one JSON object\n"
    "                   per line: workbook, properties, sheet, cell, comment,\n"
    "                   textbox, header, footer, hyperlink, chart, warning) or html\n"
    "                   (one document: properties in <title> and <meta>, a table per\n"
    "                   sheet, the notes after it; for search engines' HTML filters)\n"
    "  --sheet SHEET    only that sheet: a number (digits only) is its place counted\n"
    "                   from 0 as in JSON lines, anything else its name\n"
    "  --sheet-name NAME  only the sheet named NAME, even when NAME is a number\n"
    "  --no-notes       leave comments, text boxes, headers, footers and charts out\n"
    "  --no-properties  leave the document's properties out\n"
    "  --password PW    the password of encrypted workbooks; the default password of\n"
    "                   write-protected ones is always tried first, and is enough\n"
    "  --password-file FILE  the password in FILE's first line ('-': standard input),\n"
    "                   so that it is not on the command line\n"
    "  --values VALUES  shown (the default: as the cells' number formats show them,\n"
    "                   en-US) or raw (the stored values: numbers in full, dates as\n"
    "                   ISO 8601); JSON lines always carry both\n"
    "  -r, --recursive DIR  every .xls (any letter case) under DIR, in sorted order,\n"
    "                   to standard output with '==> FILE <==' headers, or ...\n"
    "  -o, --output OUTDIR  ... into OUTDIR/RELATIVE/PATH.xls.txt (.jsonl, .html),\n"
    "                   then print a summary; with FILE operands, OUTDIR/FILE.xls.txt;\n"
    "                   with --format csv one file per sheet, OUTDIR/PATH.xls.SHEET.csv\n"
    "                   (see the man page); with --ansi or --raw, -o is needed\n"
    "  -j, --jobs N     read with N threads (default: the processors); the output is\n"
    "                   that of -j 1; the plug-in modes always do one file at a time\n"
    "  -q, --quiet      no progress line, no summary on standard error and no notes\n"
    "                   of the plug-in; files not read, or read in part, are still named\n"
    "\n"
    "In headers and messages, control characters and bytes that are not UTF-8 in a\n"
    "file name are written as escapes (\\n, \\xHH, \\uXXXX); links below OUTDIR are\n"
    "never written through.\n"
    "\n"
    "The plug-in's text, as the indexer receives it (through libcellsift.so):\n"
    "  --ansi           the plug-in's text converted to UTF-8, ending in one newline\n"
    "  --raw            write the plug-in's Windows-1251 bytes unchanged, no newline added\n"
    "  --scandeck DIR   keep the plug-in's log (DIR/Scandeck.log) and its copies of\n"
    "                   failed files in DIR, which is made when missing\n"
    "  --capacity N     pass capacity N instead of the workbook stream size\n"
    "  --size           print only the workbook stream size (GetLengthOfTextPortion)\n"
    "  --about          print the handled extension and the plug-in's description\n"
    "  -d, --diagnostics    also show what the plug-in writes to standard error\n"
    "  -h, --help       display this help and exit\n"
    "  -V, --version    output version information and exit\n"
    "\n"
    "--capacity, --size, -d and --scandeck use the plug-in and imply --ansi.\n"
    "\n"
    "With --ansi each file's text ends in one newline; a file that gives no text\n"
    "prints nothing. With several files (text and csv too) each text is preceded by\n"
    "a '==> FILE <==' line, and texts after the first by an empty line. With --size\n"
    "and several files each line is 'SIZE<TAB>FILE'. With --ansi or --raw FILE is a\n"
    "path: standard input cannot be read, because the plug-in opens documents by\n"
    "path.\n"
    "\n"
    "The plug-in says \"OUT_OF_RANGE ...\" on standard error for every empty text;\n"
    "cellsift keeps that to itself and reports 'no text' instead. Anything else the\n"
    "plug-in writes there is shown, converted to UTF-8; -d shows all of it.\n"
    "\n"
    "The plug-in logs failures to Scandeck/Scandeck.log and copies failed files into\n"
    "Scandeck/, in the folder of its host program. cellsift re-runs itself from a\n"
    "private folder it makes in $TMPDIR (or /tmp) and removes at the end, so nothing\n"
    "is ever written beside the program. Without --scandeck that Scandeck folder is\n"
    "private too: the log only tells cellsift why a file failed, and the copies are\n"
    "deleted at once. With --scandeck DIR it is a link to DIR.\n"
    "\n"
    "Every file that gives no text, or only part, is named on standard error with the\n"
    "reason, one line each. Exit status: 0 if every file was read (with --ansi: gave\n"
    "text), 1 if any was not, 2 for a usage error.\n";

} // namespace

void PrintHelp()
{
    fputs(szHelp, stdout);
}

void UsageError(const std::string &message)
{
    fprintf(stderr, "cellsift: %s\nTry 'cellsift --help' for more information.\n", message.c_str());
}
