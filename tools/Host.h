// The tool as the plug-in's host: a private program folder with the plug-in's Scandeck in it,
// and one document driven through the exports the way the indexer drives them.
#ifndef CELLSIFT_TOOLS_HOST_H
#define CELLSIFT_TOOLS_HOST_H

#include <memory>
#include <string>
#include <string_view>

// The plug-in finds its folder as the host program's folder + "Scandeck/". The tool gives it
// a private host folder of its own in the temporary folder, whose Scandeck entry is either a
// link to the folder the user named (--scandeck) or a private folder emptied after every
// document, so the reason of a failure can be read from the log and nothing stays behind.
struct HostFolder {
    std::string dir;      // the private host folder, with its trailing '/'
    std::string scandeck; // dir + "Scandeck/"
    std::string userDir;  // the folder named with --scandeck, with its trailing '/'; or empty
    bool fReady;          // the folder exists, so the log and quarantine work
    std::string whyNot;   // why it does not, for the messages
};

// Re-executes the tool once with its first argument a program path inside a new private host
// folder; userDir (empty: none) is where the log and copies are to be kept. Returns only
// when the re-execution is already done or failed.
void ExecInPrivateHostFolder(char **argv, const std::string &userDir);

// In the re-executed tool: the host folder its first argument names. userDir as above.
HostFolder PrepareHostFolder(const std::string &userDir);

// Removes the private host folder and, unless the user named it, what the plug-in left in it.
void ReleaseHostFolder(const HostFolder &host);

struct Extraction {
    std::string errorText; // non-empty: the document could not be opened at all; not called
    int nSize;             // GetLengthOfTextPortion
    std::unique_ptr<char[]> pText; // the buffer GetTextPortionOfDocument wrote into
    size_t cchText;        // the count it returned: the text's bytes, Windows-1251
    std::string diag;      // what the plug-in wrote to standard error during the calls
    bool fLogged;          // the log grew during the calls
    bool fQuarantined;     // a copy of the document appeared in Scandeck/
    std::string logged;    // the messages the plug-in logged during the calls, UTF-8
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

// Why a document gave no text or only part, from what was logged, and where the entries and
// the copy went when the user keeps them; for the one line naming the file.
std::string DescribeFailure(const HostFolder &host, const Extraction &ex,
                            const std::string &path);

#endif
