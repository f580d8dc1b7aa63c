// The quarantine copy: its destination from the host program's drive and directory and
// the document's own name, a copy that never replaces, and the entries that report it.
#include "plugin/Quarantine.h"

#include <string.h>

#include "log/Log.h"
#include "platform/Win32.h"

namespace {

// drive + directory + the quarantine folder + name + extension, or false when that does
// not fit MAX_PATH bytes.
bool MakeQuarantinePath(const char *pszPath, char *pszDest)
{
    char szHost[MAX_PATH];
    if (GetHostProgramPath(szHost, sizeof(szHost)) == 0) {
        szHost[0] = '\0';
    }
    char szDrive[cbDriveMax], szDir[cbDirMax], szFname[cbFnameMax], szExt[cbExtMax];
    SplitPath(szHost, szDrive, szDir, nullptr, nullptr);
    SplitPath(pszPath, nullptr, nullptr, szFname, szExt);
    const char *rgpszPieces[] = {szDrive, szDir, SCANDECK_DIR, szFname, szExt};
    size_t cb = 0;
    for (const char *psz : rgpszPieces) {
        size_t cbPiece = strlen(psz);
        if (cbPiece >= MAX_PATH - cb) {
            return false;
        }
        memcpy(pszDest + cb, psz, cbPiece);
        cb += cbPiece;
    }
    pszDest[cb] = '\0';
    return true;
}

} // namespace

void QuarantineDocument(const char *pszPath)
{
    char szDest[MAX_PATH];
    // A destination too long for its buffer is not copied; the entries still follow.
    if (pszPath != nullptr && MakeQuarantinePath(pszPath, szDest)) {
        CopyFileA(pszPath, szDest, TRUE);
    }
    WriteLog("BadBeep");
    WriteLogPath(pszPath);
}
