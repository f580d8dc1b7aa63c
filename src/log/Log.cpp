// The diagnostic log writer, the error texts of storage codes and the storage-failure
// report. No state is kept: the path is found anew and the file opened for every entry.
#include "log/Log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "log/ErrorFlag.h"

namespace {

// "Запись от " in Windows-1251.
const char szLogPrefix[] = "\xC7\xE0\xEF\xE8\xF1\xFC \xEE\xF2 ";
const char szLogMarker[] = " Error in cellsifter.dll : ";

const size_t cbLineMax = 512;
// Room for any host path whose Scandeck paths can still fit MAX_PATH: its directory is
// shorter than that, and a file name has at most 255 characters (510 bytes in a double-byte
// code page).
const size_t cbHostPathMax = 1024;

const char *const rgpszWeekday[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const rgpszMonth[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

const char szLogFileName[] = "Scandeck.log";

bool MakeScandeckPath(const char *pszName, const char *pszExt, char *pszPath)
{
    char szHost[cbHostPathMax];
    if (GetHostProgramPath(szHost, sizeof szHost) == 0) {
        return false;
    }
    char szDrive[cbDriveMax];
    char szDir[cbDirMax];
    SplitPath(szHost, szDrive, szDir, nullptr, nullptr);
    // A directory cut to 255 bytes can never fit, so nothing lands in a folder named by a
    // cut path.
    const char *rgpszPiece[] = {szDrive, szDir, SCANDECK_DIR, pszName, pszExt};
    size_t cch = 0;
    for (const char *pszPiece : rgpszPiece) {
        size_t cchPiece = strlen(pszPiece);
        if (cchPiece >= cbPathMax - cch) {
            return false;
        }
        memcpy(pszPath + cch, pszPiece, cchPiece);
        cch += cchPiece;
    }
    pszPath[cch] = '\0';
    return true;
}

void FormatLogTimeStamp(time_t t, char *pszStamp)
{
    struct tm tmNow;
    // The broken-down time lives in this frame, not in storage shared between threads.
#ifdef _WIN32
    bool fOk = localtime_s(&tmNow, &t) == 0;
#else
    bool fOk = localtime_r(&t, &tmNow) != nullptr;
#endif
    if (!fOk) {
        memset(&tmNow, 0, sizeof tmNow);
    }
    unsigned nWeekday = (unsigned)tmNow.tm_wday % 7;
    unsigned nMonth = (unsigned)tmNow.tm_mon % 12;
    snprintf(pszStamp, cbLogTimeStamp, "%s %s %02d %02d:%02d:%02d %d\n", rgpszWeekday[nWeekday],
             rgpszMonth[nMonth], tmNow.tm_mday, tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec,
             tmNow.tm_year + 1900);
}

namespace {

// A control character of a path written as it is could end the entry and forge others.
char MaskControl(char ch)
{
    unsigned char b = (unsigned char)ch;
    return b < 0x20 || b == 0x7F ? '?' : ch;
}

// One entry; with fPath the message is a path, written with its control characters as "?".
int AppendLogEntry(const char *pszMessage, bool fPath)
{
    if (pszMessage == nullptr) {
        return 0;
    }
    char szPath[cbPathMax];
    if (!MakeScandeckPath(szLogFileName, "", szPath)) {
        return 0;
    }
    FILE *pFile = OpenLogForAppend(szPath);
    if (pFile == nullptr) {
        return 0;
    }

    char szStamp[cbLogTimeStamp];
    FormatLogTimeStamp(time(nullptr), szStamp);

    // The message is never cut: it may be the document path the entry exists to report.
    // A line too long for the fixed buffer is built on the heap instead.
    size_t cchHead = sizeof szLogPrefix - 1 + strlen(szStamp) + sizeof szLogMarker - 1;
    size_t cbLine = cchHead + strlen(pszMessage) + 1;
    char szLine[cbLineMax];
    char *pszLine = cbLine <= sizeof szLine ? szLine : (char *)malloc(cbLine);
    if (pszLine != nullptr) {
        const char *rgpszPiece[] = {szLogPrefix, szStamp, szLogMarker, pszMessage};
        char *pch = pszLine;
        for (const char *pszPiece : rgpszPiece) {
            size_t cch = strlen(pszPiece);
            memcpy(pch, pszPiece, cch);
            pch += cch;
        }
        *pch = '\0';
        for (pch = pszLine + cchHead; fPath && *pch != '\0'; pch++) {
            *pch = MaskControl(*pch);
        }
        fprintf(pFile, "%s\n", pszLine);
        if (pszLine != szLine) {
            free(pszLine);
        }
    } else {
        // Without memory for the line the same bytes still go out, piece by piece.
        fprintf(pFile, "%s%s%s", szLogPrefix, szStamp, szLogMarker);
        for (const char *pchMessage = pszMessage; *pchMessage != '\0'; pchMessage++) {
            fputc(fPath ? MaskControl(*pchMessage) : *pchMessage, pFile);
        }
        fputc('\n', pFile);
    }
    fclose(pFile);
    return 1;
}

} // namespace

int WriteLog(const char *pszMessage)
{
    return AppendLogEntry(pszMessage, false);
}

int WriteLogPath(const char *pszPath)
{
    return AppendLogEntry(pszPath, true);
}

char *GetErrorText(HRESULT hr)
{
    char *pszText = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, (DWORD)hr, 0x400,
                   (LPSTR)&pszText, 0, nullptr);
    if (pszText != nullptr) {
        size_t cch = strlen(pszText);
        if (cch > 1 && pszText[cch - 1] == '\n') {
            pszText[cch - 1] = '\0';
            if (pszText[cch - 2] == '\r') {
                pszText[cch - 2] = '\0';
            }
        }
        return pszText;
    }

    const size_t cbFallback = 32;
    pszText = (char *)LocalAlloc(LMEM_FIXED, cbFallback);
    if (pszText == nullptr) {
        return nullptr;
    }
    DWORD uCode = (DWORD)hr;
    unsigned nDispatch = 0;
    if (uCode >= 0x80040200u && uCode <= 0x8004FFFFu) {
        nDispatch = uCode - 0x80040200u;
    }
    if (nDispatch != 0) {
        wsprintfA(pszText, "IDispatch error #%d", (int)nDispatch);
    } else {
        wsprintfA(pszText, "Unknown error 0x%0lX", (unsigned long)uCode);
    }
    return pszText;
}

void LogStorageFailure(HRESULT hr, const char *pszContext, const char *pszPath)
{
    char *pszError = GetErrorText(hr);
    WriteLog(pszError);
    WriteLog(pszContext);
    WriteLogPath(pszPath);
    RaiseErrorFlag();
    if (pszError != nullptr) {
        LocalFree(pszError);
    }
}
