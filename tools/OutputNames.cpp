// Run-wide output names: each taken in letter-case-folded form, a later claim on a taken name
// numbered (the numbers tried start where the last claim stopped), each file then renamed.
#include "OutputNames.h"

#include <unistd.h>

#include "output/CaseFold.h"
#include "output/OutputEscape.h"

OutputNames::~OutputNames()
{
    if (m_fdFolder >= 0) {
        close(m_fdFolder);
    }
}

int OutputNames::Folder(const std::string &root, const std::string &rel, std::string *pError)
{
    std::string folder = rel.substr(0, rel.rfind('/') + 1); // npos + 1 is 0: root itself
    if (m_fdFolder >= 0 && folder == m_folder) {
        return m_fdFolder;
    }
    if (m_fdFolder >= 0) {
        close(m_fdFolder);
    }
    m_folder = folder;
    m_fdFolder = OpenTreeFolder(root, rel, pError);
    return m_fdFolder;
}

std::string OutputNames::Claim(const std::string &rel, std::string *pEarlier)
{
    std::string folded = FoldCase(rel);
    auto taken = m_taken.emplace(folded, rel);
    if (taken.second) {
        return rel;
    }
    *pEarlier = taken.first->second;
    // The number goes before the extension, so the file keeps its type: b.xls~2.txt.
    size_t ibLeaf = rel.rfind('/') + 1; // npos + 1 is 0
    size_t ibDot = rel.rfind('.');
    size_t ibExtension = ibDot != std::string::npos && ibDot > ibLeaf ? ibDot : rel.size();
    unsigned &nNext = m_nextN.emplace(folded, 2).first->second;
    for (;; nNext++) {
        std::string numbered =
            rel.substr(0, ibExtension) + "~" + std::to_string(nNext) + rel.substr(ibExtension);
        if (m_taken.emplace(FoldCase(numbered), numbered).second) {
            nNext++;
            return numbered;
        }
    }
}

bool OutputNames::Place(const std::string &root, const std::string &path,
                        const std::vector<StagedFile> &staged, std::string *pMessages,
                        unsigned long long *pcb)
{
    bool fAllPlaced = true;
    for (const StagedFile &file : staged) {
        std::string earlier, error;
        std::string name = Claim(file.rel, &earlier);
        if (name != file.rel) {
            *pMessages += "cellsift: " + PrintableName(path) + ": " + PrintableName(root + "/" + earlier) +
                          " is an earlier output of this run; this one is " +
                          PrintableName(root + "/" + name) + "\n";
        }
        int fdDir = Folder(root, file.rel, &error);
        if (fdDir >= 0 && PlaceStagedFile(fdDir, file, name, &error)) {
            *pcb += file.cb;
        } else {
            *pMessages += "cellsift: cannot write " + PrintableName(root + "/" + name) + ": " + error + "\n";
            fAllPlaced = false;
        }
    }
    return fAllPlaced;
}
