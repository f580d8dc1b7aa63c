// The tool's usage: the --help text, whose options the man page (tools/cellsift.1) and
// tools/README.md explain in full, and the one form of a usage error's message.
#include "Usage.h"

#include <stdio.h>

namespace {

// One screen for the reader's options (the 24 lines before the plug-in's part); the rest,
// and how the plug-in is hosted, is the man page's.
const char szHelp[] = "Usage: cellsift [OPTION]... [FILE]...\n"
                      "       cellsift [OPTION]... -r DIR [-o OUTDIR] [-j N]\n"
                      "       cellsift [OPTION]... -o OUTDIR FILE...\n"
                      "       cellsift --ansi|--raw [--scandeck DIR] [OPTION]... FILE...\n"
                      "       cellsift --ansi|--raw -r DIR -o OUTDIR [--capacity N]\n"
                      "       cellsift --about\n"
                      "Print .xls workbooks as UTF-8, cells as their formats show them; FILE - is stdin\n"
                      "\n"
                      "  --format FORMAT    text (the default), csv, jsonl or html\n"
                      "  --values VALUES    shown (the default: 3/1/2024, 97.4%) or raw (2024-03-01)\n"
                      "  --formulas         formula cells' formulas (=SUM(A1:A3)) in place of values\n"
                      "  --locale LOCALE    values as LOCALE shows them: de-DE, auto (default en-US)\n"
                      "  --sheet SHEET      only that sheet: its number from 0, or its name\n"
                      "  --sheet-name NAME  only the sheet named NAME, even when NAME is a number\n"
                      "  --no-notes         leave comments, text boxes, headers, footers, charts out\n"
                      "  --no-properties, --no-macros, --no-embedded: properties, VBA, embedded out\n"
                      "  --password PW      the password of an encrypted workbook\n"
                      "  --password-file FILE  the password in FILE's first line ('-': standard input)\n"
                      "  -r, --recursive DIR  every .xls under DIR, in sorted order, with headers, or\n"
                      "  -o, --output OUTDIR  into OUTDIR/PATH.xls.txt (.jsonl, .html, .SHEET.csv)\n"
                      "  -j, --jobs N       read with N threads (default: the processors), same output\n"
                      "  -q, --quiet        no progress or summary; failed files are still named\n"
                      "  -h, --help         display this help and exit;  -V, --version  the version\n"
                      "Exit status: 0 if every file was read, 1 if any was not, 2 for a usage error.\n"
                      "\n"
                      "The plug-in's text, as the indexer receives it (man cellsift tells how):\n"
                      "  --ansi             the plug-in's text converted to UTF-8\n"
                      "  --raw              the plug-in's Windows-1251 bytes unchanged\n"
                      "  --scandeck DIR     keep the plug-in's log and copies of failed files in DIR\n"
                      "  --capacity N       pass capacity N instead of the workbook stream size\n"
                      "  --size             print only the workbook stream size\n"
                      "  --about            print the handled extension and the plug-in's description\n"
                      "  -d, --diagnostics  also show what the plug-in writes to standard error\n";

} // namespace

void PrintHelp()
{
    fputs(szHelp, stdout);
}

void UsageError(const std::string &message)
{
    fprintf(stderr, "cellsift: %s\nTry 'cellsift --help' for more information.\n", message.c_str());
}
