// The diagnostic log "Scandeck\Scandeck.log" beside the host program, the readable texts
// of storage error codes, and the three-entry report of a failed storage call.
#ifndef CELLSIFT_LOG_LOG_H
#define CELLSIFT_LOG_LOG_H

#include "platform/Win32.h"

// Appends one entry (prefix, local time, marker, pszMessage) to the log. Returns 1 when
// written; 0 when pszMessage is null, the log path does not fit MAX_PATH or the file
// cannot be opened. Never creates the folder.
int WriteLog(const char *pszMessage);

// The system's text for hr without its trailing line break, or "IDispatch error #n" /
// "Unknown error 0x..." when the system has none; null when memory is short. The caller
// frees it with LocalFree.
char *GetErrorText(HRESULT hr);

// Logs the error text of hr, pszContext and pszPath (null texts are left out), then raises
// g_bError.
void LogStorageFailure(HRESULT hr, const char *pszContext, const char *pszPath);

#endif
