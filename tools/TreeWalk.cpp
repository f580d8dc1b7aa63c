// The walk of the directory modes (regular .xls files in any letter case, symbolic links to
// folders not followed, so a loop cannot form) and the making of OUTDIR.
#include "TreeWalk.h"

#include "output/OutputEscape.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace {

struct WalkResult {
    std::vector<std::string> files; // relative to the tree's root
    bool fAllRead = true;
};

bool HasXlsExtension(const char *pszName)
{
    size_t cch = strlen(pszName);
    return cch > 4 && strcasecmp(pszName + cch - 4, ".xls") == 0;
}

void Walk(const std::string &root, const std::string &rel, WalkResult &walk)
{
    std::string dirPath = rel.empty() ? root : root + "/" + rel;
    DIR *pDir = opendir(dirPath.c_str());
    if (pDir == nullptr) {
        fprintf(stderr, "cellsift: cannot read folder %s: %s\n", PrintableName(dirPath).c_str(),
                strerror(errno));
        walk.fAllRead = false;
        return;
    }
    std::vector<std::string> subdirs;
    while (struct dirent *pEntry = readdir(pDir)) {
        const char *pszName = pEntry->d_name;
        if (strcmp(pszName, ".") == 0 || strcmp(pszName, "..") == 0) {
            continue;
        }
        std::string childRel = rel.empty() ? std::string(pszName) : rel + "/" + pszName;
        // The entry's type, when the folder tells it, saves a system call per file: in a
        // tree of small workbooks the walk is the part that no second worker shortens.
        if (pEntry->d_type == DT_DIR) {
            subdirs.push_back(childRel);
            continue;
        }
        if (!HasXlsExtension(pszName) && pEntry->d_type != DT_UNKNOWN) {
            continue;
        }
        if (pEntry->d_type == DT_REG) {
            walk.files.push_back(childRel);
            continue;
        }
        std::string childPath = root + "/" + childRel;
        struct stat st;
        if (lstat(childPath.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            subdirs.push_back(childRel);
            continue;
        }
        if (!HasXlsExtension(pszName)) {
            continue;
        }
        // A link to a workbook counts; a link to a folder was left out above.
        if (S_ISLNK(st.st_mode) && (stat(childPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) {
            continue;
        }
        if (S_ISREG(st.st_mode)) {
            walk.files.push_back(childRel);
        }
    }
    closedir(pDir);
    for (const std::string &sub : subdirs) {
        Walk(root, sub, walk);
    }
}

} // namespace

bool MakeDirectories(const std::string &path)
{
    std::string partial;
    size_t ib = 0;
    while (ib <= path.size()) {
        size_t ibNext = path.find('/', ib);
        if (ibNext == std::string::npos) {
            ibNext = path.size();
        }
        partial = path.substr(0, ibNext);
        if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
        ib = ibNext + 1;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ListWorkbooks(const std::string &root, std::vector<std::string> *pFiles)
{
    WalkResult walk;
    Walk(root, "", walk);
    std::sort(walk.files.begin(), walk.files.end());
    *pFiles = std::move(walk.files);
    return walk.fAllRead;
}
