// The extraction routine that the text export runs inside its guard. Tests put a routine
// of their own here to throw or fault from inside the guarded block.
#ifndef CELLSIFT_PLUGIN_EXTRACTION_H
#define CELLSIFT_PLUGIN_EXTRACTION_H

#include "text/Vstr.h"

typedef int (*ExtractFn)(const char *pszPath, int nCapacity, Vstr &text);

// ExtractXlsText unless a test has put another routine here.
extern ExtractFn g_pfnExtract;

#endif
