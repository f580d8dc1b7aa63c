// Opening a workbook's compound document and its "Workbook" or "Book" stream, reporting
// open failures, and reading the whole stream into one block for the record walker.
#include "xls/StreamAccess.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "biff/RecordIterator.h"
#include "log/Log.h"
#include "platform/Win32.h"
#include "xls/Walker.h"

namespace {

const DWORD grfMode = STGM_SHARE_EXCLUSIVE | STGM_READ;
const char szStgOpenStorage[] = "StgOpenStorage";
const char szOpenStream[] = "lpStorage->OpenStream(T2COLE(Workbook)";
const char szEncrypted[] = "The workbook is encrypted.";

// The name for a storage call, in a buffer of the caller's; null for a null string. A
// conversion that fails leaves the name empty.
const OLECHAR *T2COLE(const char *psz, std::vector<OLECHAR> &name)
{
    if (psz == nullptr) {
        return nullptr;
    }
    size_t cch = strlen(psz) + 1;
    name.assign(cch, 0);
    MultiByteToWideChar(CP_ACP, 0, psz, -1, name.data(), static_cast<int>(cch));
    return name.data();
}

// What one call holds open, released in the reverse order of acquisition however the call
// ends, an exception from the walk included.
struct OpenWorkbook {
    IStorage *lpStorage = nullptr;
    IStream *lpStream = nullptr;
    uint8_t *pbCopy = nullptr;

    void Release()
    {
        free(pbCopy);
        pbCopy = nullptr;
        if (lpStream != nullptr) {
            lpStream->Release();
            lpStream = nullptr;
        }
        if (lpStorage != nullptr) {
            lpStorage->Release();
            lpStorage = nullptr;
        }
    }
    ~OpenWorkbook() { Release(); }
};

// What the extraction in progress holds. It lives outside the extraction's stack because a
// processor fault abandons that stack without running its destructors; the guard then
// releases it through ReleaseAbandonedExtraction. One extraction runs at a time.
OpenWorkbook g_wbExtracting;

struct ReleaseOnReturn {
    ~ReleaseOnReturn() { g_wbExtracting.Release(); }
};

// Opens the document and its workbook stream; false, with the failure logged, if either
// cannot be opened.
bool OpenWorkbookStream(const char *pszPath, OpenWorkbook &wb)
{
    std::vector<OLECHAR> pathName, streamName;
    HRESULT hr = StgOpenStorage(T2COLE(pszPath, pathName), nullptr, grfMode, nullptr, 0, &wb.lpStorage);
    if (hr != S_OK) {
        wb.lpStorage = nullptr;
        LogStorageFailure(hr, szStgOpenStorage, pszPath);
        return false;
    }
    hr = wb.lpStorage->OpenStream(T2COLE("Workbook", streamName), nullptr, grfMode, 0, &wb.lpStream);
    if (hr != S_OK) {
        hr = wb.lpStorage->OpenStream(T2COLE("Book", streamName), nullptr, grfMode, 0, &wb.lpStream);
    }
    if (hr != S_OK) {
        // The context names the first attempt; the code is the second's.
        wb.lpStream = nullptr;
        LogStorageFailure(hr, szOpenStream, pszPath);
        return false;
    }
    return true;
}

// The stream's size from Stat; 0 when Stat fails, as for an empty stream.
uint32_t StatStreamSize(IStream *lpStream)
{
    STATSTG statstg;
    memset(&statstg, 0, sizeof(statstg));
    lpStream->Stat(&statstg, STATFLAG_NONAME);
    return static_cast<uint32_t>(statstg.cbSize.QuadPart & 0xFFFFFFFFu);
}

// How much of a stream of cbDeclared bytes one read can give from a document of cbDocument
// bytes: the size its entry declares may be a lie that only the read finds out. A read
// stops where the stream's chain leaves the file, so it gives the file's bytes at most, and
// the last sector asked for may add one sector of zeros; asking for two sectors more than
// that gives exactly what asking for the declared size would. A document whose size cannot
// be learned gets no block (0), as a read that failed.
uint32_t ReadableStreamSize(uint32_t cbDeclared, uint64_t cbDocument)
{
    const uint64_t cbSlack = 3 * 4096;
    return cbDocument + cbSlack < cbDeclared ? static_cast<uint32_t>(cbDocument + cbSlack) : cbDeclared;
}

} // namespace

uint32_t GetWorkbookStreamSize(const char *pszPath)
{
    OpenWorkbook wb;
    if (!OpenWorkbookStream(pszPath, wb)) {
        return 0;
    }
    return StatStreamSize(wb.lpStream);
}

WalkFn g_pfnWalk = WalkXlsRecords;

void ReleaseAbandonedExtraction()
{
    g_wbExtracting.Release();
}

int ExtractXlsText(const char *pszPath, int, Vstr &text)
{
    ReleaseOnReturn release;
    OpenWorkbook &wb = g_wbExtracting;
    if (!OpenWorkbookStream(pszPath, wb)) {
        return 0;
    }
    uint64_t cbDocument = 0;
    uint32_t cbStream = GetPathFileSize(pszPath, &cbDocument)
                            ? ReadableStreamSize(StatStreamSize(wb.lpStream), cbDocument)
                            : 0;
    // A block that cannot be had is met like a read that failed: no text, nothing logged.
    if (static_cast<size_t>(cbStream) > static_cast<size_t>(-1) - 1) {
        return 1;
    }
    wb.pbCopy = static_cast<uint8_t *>(malloc(static_cast<size_t>(cbStream) + 1));
    if (wb.pbCopy == nullptr) {
        return 1;
    }
    AdviseLargeBlock(wb.pbCopy, static_cast<size_t>(cbStream) + 1);
    LARGE_INTEGER liStart;
    memset(&liStart, 0, sizeof(liStart));
    ULARGE_INTEGER uliPosition;
    if (wb.lpStream->Seek(liStart, STREAM_SEEK_SET, &uliPosition) != S_OK) {
        return 1;
    }
    ULONG cbRead = 0;
    HRESULT hr = wb.lpStream->Read(wb.pbCopy, cbStream, &cbRead);
    // A short read leaves the rest of the block unset: the walk stops where the bytes do.
    if (cbRead > cbStream) {
        cbRead = cbStream;
    }
    wb.pbCopy[cbRead] = 0;
    wb.pbCopy[cbStream] = 0;
    if (hr != S_OK) {
        return 1;
    }
    // Not a damaged document, so no quarantine; the log says why it gave nothing.
    if (ContainsFilePass(wb.pbCopy, cbRead)) {
        WriteLog(szEncrypted);
        WriteLogPath(pszPath);
        return 0;
    }
    g_pfnWalk(wb.pbCopy, static_cast<int32_t>(cbRead), text);
    return 1;
}
