// The host side of the plug-in: re-execution with an absolute first argument, the Scandeck
// folder, the two calls per document and the capture of the plug-in's standard error.
#include "Host.h"

#include "cellsift.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

// Set across the one re-execution so that a second one can never follow, whatever
// /proc/self/exe says the second time.
const char szReexecMarker[] = "CELLSIFT_HOST_REEXEC";

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

void CompareObservation(const HostFolder &host, const std::string &path,
                        const Observation &before, Extraction &ex)
{
    Observation after = Observe(host, path);
    ex.fLogged = after.cbLog > before.cbLog;
    ex.fQuarantined = !before.fCopyExisted && after.fCopyExisted;
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

void ExecWithOwnPathAsFirstArgument(char **argv)
{
    if (getenv(szReexecMarker) != nullptr) {
        unsetenv(szReexecMarker);
        return;
    }
    char szExe[PATH_MAX];
    ssize_t cb = readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    if (cb <= 0) {
        return;
    }
    szExe[cb] = '\0';
    if (strcmp(argv[0], szExe) == 0) {
        return;
    }
    // A replaced or deleted program file ("... (deleted)") cannot be run again; the tool
    // then goes on with the first argument it has.
    if (access(szExe, X_OK) != 0) {
        return;
    }
    setenv(szReexecMarker, "1", 1);
    fflush(nullptr);
    argv[0] = szExe;
    execv(szExe, argv);
    unsetenv(szReexecMarker);
}

HostFolder PrepareHostFolder(const char *pszArgv0)
{
    HostFolder host;
    std::string argv0 = pszArgv0 != nullptr ? pszArgv0 : "";
    size_t ib = argv0.find_last_of('/');
    host.dir = ib == std::string::npos ? std::string() : argv0.substr(0, ib + 1);
    host.scandeck = host.dir + "Scandeck/";
    host.fReady = false;
    std::string folder = host.dir + "Scandeck";
    if (mkdir(folder.c_str(), 0777) == 0) {
        host.fReady = true;
        return host;
    }
    int nErr = errno;
    struct stat st;
    if (nErr == EEXIST && StatFile(folder, st) && S_ISDIR(st.st_mode)) {
        host.fReady = true;
    } else if (nErr == EEXIST) {
        host.whyNot = "cannot create " + folder + ": a file of that name is in the way";
    } else {
        host.whyNot = "cannot create " + folder + ": " + strerror(nErr);
    }
    return host;
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

std::string DescribeLogOutcome(const HostFolder &host, const Extraction &ex,
                               const std::string &path)
{
    if (!host.fReady) {
        return "log and quarantine off: " + host.whyNot;
    }
    std::string text;
    if (ex.fLogged) {
        text = "logged to " + host.scandeck + "Scandeck.log";
    } else {
        text = "nothing logged";
    }
    if (ex.fQuarantined) {
        text += "; copied to " + host.scandeck + BaseName(path);
    }
    return text;
}
