// cellsift command-line tool: options, the per-file modes, --size and --about, exit status.
// By default the workbook reader prints sheets, rows and cells; --ansi and --raw give the
// plug-in's text, Windows-1251 converted to UTF-8 or as it is.
#include "Cp1251.h"
#include "Host.h"
#include "OutputFiles.h"
#include "ReaderTree.h"
#include "Tree.h"
#include "WorkbookOutput.h"
#include "output/OutputEscape.h"

#include "cellsift.h"

#include <errno.h>
#include <getopt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#ifndef CELLSIFT_VERSION
#define CELLSIFT_VERSION "unknown"
#endif

namespace {

const int nExitUsage = 2;

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
    "                   tables separated by an empty line), jsonl (one JSON object\n"
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
    "  -o, --output OUTDIR  ... into OUTDIR/RELATIVE/PATH.xls.txt (.csv, .jsonl), then\n"
    "                   print a summary; with --ansi or --raw, -o is needed; with\n"
    "                   FILE operands, OUTDIR/FILE.xls.txt (.jsonl); with --format csv\n"
    "                   one file per sheet, OUTDIR/FILE.xls.SHEET.csv (see the man page)\n"
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

void UsageError(const std::string &message)
{
    fprintf(stderr, "cellsift: %s\nTry 'cellsift --help' for more information.\n",
            message.c_str());
}

bool ParseCapacity(const char *psz, long long &nCapacity)
{
    char *pszEnd = nullptr;
    errno = 0;
    long long n = strtoll(psz, &pszEnd, 10);
    if (errno != 0 || pszEnd == psz || *pszEnd != '\0' || n < 0 || n > 0x7FFFFFFF) {
        return false;
    }
    nCapacity = n;
    return true;
}

// The first line of the file at path ("-": standard input), without its line end.
bool ReadPasswordFile(const std::string &path, std::string *pPassword)
{
    FILE *pf = path == "-" ? stdin : fopen(path.c_str(), "rb");
    if (pf == nullptr)
        return false;
    pPassword->clear();
    int ch;
    while ((ch = getc(pf)) != EOF && ch != '\n')
        pPassword->push_back(static_cast<char>(ch));
    if (!pPassword->empty() && pPassword->back() == '\r')
        pPassword->pop_back();
    bool fOk = !ferror(pf);
    if (pf != stdin)
        fclose(pf);
    return fOk;
}

void WriteBytes(std::string_view data)
{
    fwrite(data.data(), 1, data.size(), stdout);
}

int PrintAbout(const ToolOptions &opt)
{
    char szExtensions[4] = {0};
    char szDescription[37] = {0};
    int cchExt = GetProcessableExtensionsString(szExtensions);
    int cchDesc = GetDescription(szDescription);
    std::string ext(szExtensions, cchExt > 0 && cchExt < 4 ? cchExt : 0);
    std::string desc(szDescription, cchDesc > 0 && cchDesc < 37 ? cchDesc : 0);
    WriteBytes(opt.fRaw ? ext : Cp1251ToUtf8(ext));
    fputc('\n', stdout);
    WriteBytes(opt.fRaw ? desc : Cp1251ToUtf8(desc));
    fputc('\n', stdout);
    return 0;
}

int RunReader(OutputFormat format, const WorkbookSelection &selection,
              const std::vector<std::string> &files)
{
    bool fHeaders = files.size() > 1 && format != OutputFormat::Jsonl;
    bool fAllRead = true;
    for (size_t i = 0; i < files.size(); ++i) {
        if (fHeaders) {
            printf("%s==> %s <==\n", i > 0 ? "\n" : "", PrintableName(files[i]).c_str());
        }
        fflush(stdout);
        if (!PrintWorkbook(files[i], format, selection, stdout, stderr)) {
            fAllRead = false;
        }
        fflush(stdout);
    }
    return fAllRead ? 0 : 1;
}

int RunFiles(const HostFolder &host, const ToolOptions &opt, const std::vector<std::string> &files)
{
    bool fHeaders = files.size() > 1;
    bool fAllGaveText = true;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string &path = files[i];
        if (opt.fSize) {
            Extraction ex = MeasureDocument(host, path);
            if (!ex.errorText.empty()) {
                fprintf(stderr, "cellsift: %s: %s\n", PrintableName(path).c_str(), ex.errorText.c_str());
                fAllGaveText = false;
                continue;
            }
            if (!ex.diag.empty() && !opt.fQuiet) {
                fprintf(stderr, "cellsift: %s: plug-in said: %s\n", PrintableName(path).c_str(),
                        Cp1251ToUtf8(ex.diag).c_str());
            }
            if (fHeaders) {
                printf("%d\t%s\n", ex.nSize, PrintableName(path).c_str());
            } else {
                printf("%d\n", ex.nSize);
            }
            if (ex.nSize == 0) {
                fflush(stdout);
                fprintf(stderr, "cellsift: %s: no workbook stream: %s\n", PrintableName(path).c_str(),
                        DescribeFailure(host, ex, path).c_str());
                fAllGaveText = false;
            }
            continue;
        }
        if (fHeaders) {
            printf("%s==> %s <==\n", i > 0 ? "\n" : "", PrintableName(path).c_str());
        }
        // Flushed so that messages on standard error follow the header they belong to.
        fflush(stdout);
        Extraction ex = ExtractDocument(host, path, opt.nCapacity);
        if (opt.fRaw) {
            WriteBytes(ex.Text());
        } else if (ex.cchText != 0) {
            WriteCp1251AsUtf8(stdout, ex.Text());
            fputc('\n', stdout);
        }
        fflush(stdout);
        if (!ReportDocument(host, opt, path, ex)) {
            fAllGaveText = false;
        }
    }
    return fAllGaveText ? 0 : 1;
}

} // namespace

bool ReportDocument(const HostFolder &host, const ToolOptions &opt, const std::string &path,
                    const Extraction &ex)
{
    if (!ex.errorText.empty()) {
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(path).c_str(), ex.errorText.c_str());
        return false;
    }
    bool fText = ex.cchText != 0;
    bool fExpected = !fText && IsOnlyEmptyTextDiagnostic(ex.diag);
    if (!ex.diag.empty() && (opt.fShowDiagnostics || (!fExpected && !opt.fQuiet))) {
        fprintf(stderr, "cellsift: %s: plug-in said: %s\n", PrintableName(path).c_str(),
                Cp1251ToUtf8(ex.diag).c_str());
    }
    if (!fText) {
        fprintf(stderr, "cellsift: %s: no text: %s\n", PrintableName(path).c_str(),
                DescribeFailure(host, ex, path).c_str());
    } else if (ex.fQuarantined) {
        // The plug-in raised its failure flag yet returned text: part of the workbook was
        // not read. The text stands; the user should still know.
        fprintf(stderr, "cellsift: %s: read in part: %s\n", PrintableName(path).c_str(),
                DescribeFailure(host, ex, path).c_str());
    }
    return fText;
}

int main(int argc, char **argv)
{
    ToolOptions opt;
    bool fAnsi = false;
    bool fCapacity = false;
    std::string formatName;
    WorkbookSelection selection;
    std::string passwordFile;
    bool fValues = false;
    long long nWorkers = std::thread::hardware_concurrency();
    enum {
        optRaw = 256,
        optAnsi,
        optFormat,
        optCapacity,
        optSize,
        optAbout,
        optScandeck,
        optSheet,
        optSheetName,
        optNoNotes,
        optNoProperties,
        optPassword,
        optPasswordFile,
        optValues
    };
    static const struct option rgLongOptions[] = {
        {"raw", no_argument, nullptr, optRaw},
        {"ansi", no_argument, nullptr, optAnsi},
        {"format", required_argument, nullptr, optFormat},
        {"capacity", required_argument, nullptr, optCapacity},
        {"size", no_argument, nullptr, optSize},
        {"about", no_argument, nullptr, optAbout},
        {"recursive", required_argument, nullptr, 'r'},
        {"output", required_argument, nullptr, 'o'},
        {"diagnostics", no_argument, nullptr, 'd'},
        {"scandeck", required_argument, nullptr, optScandeck},
        {"sheet", required_argument, nullptr, optSheet},
        {"sheet-name", required_argument, nullptr, optSheetName},
        {"no-notes", no_argument, nullptr, optNoNotes},
        {"no-properties", no_argument, nullptr, optNoProperties},
        {"password", required_argument, nullptr, optPassword},
        {"password-file", required_argument, nullptr, optPasswordFile},
        {"values", required_argument, nullptr, optValues},
        {"quiet", no_argument, nullptr, 'q'},
        {"jobs", required_argument, nullptr, 'j'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int nOpt;
    while ((nOpt = getopt_long(argc, argv, ":r:o:j:dqhV", rgLongOptions, nullptr)) != -1) {
        switch (nOpt) {
        case optRaw: opt.fRaw = true; break;
        case optAnsi: fAnsi = true; break;
        case optFormat: formatName = optarg; break;
        case optSize: opt.fSize = true; break;
        case optAbout: opt.fAbout = true; break;
        case 'd': opt.fShowDiagnostics = true; break;
        case 'q': opt.fQuiet = true; break;
        case optScandeck: opt.scandeckDir = optarg; break;
        case optSheet:
            selection.sheet = optarg;
            selection.fByName = false;
            break;
        case optSheetName:
            selection.sheet = optarg;
            selection.fByName = true;
            break;
        case optNoNotes: selection.fNotes = false; break;
        case optNoProperties: selection.fProperties = false; break;
        case optPassword: selection.password = optarg; break;
        case optPasswordFile:
            passwordFile = optarg;
            if (!ReadPasswordFile(passwordFile, &selection.password)) {
                fprintf(stderr, "cellsift: %s: %s\n", optarg, strerror(errno));
                return 1;
            }
            break;
        case optValues:
            if (strcmp(optarg, "raw") != 0 && strcmp(optarg, "shown") != 0) {
                UsageError(std::string("unknown values '") + optarg + "' (shown or raw)");
                return nExitUsage;
            }
            selection.fRawValues = strcmp(optarg, "raw") == 0;
            fValues = true;
            break;
        case 'j':
            if (!ParseCapacity(optarg, nWorkers) || nWorkers < 1 || nWorkers > 256) {
                UsageError(std::string("invalid number of workers '") + optarg + "' (1 to 256)");
                return nExitUsage;
            }
            break;
        case 'r': opt.treeIn = optarg; break;
        case 'o': opt.treeOut = optarg; break;
        case optCapacity:
            if (!ParseCapacity(optarg, opt.nCapacity)) {
                UsageError(std::string("invalid capacity '") + optarg +
                           "' (a number from 0 to 2147483647)");
                return nExitUsage;
            }
            fCapacity = true;
            break;
        case 'h': fputs(szHelp, stdout); return 0;
        case 'V': printf("cellsift %s\n", CELLSIFT_VERSION); return 0;
        case ':':
            UsageError(std::string("option '") + argv[optind - 1] + "' needs an argument");
            return nExitUsage;
        default:
            UsageError(std::string("unknown option '") + argv[optind - 1] + "'");
            return nExitUsage;
        }
    }
    std::vector<std::string> files(argv + optind, argv + argc);
    bool fTree = !opt.treeIn.empty() || !opt.treeOut.empty();
    bool fPlugin = fAnsi || opt.fRaw || fCapacity || opt.fSize || opt.fShowDiagnostics ||
                   opt.fAbout || !opt.scandeckDir.empty();
    if (!fPlugin) {
        OutputFormat format = OutputFormat::Text;
        if (!formatName.empty() && !ParseOutputFormat(formatName, &format)) {
            UsageError("unknown format '" + formatName + "' (text, csv, jsonl or html)");
            return nExitUsage;
        }
        if (opt.treeIn.empty() && !opt.treeOut.empty()) {
            if (files.empty()) {
                UsageError("-o OUTDIR goes with -r DIR or with FILE operands");
                return nExitUsage;
            }
            return RunReaderToFiles(format, selection, files, opt.treeOut);
        }
        if (fTree) {
            if (!files.empty()) {
                UsageError("-r DIR takes no FILE operands");
                return nExitUsage;
            }
            ReaderTreeOptions tree;
            tree.treeIn = opt.treeIn;
            tree.treeOut = opt.treeOut;
            tree.format = format;
            tree.selection = selection;
            tree.fQuiet = opt.fQuiet;
            tree.nWorkers = nWorkers > 0 ? static_cast<unsigned>(nWorkers) : 1;
            int nStatus = RunReaderTree(tree);
            if (fflush(stdout) != 0 || ferror(stdout)) {
                fprintf(stderr, "cellsift: write error: %s\n", strerror(errno));
                return 1;
            }
            return nStatus;
        }
        if (files.empty() && isatty(0)) {
            UsageError("no FILE given, and standard input is a terminal");
            return nExitUsage;
        }
        if (files.empty()) {
            files.push_back("-");
        }
        if (passwordFile == "-" && std::find(files.begin(), files.end(), "-") != files.end()) {
            UsageError("standard input cannot hold both the password and the workbook");
            return nExitUsage;
        }
        int nStatus = RunReader(format, selection, files);
        if (fflush(stdout) != 0 || ferror(stdout)) {
            fprintf(stderr, "cellsift: write error: %s\n", strerror(errno));
            return 1;
        }
        return nStatus;
    }
    if (!formatName.empty() || !selection.sheet.empty() || !selection.fNotes || !selection.fProperties ||
        !passwordFile.empty() || !selection.password.empty() || fValues) {
        UsageError("--format, --sheet, --sheet-name, --no-notes, --no-properties, --password and --values read "
                   "the workbook itself; they do not go with --ansi, --raw, --capacity, --size, -d, --scandeck "
                   "or -r");
        return nExitUsage;
    }
    for (const std::string &path : files) {
        if (path == "-") {
            UsageError("'-': standard input cannot be read with --ansi or --raw; the plug-in "
                       "opens documents by path only (write ./- for a file named '-')");
            return nExitUsage;
        }
    }
    if (opt.fAbout) {
        if (!files.empty() || fTree || opt.fSize) {
            UsageError("--about takes no files");
            return nExitUsage;
        }
        return PrintAbout(opt);
    }
    if (fTree) {
        if (opt.treeIn.empty() || opt.treeOut.empty()) {
            UsageError("-r DIR and -o OUTDIR go together");
            return nExitUsage;
        }
        if (!files.empty() || opt.fSize) {
            UsageError("-r takes no FILE operands and no --size");
            return nExitUsage;
        }
    } else if (files.empty()) {
        UsageError("no FILE given");
        return nExitUsage;
    }

    if (!opt.scandeckDir.empty()) {
        struct stat st;
        int nErr = mkdir(opt.scandeckDir.c_str(), 0777) == 0 ? 0 : errno;
        if (nErr == EEXIST) {
            nErr = stat(opt.scandeckDir.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
        }
        if (nErr != 0) {
            fprintf(stderr, "cellsift: cannot create %s: %s\n", PrintableName(opt.scandeckDir).c_str(),
                    strerror(nErr));
            return 1;
        }
    }
    ExecInPrivateHostFolder(argv, opt.scandeckDir);
    HostFolder host = PrepareHostFolder(opt.scandeckDir);
    int nStatus = fTree ? RunTreeMode(host, opt) : RunFiles(host, opt, files);
    ReleaseHostFolder(host);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "cellsift: write error: %s\n", strerror(errno));
        return 1;
    }
    return nStatus;
}
