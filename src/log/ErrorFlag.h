// The module-wide failure flag: raised by every failure that sends a document to quarantine
// (the log's storage failures, the walker's damaged strings), cleared and read by the export.
#ifndef CELLSIFT_LOG_ERRORFLAG_H
#define CELLSIFT_LOG_ERRORFLAG_H

// 0 at load; 1 once a failure of the current extraction has been seen.
extern unsigned char g_bError;

// Raises g_bError. Every site that rejects input or fails on the document's behalf calls
// this, so that one breakpoint sees them all.
void RaiseErrorFlag();

#endif
