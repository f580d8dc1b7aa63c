// The routines that the text and the length exports run inside their guards. Tests put
// routines of their own here to throw or fault from inside the guarded block.
#ifndef CELLSIFT_PLUGIN_EXTRACTION_H
#define CELLSIFT_PLUGIN_EXTRACTION_H

#include <stdint.h>

#include "text/Vstr.h"

typedef int (*ExtractFn)(const char *pszPath, int nCapacity, Vstr &text);

// ExtractXlsText unless a test has put another routine here.
extern ExtractFn g_pfnExtract;

typedef uint32_t (*StreamSizeFn)(const char *pszPath);

// GetWorkbookStreamSize unless a test has put another routine here.
extern StreamSizeFn g_pfnStreamSize;

#endif
