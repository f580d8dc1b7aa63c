// The diagnostic log "Scandeck\Scandeck.log" beside the host program, the readable texts
// of storage error codes, and the three-entry report of a failed storage call.
#ifndef CELLSIFT_LOG_LOG_H
#define CELLSIFT_LOG_LOG_H

#include <time.h>

#include "platform/Win32.h"

// The time stamp is 24 characters and a line feed; the room beyond that only lets the
// compiler see that no field value can overflow the buffer.
enum {
    cbLogTimeStamp = 80
};

// The local time t in ctime's form, but with the day of the month padded with a zero
// rather than a space ("Sun Dec 07 12:00:00 2008"), and a line feed.
void FormatLogTimeStamp(time_t t, char *pszStamp);

// The log's file name in the Scandeck folder.
extern const char szLogFileName[];

// The one rule by which the log and the quarantine find their folder: drive + directory of
// the host program path + "Scandeck\" + pszName + pszExt, into pszPath of cbPathMax bytes.
// False when there is no host path or the whole does not fit.
bool MakeScandeckPath(const char *pszName, const char *pszExt, char *pszPath);

// Appends one entry (prefix, local time, marker, pszMessage) to the log. Returns 1 when
// written; 0 when pszMessage is null, the log path does not fit MAX_PATH or the file
// cannot be opened. Never creates the folder.
int WriteLog(const char *pszMessage);

// WriteLog for a document path: its control characters are written as "?", so that a name
// holding line breaks cannot forge entries of its own.
int WriteLogPath(const char *pszPath);

// The system's text for hr without its trailing line break, or "IDispatch error #n" /
// "Unknown error 0x..." when the system has none; null when memory is short. The caller
// frees it with LocalFree.
char *GetErrorText(HRESULT hr);

// Logs the error text of hr, pszContext and pszPath (null texts are left out; the path as
// WriteLogPath writes it), then raises g_bError.
void LogStorageFailure(HRESULT hr, const char *pszContext, const char *pszPath);

#endif
