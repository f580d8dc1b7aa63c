// The tool as the plug-in's host: its program path, the Scandeck folder beside it, and one
// document driven through the exports the way the indexer drives them.
#ifndef CELLSIFT_TOOLS_HOST_H
#define CELLSIFT_TOOLS_HOST_H

#include <memory>
#include <string>
#include <string_view>

struct HostFolder {
    std::string dir;      // directory of the host program path, with its trailing '/'
    std::string scandeck; // dir + "Scandeck/"
    bool fReady;          // the Scandeck folder exists, so the log and quarantine work
    std::string whyNot;   // why it does not, for the messages
};

// Makes the process's first command-line argument name the tool's own executable by
// re-executing it once when it does not; the plug-in finds its Scandeck folder from that
// argument alone. Returns only when no re-execution is needed or it failed.
void ExecWithOwnPathAsFirstArgument(char **argv);

// Works out the folder from the first argument (as the plug-in will) and creates Scandeck/
// in it when it can.
HostFolder PrepareHostFolder(const char *pszArgv0);

struct Extraction {
    std::string errorText; // non-empty: the document could not be opened at all; not called
    int nSize;             // GetLengthOfTextPortion
    std::unique_ptr<char[]> pText; // the buffer GetTextPortionOfDocument wrote into
    size_t cchText;        // the count it returned: the text's bytes, Windows-1251
    std::string diag;      // what the plug-in wrote to standard error during the calls
    bool fLogged;          // the log grew during the calls
    bool fQuarantined;     // a copy of the document appeared in Scandeck/
    unsigned long long cbFile;

    std::string_view Text() const { return std::string_view(pText.get(), cchText); }
};

// nCapacity < 0: pass the stream size as the capacity, as the indexer does. The plug-in's
// standard error output is kept in diag, so the tool decides what the user sees and can
// name the file it belongs to.
Extraction ExtractDocument(const HostFolder &host, const std::string &path, long long nCapacity);

// Only the size, through GetLengthOfTextPortion.
Extraction MeasureDocument(const HostFolder &host, const std::string &path);

// The plug-in's diagnostic for an empty text, and nothing else, is in diag.
bool IsOnlyEmptyTextDiagnostic(const std::string &diag);

// Where the log entries of a document went, for the message naming a failed file.
std::string DescribeLogOutcome(const HostFolder &host, const Extraction &ex,
                               const std::string &path);

#endif
