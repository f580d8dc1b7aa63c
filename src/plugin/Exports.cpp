// The four functions the indexing host calls: what the plug-in handles, its description,
// the size of a document's workbook stream, and the document's text behind the catch-all.
#include "cellsift.h"

#include <string.h>

#include "log/ErrorFlag.h"
#include "log/Log.h"
#include "platform/Win32.h"
#include "plugin/Extraction.h"
#include "plugin/Quarantine.h"
#include "xls/StreamAccess.h"

ExtractFn g_pfnExtract = ExtractXlsText;
StreamSizeFn g_pfnStreamSize = GetWorkbookStreamSize;

namespace {

const char szExtensions[] = "xls";
// "Экстрактор текста из файлов MS Excel" in Windows-1251.
const char szDescription[] = "\xDD\xEA\xF1\xF2\xF0\xE0\xEA\xF2\xEE\xF0 \xF2\xE5\xEA\xF1\xF2\xE0 "
                             "\xE8\xE7 \xF4\xE0\xE9\xEB\xEE\xE2 MS Excel";
static_assert(sizeof(szDescription) == 37, "the description is 36 bytes and a NUL");

struct GuardedExtraction {
    const char *pszPath;
    int nCapacity;
    Vstr *pText;
    int nResult;
};

void RunExtraction(void *pContext)
{
    GuardedExtraction *pExtraction = static_cast<GuardedExtraction *>(pContext);
    pExtraction->nResult = g_pfnExtract(pExtraction->pszPath, pExtraction->nCapacity, *pExtraction->pText);
    // The separator after the last piece; an empty text reports OUT_OF_RANGE on stderr.
    pExtraction->pText->Truncate(pExtraction->pText->GetLength() - 1);
}

void ReleaseAbandoned(void *)
{
    ReleaseAbandonedExtraction();
}

// Whatever escaped the extraction: logged with the system's text for the thread's last
// error, line break and all, and the document marked for quarantine.
void HandleEscapedFailure()
{
    DWORD dwCode = GetLastError();
    char *pszMessage = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, dwCode, 0x400,
                   reinterpret_cast<LPSTR>(&pszMessage), 0, nullptr);
    WriteLog("GetTextPortionOfXlsFile catch()");
    WriteLog(pszMessage);
    if (pszMessage != nullptr) {
        LocalFree(pszMessage);
    }
    RaiseErrorFlag();
}

} // namespace

extern "C" {

CELLSIFT_API int CELLSIFT_CALL GetProcessableExtensionsString(char *pszBuffer)
{
    memcpy(pszBuffer, szExtensions, sizeof(szExtensions));
    return static_cast<int>(sizeof(szExtensions) - 1);
}

CELLSIFT_API int CELLSIFT_CALL GetDescription(char *pszBuffer)
{
    memcpy(pszBuffer, szDescription, sizeof(szDescription));
    return static_cast<int>(sizeof(szDescription) - 1);
}

CELLSIFT_API int CELLSIFT_CALL GetLengthOfTextPortion(const char *pszPath, int)
{
    // No exception may reach the host, which would end it: memory short for the name's
    // conversion gives the answer of a document that cannot be opened.
    try {
        return static_cast<int>(g_pfnStreamSize(pszPath));
    } catch (...) {
        return 0;
    }
}

CELLSIFT_API int CELLSIFT_CALL GetTextPortionOfDocument(const char *pszPath, char *pszBuffer, int nCapacity)
{
    // A negative capacity is taken as none at all.
    if (nCapacity < 0) {
        nCapacity = 0;
    }
    Vstr text;
    text.Reserve(static_cast<uint32_t>(nCapacity));
    // The host sees at most nCapacity characters; one more tells the removal of the final
    // separator whether the text went on. Gathering the rest would only cost time and memory.
    text.LimitLength(static_cast<uint32_t>(nCapacity) + 1);
    GuardedExtraction extraction = {pszPath, nCapacity, &text, 0};
    g_bError = 0;
    try {
        if (!RunFaultGuarded(RunExtraction, &extraction)) {
            extraction.nResult = 0;
            // Before the quarantine copy, which needs the document closed. A fault in the
            // release itself leaves the handles to the host rather than ending it.
            RunFaultGuarded(ReleaseAbandoned, nullptr);
            HandleEscapedFailure();
        }
    } catch (...) {
        extraction.nResult = 0;
        HandleEscapedFailure();
    }
    if (g_bError) {
        QuarantineDocument(pszPath);
    }
    if (pszBuffer == nullptr) {
        return 0;
    }
    if (extraction.nResult == 0) {
        pszBuffer[0] = '\0';
        return 0;
    }
    // Compared unsigned: a length past 2^31 - 1 must not turn into a negative count.
    uint32_t cchCopied = text.GetLength();
    if (cchCopied > static_cast<uint32_t>(nCapacity)) {
        cchCopied = static_cast<uint32_t>(nCapacity);
    }
    memcpy(pszBuffer, text.GetText(), cchCopied);
    pszBuffer[cchCopied] = '\0';
    return static_cast<int>(cchCopied);
}

} // extern "C"
