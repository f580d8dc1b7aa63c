// The command line, parsed and checked once into the one configuration the modes run from;
// a usage error, --help and --version end the run here.
#ifndef CELLSIFT_TOOLS_OPTIONS_H
#define CELLSIFT_TOOLS_OPTIONS_H

#include <string>
#include <vector>

#include "output/OutputForms.h"

enum class ToolMode {
    Reader, // the workbook reader (the default)
    Plugin, // the plug-in's text: --ansi, --raw and what implies them
    About   // --about
};

struct ToolConfig {
    ToolMode mode = ToolMode::Reader;
    std::vector<std::string> files; // the FILE operands; "-" is standard input (reader only)
    std::string treeIn;             // -r; empty without it
    std::string treeOut;            // -o; empty without it
    bool fQuiet = false;            // -q: no progress line, no summary on standard error, no notes
    unsigned nWorkers = 1;          // -j; the plug-in mode always takes one

    // The workbook reader.
    OutputFormat format = OutputFormat::Text;
    WorkbookSelection selection;

    // The plug-in.
    bool fRaw = false;
    bool fSize = false;
    bool fShowDiagnostics = false;
    std::string scandeckDir;  // --scandeck: where the plug-in's log and copies are kept
    long long nCapacity = -1; // -1: the stream size, as the indexer passes it
};

// Fills *pConfig from the command line. Returns -1 when the tool is to run, else the exit
// status to end with at once (--help, --version, a usage error, an unreadable password file).
int ParseOptions(int argc, char **argv, ToolConfig *pConfig);

#endif
