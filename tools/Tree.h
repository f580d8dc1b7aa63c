// Directory mode: every .xls under a folder, each written as UTF-8 text into a mirror tree.
// Progress on a terminal, a summary at the end.
#ifndef CELLSIFT_TOOLS_TREE_H
#define CELLSIFT_TOOLS_TREE_H

#include "Host.h"

#include <time.h>

#include <string>
#include <vector>

struct ToolOptions {
    bool fRaw = false;
    bool fSize = false;
    bool fAbout = false;
    bool fShowDiagnostics = false;
    bool fQuiet = false;      // -q: no progress line, no notes on files that gave text
    std::string scandeckDir;  // --scandeck: where the plug-in's log and copies are kept
    long long nCapacity = -1; // -1: the stream size, as the indexer passes it
    std::string treeIn;       // -r
    std::string treeOut;      // -o
};

// Reports one document's empty text and any library diagnostics on standard error; shared
// by both modes so the wording is the same. Returns true when the document gave text.
bool ReportDocument(const HostFolder &host, const ToolOptions &opt, const std::string &path,
                    const Extraction &ex);

// Returns the exit status: 0 when every workbook gave text, 1 otherwise.
int RunTreeMode(const HostFolder &host, const ToolOptions &opt);

// The regular .xls files (any letter case) under root, relative to it and sorted; folders
// that cannot be read are named on standard error and make the result false.
bool ListWorkbooks(const std::string &root, std::vector<std::string> *pFiles);

// Creates path and its missing parents; true when it is a folder at the end.
bool MakeDirectories(const std::string &path);

// Seconds on the monotonic clock since start.
double SecondsSince(const struct timespec &start);

// The progress line on standard error: drawn, and cleared before other messages.
void ShowProgress(size_t nDone, size_t nTotal, unsigned long long cbIn, double sElapsed);
void ClearProgress();

#endif
