// The quarantine copy: its destination from the host program's drive and directory and
// the document's own name, a copy that never replaces, and the entries that report it.
#include "plugin/Quarantine.h"

#include <stdint.h>
#include <string.h>

#include "log/Log.h"
#include "platform/Win32.h"

namespace {

// No workbook comes near this; a larger file, or one that claims to be larger, would only
// fill the host's disk.
const uint64_t cbQuarantineMax = 256u << 20;
const char szTooLarge[] = "The document is larger than 256 MiB: not copied to the quarantine.";
const char szLogsName[] = "The document has the log's name: not copied to the quarantine.";

// Whether fname + ext names the log as Windows would resolve it: without regard to case,
// trailing dots and spaces dropped. A copy created under that name would become the log.
bool IsLogName(const char *pszFname, const char *pszExt)
{
    char szName[cbFnameMax + cbExtMax];
    size_t cchFname = strlen(pszFname);
    memcpy(szName, pszFname, cchFname);
    memcpy(szName + cchFname, pszExt, strlen(pszExt) + 1);
    size_t cch = strlen(szName);
    while (cch > 0 && (szName[cch - 1] == '.' || szName[cch - 1] == ' ')) {
        cch--;
    }
    if (cch != strlen(szLogFileName)) {
        return false;
    }
    for (size_t ich = 0; ich < cch; ich++) {
        char ch = szName[ich];
        if (ch >= 'A' && ch <= 'Z') {
            ch = (char)(ch - 'A' + 'a');
        }
        char chLog = szLogFileName[ich];
        if (chLog >= 'A' && chLog <= 'Z') {
            chLog = (char)(chLog - 'A' + 'a');
        }
        if (ch != chLog) {
            return false;
        }
    }
    return true;
}

// Copies the document under its own name into the Scandeck folder. Nothing is copied when
// there is no host program path, the destination does not fit MAX_PATH, the document would
// take the log's name or is too large; the last two are logged.
void CopyToQuarantine(const char *pszPath)
{
    char szFname[cbFnameMax], szExt[cbExtMax];
    SplitPath(pszPath, nullptr, nullptr, szFname, szExt);
    if (IsLogName(szFname, szExt)) {
        WriteLog(szLogsName);
        return;
    }
    uint64_t cbDocument = 0;
    if (GetPathFileSize(pszPath, &cbDocument) && cbDocument > cbQuarantineMax) {
        WriteLog(szTooLarge);
        return;
    }
    char szDest[cbPathMax];
    if (MakeScandeckPath(szFname, szExt, szDest)) {
        CopyFileA(pszPath, szDest, TRUE);
    }
}

} // namespace

void QuarantineDocument(const char *pszPath)
{
    if (pszPath != nullptr) {
        CopyToQuarantine(pszPath);
    }
    WriteLog("BadBeep");
    WriteLogPath(pszPath);
}
