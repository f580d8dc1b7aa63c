// What one call of the plug-in left in its Scandeck folder: the log's new entries and a
// copy of the document, read back to tell the user why a document failed.
#ifndef CELLSIFT_TOOLS_SCANDECKLOG_H
#define CELLSIFT_TOOLS_SCANDECKLOG_H

#include "HostFolder.h"

#include <string>

// The Scandeck folder before a call: the log's size (-1: no log) and whether a copy of the
// document was already there.
struct ScandeckMark {
    long long cbLog = -1;
    bool fCopyExisted = false;
};

// What the call added.
struct ScandeckChange {
    bool fLogged = false;      // the log grew
    bool fQuarantined = false; // a copy of the document appeared
    std::string logged;        // the messages logged, UTF-8, joined by "; "
};

ScandeckMark MarkScandeck(const HostFolder &host, const std::string &path);
ScandeckChange ReadScandeckChange(const HostFolder &host, const std::string &path,
                                  const ScandeckMark &before);

// Why a document gave no text or only part, from what was logged, and where the entries and
// the copy went when the user keeps them; for the one line naming the file.
std::string DescribeFailure(const HostFolder &host, const ScandeckChange &change, const std::string &path);

#endif
