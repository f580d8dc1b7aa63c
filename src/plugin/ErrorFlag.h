// The module-wide failure flag: raised by every failure that sends a document to
// quarantine, cleared and read only by the text export.
#ifndef CELLSIFT_PLUGIN_ERRORFLAG_H
#define CELLSIFT_PLUGIN_ERRORFLAG_H

// 0 at load; 1 once a failure of the current extraction has been seen.
extern unsigned char g_bError;

// Raises g_bError. Every site that rejects input or fails on the document's behalf calls
// this, so that one breakpoint sees them all.
void RaiseErrorFlag();

#endif
