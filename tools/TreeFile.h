// A file written into the output tree (-o OUTDIR) without following symbolic links below
// OUTDIR: made under a temporary name beside its place, then renamed onto it.
#ifndef CELLSIFT_TOOLS_TREEFILE_H
#define CELLSIFT_TOOLS_TREEFILE_H

#include <stdio.h>

#include <string>

class TreeFile {
public:
    TreeFile() = default;
    ~TreeFile();
    TreeFile(const TreeFile &) = delete;
    TreeFile &operator=(const TreeFile &) = delete;

    // Opens a new file that becomes root/rel at Commit, making the folders of rel that are
    // missing. A link to a file at root/rel is replaced, never written through; a folder of
    // rel that is a link, or no folder, is refused. False with Error() set when it fails.
    bool Open(const std::string &root, const std::string &rel);
    FILE *Stream() const { return m_pf; }
    // Closes the file and puts it in place; false with Error() set when writing failed.
    bool Commit();
    // Why Open or Commit failed, for a message naming the file.
    const std::string &Error() const { return m_error; }

private:
    bool Fail(const std::string &error);
    void Discard();

    int m_fdDir = -1;
    FILE *m_pf = nullptr;
    std::string m_temp;
    std::string m_name;
    std::string m_error;
};

#endif
