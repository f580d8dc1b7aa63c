// The names of the files one run writes below OUTDIR, given and put in place in the order of
// the run, so that no file replaces another the run wrote, whatever the number of workers.
#ifndef CELLSIFT_TOOLS_OUTPUTNAMES_H
#define CELLSIFT_TOOLS_OUTPUTNAMES_H

#include <string>
#include <unordered_map>
#include <vector>

#include "TreeFile.h"

class OutputNames {
public:
    // The name the output meant for rel is written under: rel itself when no earlier output
    // of the run took it, else rel with "~N" before its extension, N the smallest number from
    // 2 that gives a free name, and *pEarlier the name that took rel. Names that differ only in
    // letter case are the same name, as they are on a case-insensitive file system.
    std::string Claim(const std::string &rel, std::string *pEarlier);

    // Puts the files staged for the input at path below root, each under the name Claim gives;
    // a numbered one, and one that cannot be put in place, is named in *pMessages. Adds the
    // bytes placed to *pcb; false when a file could not be placed.
    bool Place(const std::string &root, const std::string &path, const std::vector<StagedFile> &staged,
               std::string *pMessages, unsigned long long *pcb);

    OutputNames() = default;
    ~OutputNames();
    OutputNames(const OutputNames &) = delete;
    OutputNames &operator=(const OutputNames &) = delete;

private:
    // The folder of the last file placed, kept open: a workbook's files, and the workbooks of
    // one folder, come one after another.
    int Folder(const std::string &root, const std::string &rel, std::string *pError);

    std::unordered_map<std::string, std::string> m_taken; // folded: the name as written
    std::string m_folder;                                 // below root, with its '/'
    int m_fdFolder = -1;
    std::unordered_map<std::string, unsigned> m_nextN; // folded rel: the number to try next
};

#endif
