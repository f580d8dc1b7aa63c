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

bool HasXlsExtension(const char *pszName)
{
    size_t cch = strlen(pszName);
    return cch > 4 && strcasecmp(pszName + cch - 4, ".xls") == 0;
}

// A folder's entry as it sorts: a folder's name with '/' after it, so that walking each
// folder's entries in this order gives its files in the order of their whole paths' bytes
// ("a-b/x.xls", "a.xls", "a/b.xls") without holding the whole list before the first.
struct Entry {
    std::string key;
    bool fFolder;
};

// The workbooks and folders of the folder at dirPath, sorted; the error when it cannot be
// read, else 0.
int ReadFolder(const std::string &dirPath, std::vector<Entry> *pEntries)
{
    DIR *pDir = opendir(dirPath.c_str());
    if (pDir == nullptr) {
        return errno;
    }
    while (struct dirent *pEntry = readdir(pDir)) {
        const char *pszName = pEntry->d_name;
        if (strcmp(pszName, ".") == 0 || strcmp(pszName, "..") == 0) {
            continue;
        }
        // The entry's type, when the folder tells it, saves a system call per file: in a
        // tree of small workbooks the walk is the part that no second worker shortens.
        if (pEntry->d_type == DT_DIR) {
            pEntries->push_back({std::string(pszName) + "/", true});
            continue;
        }
        if (!HasXlsExtension(pszName) && pEntry->d_type != DT_UNKNOWN) {
            continue;
        }
        if (pEntry->d_type == DT_REG) {
            pEntries->push_back({pszName, false});
            continue;
        }
        std::string childPath = dirPath + "/" + pszName;
        struct stat st;
        if (lstat(childPath.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            pEntries->push_back({std::string(pszName) + "/", true});
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
            pEntries->push_back({pszName, false});
        }
    }
    closedir(pDir);
    std::sort(pEntries->begin(), pEntries->end(),
              [](const Entry &a, const Entry &b) { return a.key < b.key; });
    return 0;
}

bool Walk(const std::string &root, const std::string &rel, const WalkSink &sink)
{
    std::vector<Entry> entries;
    std::string dirPath = rel.empty() ? root : root + "/" + rel;
    int nErr = ReadFolder(dirPath, &entries);
    if (nErr != 0) {
        sink.onUnreadable("cellsift: cannot read folder " + PrintableName(dirPath) + ": " + strerror(nErr) +
                          "\n");
        return false;
    }
    bool fAllRead = true;
    for (Entry &entry : entries) {
        if (entry.fFolder) {
            entry.key.pop_back();
        }
        std::string childRel = rel.empty() ? std::move(entry.key) : rel + "/" + entry.key;
        if (entry.fFolder) {
            fAllRead = Walk(root, childRel, sink) && fAllRead;
        } else {
            sink.onWorkbook(std::move(childRel));
        }
    }
    return fAllRead;
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

bool WalkWorkbooks(const std::string &root, const WalkSink &sink)
{
    return Walk(root, "", sink);
}
