// The host side of the plug-in: re-execution into a private host folder, its Scandeck entry,
// the two calls per document, the capture of the plug-in's standard error and of its log.
#include "Host.h"

#include "Cp1251.h"

#include "cellsift.h"
#include "output/OutputEscape.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Holds the private host folder across the one re-execution; a second one can never follow.
const char szHostFolderVariable[] = "CELLSIFT_HOST_FOLDER";
const char szProgramName[] = "cellsift";

std::string BaseName(const std::string &path)
{
    size_t ib = path.find_last_of('/');
    return ib == std::string::npos ? path : path.substr(ib + 1);
}

bool StatFile(const std::string &path, struct stat &st)
{
    return stat(path.c_str(), &st) == 0;
}

// Redirects descriptor 2 into a temporary file for the length of a call. One file serves
// every call, emptied before each.
struct StderrCapture {
    int fdTemp = -1;
    int fdSaved = -1;
};

bool BeginCapture(StderrCapture &cap)
{
    static int s_fdTemp = -2;
    if (s_fdTemp == -2) {
        FILE *pf = tmpfile();
        s_fdTemp = pf != nullptr ? dup(fileno(pf)) : -1;
        if (pf != nullptr) {
            fclose(pf);
        }
    }
    if (s_fdTemp < 0) {
        return false;
    }
    if (ftruncate(s_fdTemp, 0) != 0 || lseek(s_fdTemp, 0, SEEK_SET) != 0) {
        return false;
    }
    fflush(stderr);
    cap.fdSaved = dup(2);
    if (cap.fdSaved < 0) {
        return false;
    }
    if (dup2(s_fdTemp, 2) < 0) {
        close(cap.fdSaved);
        cap.fdSaved = -1;
        return false;
    }
    cap.fdTemp = s_fdTemp;
    return true;
}

std::string EndCapture(StderrCapture &cap)
{
    std::string diag;
    if (cap.fdSaved < 0) {
        return diag;
    }
    fflush(stderr);
    dup2(cap.fdSaved, 2);
    close(cap.fdSaved);
    cap.fdSaved = -1;
    off_t cb = lseek(cap.fdTemp, 0, SEEK_CUR);
    if (cb > 0 && lseek(cap.fdTemp, 0, SEEK_SET) == 0) {
        diag.resize(static_cast<size_t>(cb));
        ssize_t cbRead = read(cap.fdTemp, &diag[0], diag.size());
        diag.resize(cbRead > 0 ? static_cast<size_t>(cbRead) : 0);
    }
    return diag;
}

// Opening the file ourselves first gives the user the system's reason for a missing or
// unreadable file; the plug-in would only log a storage error and quarantine nothing useful.
// The open does not block, so a FIFO cannot hold the tool until a writer comes, and like the
// plug-in the tool takes regular files only.
bool CheckReadable(const std::string &path, Extraction &ex)
{
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ex.errorText = strerror(errno);
        return false;
    }
    struct stat st;
    bool fOk = fstat(fd, &st) == 0;
    int nErr = errno;
    close(fd);
    if (!fOk) {
        ex.errorText = strerror(nErr);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        ex.errorText = strerror(EISDIR);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ex.errorText = strerror(EACCES);
        return false;
    }
    ex.cbFile = static_cast<unsigned long long>(st.st_size);
    return true;
}

struct Observation {
    long long cbLog;
    bool fCopyExisted;
};

Observation Observe(const HostFolder &host, const std::string &path)
{
    Observation obs = {-1, false};
    struct stat st;
    if (host.fReady && StatFile(host.scandeck + "Scandeck.log", st)) {
        obs.cbLog = static_cast<long long>(st.st_size);
    }
    obs.fCopyExisted = host.fReady && StatFile(host.scandeck + BaseName(path), st);
    return obs;
}

std::string MaskedPath(const std::string &path)
{
    std::string masked = path;
    for (char &ch : masked) {
        unsigned char b = static_cast<unsigned char>(ch);
        ch = b < 0x20 || b == 0x7F ? '?' : ch;
    }
    return masked;
}

// The messages of the entries that follow ibFrom in the log, without the document's path and
// the quarantine's marker, which say nothing the user does not know; joined by "; ".
std::string ReadLoggedMessages(const HostFolder &host, long long ibFrom, const std::string &path)
{
    static const char szMarker[] = " Error in cellsifter.dll : ";
    FILE *pf = fopen((host.scandeck + "Scandeck.log").c_str(), "rb");
    if (pf == nullptr) {
        return std::string();
    }
    std::string masked = MaskedPath(path);
    std::string messages;
    std::vector<std::string> seen;
    if (fseeko(pf, static_cast<off_t>(ibFrom > 0 ? ibFrom : 0), SEEK_SET) == 0) {
        char szLine[1024];
        while (fgets(szLine, sizeof szLine, pf) != nullptr) {
            std::string line(szLine);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == '.')) {
                line.pop_back();
            }
            if (line.compare(0, sizeof szMarker - 1, szMarker) != 0) {
                continue;
            }
            std::string message = Cp1251ToUtf8(line.substr(sizeof szMarker - 1));
            if (message.empty() || message == masked || message == "BadBeep" ||
                std::find(seen.begin(), seen.end(), message) != seen.end()) {
                continue;
            }
            messages += (messages.empty() ? "" : "; ") + message;
            seen.push_back(message);
        }
    }
    fclose(pf);
    return messages;
}

// The private folder keeps nothing from one document to the next.
void EmptyPrivateFolder(const HostFolder &host)
{
    DIR *pDir = opendir(host.scandeck.c_str());
    if (pDir == nullptr) {
        return;
    }
    while (struct dirent *pEntry = readdir(pDir)) {
        if (strcmp(pEntry->d_name, ".") != 0 && strcmp(pEntry->d_name, "..") != 0) {
            unlink((host.scandeck + pEntry->d_name).c_str());
        }
    }
    closedir(pDir);
}

void CompareObservation(const HostFolder &host, const std::string &path,
                        const Observation &before, Extraction &ex)
{
    Observation after = Observe(host, path);
    ex.fLogged = after.cbLog > before.cbLog;
    ex.fQuarantined = !before.fCopyExisted && after.fCopyExisted;
    if (ex.fLogged) {
        ex.logged = ReadLoggedMessages(host, before.cbLog, path);
    }
    if (host.fReady && host.userDir.empty()) {
        EmptyPrivateFolder(host);
    }
}

Extraction NewExtraction()
{
    Extraction ex;
    ex.nSize = 0;
    ex.fLogged = false;
    ex.fQuarantined = false;
    ex.cbFile = 0;
    ex.cchText = 0;
    return ex;
}

} // namespace

void ExecInPrivateHostFolder(char **argv, const std::string &userDir)
{
    if (getenv(szHostFolderVariable) != nullptr) {
        return;
    }
    char szExe[PATH_MAX];
    ssize_t cb = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    // A replaced or deleted program file ("... (deleted)") cannot be run again; the tool
    // then goes on without a log.
    if (cb <= 0 || (szExe[cb] = '\0', access(szExe, X_OK) != 0)) {
        return;
    }
    const char *pszTemp = getenv("TMPDIR");
    std::string dir = std::string(pszTemp != nullptr && *pszTemp != '\0' ? pszTemp : "/tmp") +
                      "/cellsift-host.XXXXXX";
    if (mkdtemp(&dir[0]) == nullptr) {
        return;
    }
    std::string scandeck = dir + "/Scandeck";
    bool fMade = false;
    if (userDir.empty()) {
        fMade = mkdir(scandeck.c_str(), 0700) == 0;
    } else {
        char szUser[PATH_MAX];
        fMade = realpath(userDir.c_str(), szUser) != nullptr && symlink(szUser, scandeck.c_str()) == 0;
    }
    if (!fMade) {
        rmdir(dir.c_str());
        return;
    }
    setenv(szHostFolderVariable, dir.c_str(), 1);
    fflush(nullptr);
    std::string program = dir + "/" + szProgramName;
    argv[0] = &program[0];
    execv(szExe, argv);
    unsetenv(szHostFolderVariable);
    unlink(scandeck.c_str());
    rmdir(scandeck.c_str());
    rmdir(dir.c_str());
}

HostFolder PrepareHostFolder(const std::string &userDir)
{
    HostFolder host;
    host.fReady = false;
    if (!userDir.empty()) {
        host.userDir = userDir.back() == '/' ? userDir : userDir + "/";
    }
    const char *pszDir = getenv(szHostFolderVariable);
    struct stat st;
    if (pszDir == nullptr) {
        host.whyNot = "no private host folder could be made for the plug-in";
        return host;
    }
    host.dir = std::string(pszDir) + "/";
    host.scandeck = host.dir + "Scandeck/";
    unsetenv(szHostFolderVariable);
    host.fReady = StatFile(host.scandeck, st) && S_ISDIR(st.st_mode);
    if (!host.fReady) {
        host.whyNot = "the plug-in's folder is gone";
    }
    return host;
}

void ReleaseHostFolder(const HostFolder &host)
{
    if (host.dir.empty()) {
        return;
    }
    std::string scandeck = host.dir + "Scandeck";
    if (host.userDir.empty()) {
        EmptyPrivateFolder(host);
        rmdir(scandeck.c_str());
    } else {
        unlink(scandeck.c_str());
    }
    rmdir(host.dir.c_str());
}

// The start both calls share: the file checked, the host folder observed, standard error
// captured and the stream size asked for. False when the file cannot be read at all.
static bool BeginDocument(const HostFolder &host, const std::string &path, Extraction &ex, Observation &before,
                          StderrCapture &cap)
{
    if (!CheckReadable(path, ex)) {
        return false;
    }
    before = Observe(host, path);
    // When no capture can be set up the plug-in's output goes straight through.
    BeginCapture(cap);
    ex.nSize = GetLengthOfTextPortion(path.c_str(), 0);
    return true;
}

Extraction MeasureDocument(const HostFolder &host, const std::string &path)
{
    Extraction ex = NewExtraction();
    Observation before;
    StderrCapture cap;
    if (!BeginDocument(host, path, ex, before, cap)) {
        return ex;
    }
    ex.diag = EndCapture(cap);
    CompareObservation(host, path, before, ex);
    return ex;
}

Extraction ExtractDocument(const HostFolder &host, const std::string &path, long long nCapacity)
{
    Extraction ex = NewExtraction();
    Observation before;
    StderrCapture cap;
    if (!BeginDocument(host, path, ex, before, cap)) {
        return ex;
    }
    // A stream size with its top bit set would be a negative capacity, which the plug-in
    // does not accept; no real workbook stream comes near 2 GiB.
    int nCap = nCapacity >= 0 ? static_cast<int>(nCapacity) : (ex.nSize > 0 ? ex.nSize : 0);
    // Left uninitialised: with a large --capacity only the pages the plug-in writes are
    // ever touched.
    // The text stays in this buffer: a copy of a text of many megabytes costs as much again.
    ex.pText.reset(new char[static_cast<size_t>(nCap) + 1]);
    int cch = GetTextPortionOfDocument(path.c_str(), ex.pText.get(), nCap);
    ex.diag = EndCapture(cap);
    if (cch > 0 && cch <= nCap) {
        ex.cchText = static_cast<size_t>(cch);
    }
    CompareObservation(host, path, before, ex);
    return ex;
}

bool IsOnlyEmptyTextDiagnostic(const std::string &diag)
{
    static const char szHead[] = "OUT_OF_RANGE ";
    static const char szTail[] = " 324";
    size_t cbHead = sizeof szHead - 1;
    size_t cbTail = sizeof szTail - 1;
    return diag.size() > cbHead + cbTail && diag.compare(0, cbHead, szHead) == 0 &&
           diag.compare(diag.size() - cbTail, cbTail, szTail) == 0 &&
           diag.find("OUT_OF_RANGE", 1) == std::string::npos &&
           diag.find('\n') == std::string::npos;
}

std::string DescribeFailure(const HostFolder &host, const Extraction &ex,
                            const std::string &path)
{
    std::string text = ex.logged.empty() ? std::string("the plug-in logged no reason") : ex.logged;
    if (!host.fReady) {
        text += " (log off: " + host.whyNot + ")";
    } else if (!host.userDir.empty() && ex.fLogged) {
        text += " (logged to " + host.userDir + "Scandeck.log";
        text += ex.fQuarantined ? "; copied to " + host.userDir + BaseName(path) + ")" : ")";
    }
    // The log quotes file names, and the copy is named like the file: one line whatever they hold.
    return PrintableName(text);
}
