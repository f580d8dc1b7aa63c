// The command line into a ToolConfig: every option read, then every combination checked
// once, so the modes take a configuration they need not question.
#include "Options.h"

#include "Usage.h"
#include "output/OutputEscape.h"

#include <errno.h>
#include <getopt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#ifndef CELLSIFT_VERSION
#define CELLSIFT_VERSION "unknown"
#endif

namespace {

const int nRun = -1;

// What the command line said beyond the configuration itself, for the checks after it.
struct Given {
    bool fAnsi = false;
    bool fCapacity = false;
    bool fAbout = false;
    bool fValues = false;
    bool fLocale = false;
    std::string formatName;
    std::string passwordFile;
};

bool ParseNumber(const char *psz, long long nMax, long long &n)
{
    char *pszEnd = nullptr;
    errno = 0;
    long long nParsed = strtoll(psz, &pszEnd, 10);
    if (errno != 0 || pszEnd == psz || *pszEnd != '\0' || nParsed < 0 || nParsed > nMax) {
        return false;
    }
    n = nParsed;
    return true;
}

// A password has at most 255 characters, so at most 1,020 bytes of UTF-8: reading stops past
// that, and a longer first line (or an endless file such as /dev/zero) is refused.
const size_t cchPasswordMax = 255;
const size_t cbPasswordMax = 4 * cchPasswordMax;

// The first line of the file at path ("-": standard input), without its line end, into
// *pPassword; the exit status to end with when it cannot be taken, which is named, else nRun.
int ReadPasswordFile(const std::string &path, std::string *pPassword)
{
    FILE *pf = path == "-" ? stdin : fopen(path.c_str(), "rb");
    if (pf == nullptr) {
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(path).c_str(), strerror(errno));
        return 1;
    }
    pPassword->clear();
    int ch;
    // One byte more than a password and its CR may have tells a line that is too long.
    while (pPassword->size() <= cbPasswordMax + 1 && (ch = getc(pf)) != EOF && ch != '\n') {
        pPassword->push_back(static_cast<char>(ch));
    }
    int nErr = ferror(pf) ? errno : 0;
    if (pf != stdin) {
        fclose(pf);
    }
    if (nErr != 0) {
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(path).c_str(), strerror(nErr));
        return 1;
    }
    if (!pPassword->empty() && pPassword->back() == '\r') {
        pPassword->pop_back();
    }
    size_t cch = std::count_if(pPassword->begin(), pPassword->end(), [](char chByte) {
        return (static_cast<unsigned char>(chByte) & 0xC0) != 0x80;
    });
    const char *pszError = pPassword->size() > cbPasswordMax || cch > cchPasswordMax
                               ? "password file line too long (a password has at most 255 characters)"
                           // Cut there, it would open the workbook whose password is what comes before.
                           : pPassword->find('\0') != std::string::npos ? "the password holds a NUL character"
                                                                        : nullptr;
    if (pszError != nullptr) {
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(path).c_str(), pszError);
        return nExitUsage;
    }
    return nRun;
}

struct option Flag(const char *pszName, int nId)
{
    return {pszName, no_argument, nullptr, nId};
}

struct option Arg(const char *pszName, int nId)
{
    return {pszName, required_argument, nullptr, nId};
}

int Usage(const std::string &message)
{
    UsageError(message);
    return nExitUsage;
}

bool HasStandardInput(const std::vector<std::string> &files)
{
    return std::find(files.begin(), files.end(), "-") != files.end();
}

int CheckReader(const Given &given, ToolConfig &config)
{
    if (!given.formatName.empty() && !ParseOutputFormat(given.formatName, &config.format)) {
        return Usage("unknown format '" + given.formatName + "' (text, csv, jsonl or html)");
    }
    if (config.treeIn.empty() && !config.treeOut.empty() && config.files.empty()) {
        return Usage("-o OUTDIR goes with -r DIR or with FILE operands");
    }
    if (!config.treeIn.empty()) {
        return config.files.empty() ? nRun : Usage("-r DIR takes no FILE operands");
    }
    if (config.files.empty() && config.treeOut.empty()) {
        if (isatty(0)) {
            return Usage("no FILE given, and standard input is a terminal");
        }
        config.files.push_back("-");
    }
    if (given.passwordFile == "-" && HasStandardInput(config.files)) {
        return Usage("standard input cannot hold both the password and the workbook");
    }
    return nRun;
}

int CheckPlugin(const Given &given, ToolConfig &config)
{
    const WorkbookSelection &selection = config.selection;
    if (!given.formatName.empty() || !selection.sheet.empty() || !selection.fNotes ||
        !selection.fProperties || !selection.fMacros || !selection.fEmbedded || !given.passwordFile.empty() ||
        !selection.password.empty() || given.fValues || selection.fFormulas || given.fLocale) {
        return Usage("--format, --sheet, --sheet-name, --no-notes, --no-properties, --no-macros, --password, "
                     "--values, "
                     "--formulas and --locale read the workbook itself; they do not go with --ansi, --raw, "
                     "--capacity, --size, -d, --scandeck or -r");
    }
    if (HasStandardInput(config.files)) {
        return Usage("'-': standard input cannot be read with --ansi or --raw; the plug-in "
                     "opens documents by path only (write ./- for a file named '-')");
    }
    bool fTree = !config.treeIn.empty() || !config.treeOut.empty();
    if (given.fAbout) {
        config.mode = ToolMode::About;
        return config.files.empty() && !fTree && !config.fSize ? nRun : Usage("--about takes no files");
    }
    config.nWorkers = 1;
    if (fTree) {
        if (config.treeIn.empty() || config.treeOut.empty()) {
            return Usage("-r DIR and -o OUTDIR go together");
        }
        return config.files.empty() && !config.fSize ? nRun
                                                     : Usage("-r takes no FILE operands and no --size");
    }
    return config.files.empty() ? Usage("no FILE given") : nRun;
}

} // namespace

int ParseOptions(int argc, char **argv, ToolConfig *pConfig)
{
    ToolConfig &config = *pConfig;
    Given given;
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
        optNoMacros,
        optNoEmbedded,
        optPassword,
        optPasswordFile,
        optValues,
        optFormulas,
        optLocale
    };
    static const struct option rgLongOptions[] = {
        Flag("raw", optRaw),
        Flag("ansi", optAnsi),
        Arg("format", optFormat),
        Arg("capacity", optCapacity),
        Flag("size", optSize),
        Flag("about", optAbout),
        Arg("recursive", 'r'),
        Arg("output", 'o'),
        Flag("diagnostics", 'd'),
        Arg("scandeck", optScandeck),
        Arg("sheet", optSheet),
        Arg("sheet-name", optSheetName),
        Flag("no-notes", optNoNotes),
        Flag("no-properties", optNoProperties),
        Flag("no-macros", optNoMacros),
        Flag("no-embedded", optNoEmbedded),
        Arg("password", optPassword),
        Arg("password-file", optPasswordFile),
        Arg("values", optValues),
        Flag("formulas", optFormulas),
        Arg("locale", optLocale),
        Flag("quiet", 'q'),
        Arg("jobs", 'j'),
        Flag("help", 'h'),
        Flag("version", 'V'),
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int nOpt;
    while ((nOpt = getopt_long(argc, argv, ":r:o:j:dqhV", rgLongOptions, nullptr)) != -1) {
        switch (nOpt) {
        case optRaw: config.fRaw = true; break;
        case optAnsi: given.fAnsi = true; break;
        case optFormat: given.formatName = optarg; break;
        case optSize: config.fSize = true; break;
        case optAbout: given.fAbout = true; break;
        case 'd': config.fShowDiagnostics = true; break;
        case 'q': config.fQuiet = true; break;
        case optScandeck: config.scandeckDir = optarg; break;
        case optSheet:
            config.selection.sheet = optarg;
            config.selection.fByName = false;
            break;
        case optSheetName:
            config.selection.sheet = optarg;
            config.selection.fByName = true;
            break;
        case optNoNotes: config.selection.fNotes = false; break;
        case optNoProperties: config.selection.fProperties = false; break;
        case optNoMacros: config.selection.fMacros = false; break;
        case optNoEmbedded: config.selection.fEmbedded = false; break;
        case optPassword: config.selection.password = optarg; break;
        case optPasswordFile: {
            given.passwordFile = optarg;
            int nStatus = ReadPasswordFile(given.passwordFile, &config.selection.password);
            if (nStatus != nRun) {
                return nStatus;
            }
            break;
        }
        case optValues:
            if (strcmp(optarg, "raw") != 0 && strcmp(optarg, "shown") != 0) {
                return Usage(std::string("unknown values '") + optarg + "' (shown or raw)");
            }
            config.selection.fRawValues = strcmp(optarg, "raw") == 0;
            given.fValues = true;
            break;
        case optFormulas: config.selection.fFormulas = true; break;
        case optLocale: {
            std::string tag = strcmp(optarg, "auto") == 0 ? LocaleTagFromEnvironment() : optarg;
            config.selection.pLocale = FindFormatLocale(tag);
            if (config.selection.pLocale == nullptr) {
                return Usage("unknown locale '" + tag + "' (a name such as de-DE, ru-RU or auto)");
            }
            given.fLocale = true;
            break;
        }
        case 'j':
            if (!ParseNumber(optarg, 256, nWorkers) || nWorkers < 1) {
                return Usage(std::string("invalid number of workers '") + optarg + "' (1 to 256)");
            }
            break;
        case 'r': config.treeIn = optarg; break;
        case 'o': config.treeOut = optarg; break;
        case optCapacity:
            if (!ParseNumber(optarg, 0x7FFFFFFF, config.nCapacity)) {
                return Usage(std::string("invalid capacity '") + optarg +
                             "' (a number from 0 to 2147483647)");
            }
            given.fCapacity = true;
            break;
        case 'h': PrintHelp(); return 0;
        case 'V': printf("cellsift %s\n", CELLSIFT_VERSION); return 0;
        case ':': return Usage(std::string("option '") + argv[optind - 1] + "' needs an argument");
        default: return Usage(std::string("unknown option '") + argv[optind - 1] + "'");
        }
    }
    config.files.assign(argv + optind, argv + argc);
    config.nWorkers = nWorkers > 0 ? static_cast<unsigned>(nWorkers) : 1;
    bool fPlugin = given.fAnsi || config.fRaw || given.fCapacity || config.fSize || config.fShowDiagnostics ||
                   given.fAbout || !config.scandeckDir.empty();
    config.mode = fPlugin ? ToolMode::Plugin : ToolMode::Reader;
    return fPlugin ? CheckPlugin(given, config) : CheckReader(given, config);
}
