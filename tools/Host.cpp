// The plug-in's calls for one document: the file checked first, then GetLengthOfTextPortion
// and GetTextPortionOfDocument with standard error caught and the Scandeck folder watched.
#include "Host.h"

#include "StderrCapture.h"

#include "cellsift.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// One document's calls, from the check of the file to what the calls left behind.
class DocumentCalls {
public:
    DocumentCalls(const HostFolder &host, const std::string &path) : m_host(host), m_path(path) {}

    // The file checked, the Scandeck folder marked, standard error caught and the stream size
    // asked for. False when the file cannot be read at all.
    bool Begin(Extraction &ex)
    {
        if (!CheckReadable(m_path, ex)) {
            return false;
        }
        m_before = MarkScandeck(m_host, m_path);
        // When no capture can be set up the plug-in's output goes straight through.
        m_capture.Begin();
        ex.nSize = GetLengthOfTextPortion(m_path.c_str(), 0);
        return true;
    }
    void End(Extraction &ex)
    {
        ex.diag = m_capture.End();
        ex.scandeck = ReadScandeckChange(m_host, m_path, m_before);
        ClearPrivateScandeck(m_host);
    }

private:
    const HostFolder &m_host;
    const std::string &m_path;
    ScandeckMark m_before;
    StderrCapture m_capture;
};

} // namespace

Extraction MeasureDocument(const HostFolder &host, const std::string &path)
{
    Extraction ex;
    DocumentCalls calls(host, path);
    if (calls.Begin(ex)) {
        calls.End(ex);
    }
    return ex;
}

Extraction ExtractDocument(const HostFolder &host, const std::string &path, long long nCapacity)
{
    Extraction ex;
    DocumentCalls calls(host, path);
    if (!calls.Begin(ex)) {
        return ex;
    }
    // A stream size with its top bit set would be a negative capacity, which the plug-in
    // does not accept; no real workbook stream comes near 2 GiB.
    int nCap = nCapacity >= 0 ? static_cast<int>(nCapacity) : (ex.nSize > 0 ? ex.nSize : 0);
    // Left uninitialised: with a large --capacity only the pages the plug-in writes are
    // ever touched. The text stays in this buffer: a copy of a text of many megabytes costs
    // as much again.
    ex.pText.reset(new char[static_cast<size_t>(nCap) + 1]);
    int cch = GetTextPortionOfDocument(path.c_str(), ex.pText.get(), nCap);
    calls.End(ex);
    if (cch > 0 && cch <= nCap) {
        ex.cchText = static_cast<size_t>(cch);
    }
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
           diag.find("OUT_OF_RANGE", 1) == std::string::npos && diag.find('\n') == std::string::npos;
}
