// Directory mode: the walk (regular .xls files in any letter case, symbolic links to folders
// not followed, so a loop cannot form), the mirror tree of .txt files, progress and summary.
#include "Tree.h"

#include "Cp1251.h"
#include "TreeFile.h"
#include "output/OutputEscape.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

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

namespace {

// The text as the tool prints it, at root/rel: the bytes with --raw, else UTF-8 and a newline;
// an empty file when there is no text. *pcbWritten receives the file's size; false with
// *pError set when it could not be written.
bool WriteTextFile(const std::string &root, const std::string &rel, std::string_view text, bool fRaw,
                   unsigned long long *pcbWritten, std::string *pError)
{
    TreeFile file;
    if (!file.Open(root, rel)) {
        *pError = file.Error();
        return false;
    }
    FILE *pf = file.Stream();
    if (fRaw) {
        fwrite(text.data(), 1, text.size(), pf);
    } else if (!text.empty()) {
        WriteCp1251AsUtf8(pf, text);
        fputc('\n', pf);
    }
    long cbFile = ftell(pf);
    *pcbWritten = cbFile > 0 ? static_cast<unsigned long long>(cbFile) : 0;
    if (!file.Commit()) {
        *pError = file.Error();
        return false;
    }
    return true;
}

} // namespace

double SecondsSince(const struct timespec &start)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

void ShowProgress(size_t nDone, size_t nTotal, unsigned long long cbIn, double sElapsed)
{
    fprintf(stderr, "\r%zu/%zu files, %llu bytes, %.1f s ", nDone, nTotal, cbIn, sElapsed);
    fflush(stderr);
}

void ClearProgress()
{
    fputs("\r\033[K", stderr);
    fflush(stderr);
}

bool ListWorkbooks(const std::string &root, std::vector<std::string> *pFiles)
{
    WalkResult walk;
    Walk(root, "", walk);
    std::sort(walk.files.begin(), walk.files.end());
    *pFiles = std::move(walk.files);
    return walk.fAllRead;
}

int RunTreeMode(const HostFolder &host, const ToolOptions &opt)
{
    struct stat st;
    if (stat(opt.treeIn.c_str(), &st) != 0) {
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(opt.treeIn).c_str(), strerror(errno));
        return 1;
    }
    if (!S_ISDIR(st.st_mode)) {
        fprintf(stderr, "cellsift: %s: %s\n", PrintableName(opt.treeIn).c_str(), strerror(ENOTDIR));
        return 1;
    }
    std::string root = opt.treeIn;
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    WalkResult walk;
    walk.fAllRead = ListWorkbooks(root, &walk.files);

    if (!MakeDirectories(opt.treeOut)) {
        fprintf(stderr, "cellsift: cannot create output folder %s: %s\n", PrintableName(opt.treeOut).c_str(),
                strerror(errno));
        return 1;
    }

    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    // The progress line shares the terminal with the per-file messages, so it is cleared
    // before any of them and drawn again after.
    bool fProgress = isatty(2) != 0 && !opt.fQuiet;
    double sLastDrawn = -1.0;
    unsigned long long cbIn = 0;
    unsigned long long cbOut = 0;
    size_t nEmpty = 0;
    size_t nDone = 0;
    bool fAllWritten = true;
    for (const std::string &rel : walk.files) {
        std::string source = root + "/" + rel;
        Extraction ex = ExtractDocument(host, source, opt.nCapacity);
        if (fProgress && (ex.cchText == 0 || !ex.diag.empty() || ex.fQuarantined)) {
            ClearProgress();
            sLastDrawn = -1.0;
        }
        bool fText = ReportDocument(host, opt, source, ex);
        cbIn += ex.cbFile;
        if (!fText) {
            ++nEmpty;
        }

        unsigned long long cbWritten = 0;
        std::string error;
        if (!WriteTextFile(opt.treeOut, rel + ".txt", ex.Text(), opt.fRaw, &cbWritten, &error)) {
            if (fProgress) {
                ClearProgress();
            }
            fprintf(stderr, "cellsift: cannot write %s: %s\n",
                    PrintableName(opt.treeOut + "/" + rel + ".txt").c_str(), error.c_str());
            fAllWritten = false;
        } else {
            cbOut += cbWritten;
        }
        ++nDone;
        double sNow = SecondsSince(start);
        if (fProgress && (sLastDrawn < 0 || sNow - sLastDrawn >= 0.1 || nDone == walk.files.size())) {
            ShowProgress(nDone, walk.files.size(), cbIn, sNow);
            sLastDrawn = sNow;
        }
    }
    if (fProgress && nDone > 0) {
        ClearProgress();
    }
    printf("%zu files, %llu bytes in, %llu bytes out, %zu with no text, %.2f s\n", nDone, cbIn,
           cbOut, nEmpty, SecondsSince(start));
    return nEmpty == 0 && walk.fAllRead && fAllWritten ? 0 : 1;
}
