// A file written into the output tree (-o OUTDIR) without following symbolic links below
// OUTDIR: made under a temporary name beside its place, then renamed onto its name.
#ifndef CELLSIFT_TOOLS_TREEFILE_H
#define CELLSIFT_TOOLS_TREEFILE_H

#include <stdio.h>

#include <string>

// A file written whole under a temporary name, waiting for the name it is given in the order
// of the run (OutputNames); it holds no descriptor meanwhile.
struct StagedFile {
    std::string rel;  // the name it was written for, below OUTDIR
    std::string temp; // its temporary name, in the folder of rel
    unsigned long long cb = 0;
};

class TreeFile {
public:
    TreeFile() = default;
    ~TreeFile();
    TreeFile(const TreeFile &) = delete;
    TreeFile &operator=(const TreeFile &) = delete;

    // Opens a new file meant for root/rel, making the folders of rel that are missing; a
    // folder of rel that is a link, or no folder, is refused. False with Error() set when it
    // fails.
    bool Open(const std::string &root, const std::string &rel);
    FILE *Stream() const { return m_pf; }
    // Closes the file under its temporary name into *pStaged; false with Error() set (and
    // the file removed) when writing failed.
    bool Close(StagedFile *pStaged);
    // Why Open or Close failed, for a message naming the file.
    const std::string &Error() const { return m_error; }

private:
    bool Fail(const std::string &error);
    void Discard();

    int m_fdDir = -1;
    FILE *m_pf = nullptr;
    std::string m_temp;
    std::string m_rel;
    std::string m_error;
};

// The folder of rel below root (the folders named before its last '/'), each opened without
// following a link and made when missing; its descriptor, or -1 with *pError set.
int OpenTreeFolder(const std::string &root, const std::string &rel, std::string *pError);

// Renames the staged file, in the folder fdDir of its rel, to the name ending name (rel's own
// or another in that folder), which replaces a link or file there and never writes through
// it; the temporary file is removed when that fails. False with *pError set when it fails.
bool PlaceStagedFile(int fdDir, const StagedFile &staged, const std::string &name, std::string *pError);

#endif
