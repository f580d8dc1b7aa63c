// cellsift command-line tool: options, the per-file modes, --size and --about, exit status.
// By default the workbook reader prints sheets, rows and cells; --ansi and --raw give the
// plug-in's text, Windows-1251 converted to UTF-8 or as it is.
#include "Cp1251.h"
#include "Host.h"
#include "Tree.h"
#include "WorkbookOutput.h"

#include "cellsift.h"

#include <errno.h>
#include <getopt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#ifndef CELLSIFT_VERSION
#define CELLSIFT_VERSION "unknown"
#endif

namespace {

const int nExitUsage = 2;

const char szHelp[] =
    "Usage: cellsift [--format text|csv|jsonl] FILE...\n"
    "       cellsift --ansi|--raw [OPTION]... FILE...\n"
    "       cellsift -r DIR -o OUTDIR [--raw] [--capacity N]\n"
    "       cellsift --about\n"
    "Print the text of binary .xls workbooks as UTF-8.\n"
    "\n"
    "By default the workbook is read as sheets of rows of cells, in Unicode: the\n"
    "writer's name ('Author: ...'), then per sheet a line 'Sheet: NAME', one line\n"
    "per row with the cells separated by tabs (numbers in full, dates as ISO 8601),\n"
    "then the sheet's comments and text boxes. FILE '-' is standard input.\n"
    "\n"
    "  --format FORMAT  text (the default), csv (RFC 4180, one table per sheet, the\n"
    "                   tables separated by an empty line) or jsonl (one JSON object\n"
    "                   per line: workbook, sheet, cell, comment, textbox, warning)\n"
    "\n"
    "The plug-in's text, as the indexer receives it (through libcellsift.so):\n"
    "  --ansi           the plug-in's text converted to UTF-8, ending in one newline\n"
    "  --raw            write the plug-in's Windows-1251 bytes unchanged, no newline added\n"
    "  --capacity N     pass capacity N instead of the workbook stream size\n"
    "  --size           print only the workbook stream size (GetLengthOfTextPortion)\n"
    "  --about          print the handled extension and the plug-in's description\n"
    "  -r, --recursive DIR  extract every .xls (any letter case) under DIR ...\n"
    "  -o, --output OUTDIR  ... into OUTDIR/RELATIVE/PATH.xls.txt, then print a summary\n"
    "  -d, --diagnostics    also show what the plug-in writes to standard error\n"
    "      --help       display this help and exit\n"
    "      --version    output version information and exit\n"
    "\n"
    "--capacity, --size, -r and -d use the plug-in and imply --ansi.\n"
    "\n"
    "With --ansi each file's text ends in one newline; a file that gives no text\n"
    "prints nothing. With several files (text and csv too) each text is preceded by\n"
    "a '==> FILE <==' line, and texts after the first by an empty line. With --size\n"
    "and several files each line is 'SIZE<TAB>FILE'. With --ansi or --raw FILE is a\n"
    "path: standard input ('-') cannot be read, because the plug-in opens documents\n"
    "by path.\n"
    "\n"
    "The plug-in says \"OUT_OF_RANGE ...\" on standard error for every empty text;\n"
    "cellsift keeps that to itself and reports 'no text' instead. Anything else the\n"
    "plug-in writes there is shown, converted to UTF-8; -d shows all of it.\n"
    "\n"
    "The plug-in logs failures to Scandeck/Scandeck.log and copies failed files into\n"
    "Scandeck/, both in the folder of its host program, which is this tool. cellsift\n"
    "creates that Scandeck folder beside its own executable when it can (and re-runs\n"
    "itself under its full path so the plug-in looks there); where it cannot, the\n"
    "text is still extracted and only the log and the copies are lost.\n"
    "\n"
    "Exit status: 0 if every file was read (with --ansi: gave text), 1 if any was\n"
    "not (each is named on standard error, with --ansi with where its log entries\n"
    "went), 2 for a usage error.\n";

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

int RunReader(OutputFormat format, const std::vector<std::string> &files)
{
    bool fHeaders = files.size() > 1 && format != OutputFormat::Jsonl;
    bool fAllRead = true;
    for (size_t i = 0; i < files.size(); ++i) {
        if (fHeaders) {
            printf("%s==> %s <==\n", i > 0 ? "\n" : "", files[i].c_str());
        }
        fflush(stdout);
        if (!PrintWorkbook(files[i], format, stdout)) {
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
                fprintf(stderr, "cellsift: %s: %s\n", path.c_str(), ex.errorText.c_str());
                fAllGaveText = false;
                continue;
            }
            if (!ex.diag.empty()) {
                fprintf(stderr, "cellsift: %s: plug-in said: %s\n", path.c_str(),
                        Cp1251ToUtf8(ex.diag).c_str());
            }
            if (fHeaders) {
                printf("%d\t%s\n", ex.nSize, path.c_str());
            } else {
                printf("%d\n", ex.nSize);
            }
            if (ex.nSize == 0) {
                fflush(stdout);
                fprintf(stderr, "cellsift: %s: no workbook stream (%s)\n", path.c_str(),
                        DescribeLogOutcome(host, ex, path).c_str());
                fAllGaveText = false;
            }
            continue;
        }
        if (fHeaders) {
            printf("%s==> %s <==\n", i > 0 ? "\n" : "", path.c_str());
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
        fprintf(stderr, "cellsift: %s: %s\n", path.c_str(), ex.errorText.c_str());
        return false;
    }
    bool fText = ex.cchText != 0;
    bool fExpected = !fText && IsOnlyEmptyTextDiagnostic(ex.diag);
    if (!ex.diag.empty() && (opt.fShowDiagnostics || !fExpected)) {
        fprintf(stderr, "cellsift: %s: plug-in said: %s\n", path.c_str(),
                Cp1251ToUtf8(ex.diag).c_str());
    }
    if (!fText) {
        fprintf(stderr, "cellsift: %s: no text (%s)\n", path.c_str(),
                DescribeLogOutcome(host, ex, path).c_str());
    } else if (ex.fQuarantined) {
        // The plug-in raised its failure flag yet returned text: part of the workbook was
        // not read. The text stands; the user should still know.
        fprintf(stderr, "cellsift: %s: read in part (%s)\n", path.c_str(),
                DescribeLogOutcome(host, ex, path).c_str());
    }
    return fText;
}

int main(int argc, char **argv)
{
    ToolOptions opt;
    bool fAnsi = false;
    bool fCapacity = false;
    std::string formatName;
    enum { optRaw = 256, optAnsi, optFormat, optCapacity, optSize, optAbout, optHelp, optVersion };
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
        {"help", no_argument, nullptr, optHelp},
        {"version", no_argument, nullptr, optVersion},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int nOpt;
    while ((nOpt = getopt_long(argc, argv, ":r:o:d", rgLongOptions, nullptr)) != -1) {
        switch (nOpt) {
        case optRaw: opt.fRaw = true; break;
        case optAnsi: fAnsi = true; break;
        case optFormat: formatName = optarg; break;
        case optSize: opt.fSize = true; break;
        case optAbout: opt.fAbout = true; break;
        case 'd': opt.fShowDiagnostics = true; break;
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
        case optHelp: fputs(szHelp, stdout); return 0;
        case optVersion: printf("cellsift %s\n", CELLSIFT_VERSION); return 0;
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
    bool fPlugin = fAnsi || opt.fRaw || fCapacity || opt.fSize || opt.fShowDiagnostics || fTree ||
                   opt.fAbout;
    if (!fPlugin) {
        OutputFormat format = OutputFormat::Text;
        if (!formatName.empty() && !ParseOutputFormat(formatName, &format)) {
            UsageError("unknown format '" + formatName + "' (text, csv or jsonl)");
            return nExitUsage;
        }
        if (files.empty()) {
            UsageError("no FILE given");
            return nExitUsage;
        }
        int nStatus = RunReader(format, files);
        if (fflush(stdout) != 0 || ferror(stdout)) {
            fprintf(stderr, "cellsift: write error: %s\n", strerror(errno));
            return 1;
        }
        return nStatus;
    }
    if (!formatName.empty()) {
        UsageError("--format reads the workbook itself; it does not go with --ansi, --raw, "
                   "--capacity, --size, -d or -r");
        return nExitUsage;
    }
    for (const std::string &path : files) {
        if (path == "-") {
            UsageError("'-': standard input cannot be read; the plug-in opens documents by "
                       "path (write ./- for a file named '-')");
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

    ExecWithOwnPathAsFirstArgument(argv);
    HostFolder host = PrepareHostFolder(argv[0]);
    int nStatus = fTree ? RunTreeMode(host, opt) : RunFiles(host, opt, files);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "cellsift: write error: %s\n", strerror(errno));
        return 1;
    }
    return nStatus;
}
