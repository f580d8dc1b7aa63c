// The plug-in's host folder: the tool re-executed once from a private folder in $TMPDIR, so
// that the Scandeck folder the plug-in keeps beside its host is one the tool controls.
#ifndef CELLSIFT_TOOLS_HOSTFOLDER_H
#define CELLSIFT_TOOLS_HOSTFOLDER_H

#include <string>

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

// Empties a private Scandeck folder after a document, so it keeps nothing to the next; one
// the user named is left as it is.
void ClearPrivateScandeck(const HostFolder &host);

// Removes the private host folder and, unless the user named it, what the plug-in left in it.
void ReleaseHostFolder(const HostFolder &host);

#endif
