// The tool's printing of a workbook through the reader: the workbook from a path or from
// standard input, its warnings and its error in one message line, named by the path.
#include "WorkbookOutput.h"

#include "output/OutputEscape.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <new>
#include <string_view>
#include <vector>

namespace {

// Standard input may hold a workbook stream of the largest size read, and the tables of the
// compound document around it; reading stops past that, so an endless input fails.
const size_t cbStandardInputMax = cbWorkbookStreamMax + (64u << 20);

bool ReadStandardInput(std::vector<uint8_t> *prgb, WorkbookError *pError)
{
    uint8_t rgb[1 << 16];
    for (;;) {
        ssize_t cb = read(0, rgb, sizeof(rgb));
        if (cb < 0 && errno == EINTR) {
            continue;
        }
        if (cb < 0) {
            pError->kind = WorkbookErrorKind::FileUnreadable;
            pError->nErrno = errno;
            pError->message = strerror(pError->nErrno);
            return false;
        }
        if (cb == 0) {
            return true;
        }
        if (static_cast<size_t>(cb) > cbStandardInputMax - prgb->size()) {
            pError->kind = WorkbookErrorKind::TooLarge;
            pError->message = "too large: standard input holds more than " +
                              std::to_string(cbStandardInputMax >> 20) + " MiB";
            return false;
        }
        prgb->insert(prgb->end(), rgb, rgb + cb);
    }
}

bool OpenWorkbook(const std::string &path, const std::string &password, WorkbookStream *pStream,
                  WorkbookError *pError)
{
    if (path != "-") {
        return OpenWorkbookFile(path.c_str(), pStream, pError, password.c_str());
    }
    // A file given as standard input is read as any file is; a pipe is read into memory.
    struct stat st;
    if (fstat(0, &st) == 0 && S_ISREG(st.st_mode)) {
        return OpenWorkbookDescriptor(0, pStream, pError, password.c_str());
    }
    std::vector<uint8_t> rgb;
    return ReadStandardInput(&rgb, pError) &&
           OpenWorkbookMemory(rgb.data(), rgb.size(), pStream, pError, password.c_str());
}

// A workbook read in part is named once, after its text, with every warning in that line.
void CollectWarning(void *pContext, std::string_view message)
{
    std::string *pWarnings = static_cast<std::string *>(pContext);
    if (pWarnings->empty() || pWarnings->find(message) == std::string::npos) {
        pWarnings->append(pWarnings->empty() ? "" : "; ").append(message);
    }
}

typedef std::function<bool(const WorkbookStream &, std::string *, WorkbookError *)> StreamWriter;
typedef std::function<void(const WorkbookStream &, const WorkbookError &)> FailureWriter;

// Opens the workbook at path (with password when it is encrypted) and has write put it out,
// or failed (when given) write what there is of a workbook that could not be opened; names
// path on pfErr when it was not read or read in part, after flushing pf (when given).
bool WriteReported(const std::string &path, const std::string &password, FILE *pf, FILE *pfErr,
                   const StreamWriter &write, const FailureWriter &failed = nullptr)
{
    WorkbookStream stream;
    WorkbookError error;
    std::string warnings;
    bool fOk;
    try {
        bool fOpened = OpenWorkbook(path, password, &stream, &error);
        if (!fOpened && failed) {
            failed(stream, error);
        }
        fOk = fOpened && write(stream, &warnings, &error);
    } catch (const std::bad_alloc &) {
        // One workbook the memory cannot hold fails alone; a batch goes on with the next.
        fOk = false;
        error.message = "too large: the workbook needs more memory than can be had";
    }
    if (pf != nullptr) {
        fflush(pf);
    }
    if (fOk && !warnings.empty()) {
        fprintf(pfErr, "cellsift: %s: read in part: %s\n", PrintableName(path).c_str(), warnings.c_str());
    }
    if (!fOk) {
        fprintf(pfErr, "cellsift: %s: %s\n", PrintableName(path).c_str(), error.message.c_str());
    }
    return fOk;
}

} // namespace

bool PrintWorkbook(const std::string &path, OutputFormat format, const WorkbookSelection &selection, FILE *pf,
                   FILE *pfErr)
{
    return WriteReported(
        path, selection.password, pf, pfErr,
        [&](const WorkbookStream &stream, std::string *pWarnings, WorkbookError *pError) {
            return WriteWorkbookSelection(stream, format, selection, path, pf, CollectWarning, pWarnings,
                                          pError);
        },
        [&](const WorkbookStream &stream, const WorkbookError &error) {
            WriteLockedProperties(stream, error, format, selection, path, pf);
        });
}

bool PrintWorkbookSheets(const std::string &path, const WorkbookSelection &selection, SheetFileOpener pfnOpen,
                         SheetFileCloser pfnClose, void *pContext, FILE *pfErr)
{
    return WriteReported(path, selection.password, nullptr, pfErr,
                         [&](const WorkbookStream &stream, std::string *pWarnings, WorkbookError *pError) {
                             return WriteCsvSheetFiles(stream, selection, pfnOpen, pfnClose, pContext,
                                                       CollectWarning, pWarnings, pError);
                         });
}
