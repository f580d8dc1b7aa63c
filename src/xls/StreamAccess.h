// Access to the workbook stream of a compound document: its size, and its whole content read
// into memory and walked into text. Besides these reads only the quarantine touches the file.
#ifndef CELLSIFT_XLS_STREAMACCESS_H
#define CELLSIFT_XLS_STREAMACCESS_H

#include <stdint.h>

#include "text/Vstr.h"

// The size of the "Workbook" (else "Book") stream of the document at pszPath, or 0 when
// the document or the stream cannot be opened; those failures are logged and raise g_bError.
uint32_t GetWorkbookStreamSize(const char *pszPath);

// Appends the text of the document's workbook stream to text. Returns 0, logged and with
// g_bError raised, when the document or the stream cannot be opened; 0, logged but without
// g_bError, when the stream is encrypted; 1 otherwise, also when the stream could not be
// read. nCapacity does not bound the text.
int ExtractXlsText(const char *pszPath, int nCapacity, Vstr &text);

// Releases what an extraction that a processor fault abandoned still holds: the stream
// copy, the stream and the storage. Nothing when the extraction returned.
void ReleaseAbandonedExtraction();

typedef void (*WalkFn)(const uint8_t *pbStream, int32_t cbStream, Vstr &text);

// The walk ExtractXlsText runs over the stream copy: WalkXlsRecords unless a test has put a
// routine of its own here to fault with the document open.
extern WalkFn g_pfnWalk;

#endif
